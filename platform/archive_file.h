// Opening a zip archive file for the archive library.
//
// The archive library reads its file through a table of file functions. Which
// table suits the platform is decided here: POSIX uses the library's standard
// one with the path in UTF-8 (platform/text.h); Windows uses the Win32 one with
// the wide path, so names outside the ANSI code page open as well.
//
// Contract (both realisations):
// - The file is opened for reading only; other readers may share it. It must
//   exist.
// - The result is null when the file cannot be opened or holds no readable
//   end-of-central-directory record. Otherwise the caller owns it and closes it
//   with unzClose on every path.
// - Relative paths resolve against the current directory at the moment of the
//   call.
#pragma once

#include <unzip.h>

#include <string>

namespace platform {

unzFile OpenZipArchive(const std::wstring& path);

}  // namespace platform
