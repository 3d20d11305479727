#include "install/extract.h"

#include "install/archive_reader.h"
#include "install/dir_tree.h"
#include "install/entry_names.h"
#include "install/path_limit.h"
#include "install/scope_exit.h"
#include "platform/files.h"

namespace install {

namespace {

constexpr uint32_t kUnixTypeMask = 0170000;
constexpr uint32_t kUnixSymbolicLink = 0120000;

// Looks at every entry before anything is written, so that a package that
// would write outside `folder`, create a link or overrun the path limit is
// refused whole rather than half unpacked.
int CheckEntries(ArchiveReader& reader, int count, const std::wstring& folder) {
  for (int i = 0; i < count; ++i) {
    ZipEntryInfo info;
    if (const int rc = reader.ListEntry(i, info)) return rc;
    if (!IsSafeEntryName(info.name)) return -1;
    if ((info.unixMode & kUnixTypeMask) == kUnixSymbolicLink) return -1;
    if (folder.size() + 1 + info.name.size() > kMaxPath) return -1;
  }
  return 0;
}

}  // namespace

bool PrepareDownloadDir(const wchar_t* folderName, const std::wstring& newVersion, std::wstring& packageFile,
                        std::wstring& downloadDir) {
  // Both names come from the update service; each must stay one level.
  if (!IsSingleName(newVersion) || !IsSingleName(packageFile)) return false;
  std::wstring current;
  // Without the current directory the folder would be made at the root.
  if (!platform::GetCurrentFolder(current)) return false;
  const wchar_t sep = platform::kPathSeparator;
  downloadDir = current + sep + (folderName ? folderName : L"") + sep + newVersion;
  if (CreateDirTree(downloadDir) == 0) return false;
  packageFile = downloadDir + sep + packageFile;
  return true;
}

int UnzipToFolder(const std::wstring& archive, const std::wstring& folder) {
  int result = -1;
  if (archive.empty() || folder.empty()) return -1;
  if (CreateDirTree(folder) == 0) return -1;

  std::wstring saved;
  if (!platform::GetCurrentFolder(saved)) return -1;  // it could not be restored
  if (!platform::SetCurrentFolder(folder)) return -1;  // the entries would land elsewhere
  const ScopeExit restore([&saved] { platform::SetCurrentFolder(saved); });

  ArchiveReader reader;  // closed before the directory is restored
  if (!reader.OpenArchive(archive)) return -1;
  ZipEntryInfo overall;
  reader.GetEntryInfo(-1, overall);
  const int count = overall.index;
  if (const int rc = CheckEntries(reader, count, folder)) return rc;

  const wchar_t sep = platform::kPathSeparator;
  for (int i = 0; i < count; ++i) {
    ZipEntryInfo info;
    if (const int rc = reader.GetEntryInfo(i, info)) return rc;
    std::wstring name = info.name;
    SlashToBackslash(name);
    if (info.attributes == PLAIN_DIR_ATTRIBUTES) {
      if (CreateDirTree(folder + sep + name) == 0) return -1;
    } else {
      if (!(info.attributes & platform::kAttrDirectory)) CreateParentDirs(folder, name);
      if (const int rc = reader.ExtractEntry(i, name)) return rc;
    }
    result = 0;
  }
  return result;
}

}  // namespace install
