#include "platform/archive_file.h"

#include "platform/text.h"

namespace platform {

unzFile OpenZipArchive(const std::wstring& path) {
  if (path.empty()) return nullptr;
  zlib_filefunc64_def functions{};
  fill_fopen64_filefunc(&functions);
  const std::string narrow = WideToAnsi(path);
  return unzOpen2_64(narrow.c_str(), &functions);
}

}  // namespace platform
