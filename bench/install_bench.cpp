// The unpacking and the installation as one command each, so that a script
// can time them beside the system's own tools on the same data.
//
//   install_bench unzip ARCHIVE FOLDER     unpacks ARCHIVE into FOLDER
//   install_bench install SOURCE PROGRAM   installs SOURCE over PROGRAM
//
// Paths must be absolute. The exit code is 0 on success.
#include <cstdio>
#include <string>

#include "install/extract.h"
#include "install/install_files.h"
#include "platform/files.h"
#include "platform/text.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s unzip ARCHIVE FOLDER | install SOURCE PROGRAM\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1];
  const std::wstring first = platform::AnsiToWide(argv[2]), second = platform::AnsiToWide(argv[3]);
  int rc = 2;
  if (mode == "unzip") {
    rc = install::UnzipToFolder(first, second);
  } else if (mode == "install") {
    if (!platform::SetCurrentFolder(second)) return 2;
    rc = install::InstallFiles(first);
  }
  if (rc != 0) std::fprintf(stderr, "%s failed: %d\n", mode.c_str(), rc);
  return rc == 0 ? 0 : 1;
}
