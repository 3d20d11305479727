#include "install/copy_tree.h"

#include <vector>

#include "install/fault_seam.h"
#include "install/install_files.h"
#include "install/install_journal.h"
#include "install/path_limit.h"
#include "platform/files.h"

namespace install {

namespace {

int CopyOneFile(const std::wstring& target, const std::wstring& source, const std::wstring& relative,
             InstallJournal& journal) {
  platform::FindData existing;
  if (platform::FindFirstEntry(target, existing)) {
    if (existing.isDirectory) return COPY_FAILED;  // a folder is never replaced by a file
    if (fault::Hit(fault::Point::kKeepOld) || !journal.KeepBeforeReplace(target, relative)) return COPY_FAILED;
  } else {
    journal.FileCreated(target);
  }
  const bool copied = platform::CopyFileReplacing(source, target);
  if (!copied || fault::Hit(fault::Point::kFileCopy)) return COPY_FAILED;
  return 0;
}

int CopyLevel(const std::wstring& destination, const std::wstring& source, const std::wstring& relative,
              InstallJournal& journal) {
  std::vector<platform::FindData> entries;
  if (!platform::ListFolder(source, entries)) return 0;  // missing or unreadable: nothing to copy

  const wchar_t sep = platform::kPathSeparator;
  for (const platform::FindData& entry : entries) {
    if (entry.isDirectory && entry.name.front() == L'.') continue;
    const std::wstring from = source + sep + entry.name;
    const std::wstring to = destination + sep + entry.name;
    if (from.size() > kMaxPath || to.size() > kMaxPath) return COPY_FAILED;
    const std::wstring below = relative.empty() ? entry.name : relative + sep + entry.name;
    if (entry.isDirectory) {
      if (platform::CreateFolder(to)) journal.FolderCreated(to);
      if (const int rc = CopyLevel(to, from, below, journal)) return rc;
    } else if (const int rc = CopyOneFile(to, from, below, journal)) {
      return rc;
    }
  }
  return 0;
}

}  // namespace

int CopyTree(const std::wstring& destination, const std::wstring& source) {
  InstallJournal journal(source);
  const int rc = CopyLevel(destination, source, std::wstring(), journal);
  if (rc != 0) journal.RollBack();
  return rc;
}

}  // namespace install
