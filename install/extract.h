// The version folder and the unpacking of the package into it.
#pragma once

#include <cstdint>
#include <string>

namespace install {

// A directory entry with exactly these attributes (directory + normal, none of
// read-only, hidden, system, archive) is made by the extraction loop itself,
// with all missing levels; other directory entries go to the archive reader.
inline constexpr uint32_t PLAIN_DIR_ATTRIBUTES = 0x90;

// Sets `downloadDir` to current directory + separator + `folderName` +
// separator + `newVersion`, creates it with every missing level, and turns
// `packageFile` (the package's bare file name on entry) into its full path
// inside that folder. False when the folder is refused: the current directory
// cannot be read, the version or the package file name is more than one plain
// name (holds a separator, or is "." or ".."), or the path is too long.
bool PrepareDownloadDir(const wchar_t* folderName, const std::wstring& newVersion, std::wstring& packageFile,
                        std::wstring& downloadDir);

// Unpacks every entry of the zip archive `archive` (an absolute path: it is
// opened from inside the folder) into `folder`. 0 = success; -1 = the
// routine's own failures, among them an archive without entries and a package
// refused before anything is written (an entry name that is absolute or has a
// ".." component, a symbolic link, a path longer than kMaxPath); any other
// value = the archive layer's code of the entry that failed. The current
// directory is the folder while this runs and is restored on every path.
int UnzipToFolder(const std::wstring& archive, const std::wstring& folder);

}  // namespace install
