// The version folder and the unpacking of the package into it.
#pragma once

#include <string>

namespace install {

// Sets `downloadDir` to current directory + separator + `folderName` +
// separator + `newVersion`, creates it with every missing level, and turns
// `packageFile` (the package's bare file name on entry) into its full path
// inside that folder. False when the folder is refused.
bool PrepareDownloadDir(const wchar_t* folderName, const std::wstring& newVersion, std::wstring& packageFile,
                        std::wstring& downloadDir);

// Unpacks every entry of the zip archive `archive` into `folder`. 0 = success;
// -1 = the routine's own failures; any other value = the archive layer's code
// of the entry that failed.
int UnzipToFolder(const std::wstring& archive, const std::wstring& folder);

}  // namespace install
