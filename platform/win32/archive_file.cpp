// The archive library's Win32 file layer, given the wide path, so names
// outside the ANSI code page open as well. It opens for reading with shared
// reading, and only an existing file.
#include "platform/archive_file.h"

#include <iowin32.h>

namespace platform {

unzFile OpenZipArchive(const std::wstring& path) {
  if (path.empty()) return nullptr;
  zlib_filefunc64_def functions{};
  fill_win32_filefunc64W(&functions);
  return unzOpen2_64(path.c_str(), &functions);
}

}  // namespace platform
