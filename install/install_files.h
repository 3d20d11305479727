// Installation: the unpacked version folder copied over the program folder.
#pragma once

#include <string>

namespace install {

inline constexpr int COPY_FAILED = -1000;

// Copies the tree `sourceDir` over the current directory. 0 = success;
// COPY_FAILED = a file could not be copied.
int InstallFiles(const std::wstring& sourceDir);

}  // namespace install
