// Installation: the unpacked version folder copied over the program folder.
#pragma once

#include <string>

namespace install {

inline constexpr int COPY_FAILED = -1000;

// Copies the tree `sourceDir` over the current directory (see CopyTree).
// 0 = success; COPY_FAILED = a file could not be copied, or the current
// directory cannot be read; the program folder is then as it was before.
int InstallFiles(const std::wstring& sourceDir);

}  // namespace install
