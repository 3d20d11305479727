#include "install/install_files.h"

#include "install/copy_tree.h"
#include "platform/files.h"

namespace install {

int InstallFiles(const std::wstring& sourceDir) {
  std::wstring current;
  // Without the program folder the files would be laid over the root.
  if (!platform::GetCurrentFolder(current)) return COPY_FAILED;
  return CopyTree(current, sourceDir);
}

}  // namespace install
