// Placeholder until extraction and installation are built: every step fails.
#include "install/extract.h"
#include "install/install_files.h"

namespace install {

bool PrepareDownloadDir(const wchar_t*, const std::wstring&, std::wstring&, std::wstring&) { return false; }
int UnzipToFolder(const std::wstring&, const std::wstring&) { return -1; }
int InstallFiles(const std::wstring&) { return COPY_FAILED; }

}  // namespace install
