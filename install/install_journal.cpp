#include "install/install_journal.h"

#include "install/dir_tree.h"
#include "install/path_limit.h"
#include "platform/files.h"

namespace install {

InstallJournal::InstallJournal(const std::wstring& sourceDir) : m_strSourceDir(sourceDir) {
  while (m_strSourceDir.size() > 1 && m_strSourceDir.back() == platform::kPathSeparator) m_strSourceDir.pop_back();
}

bool InstallJournal::MakeBackupDir() {
  if (!m_strBackupDir.empty()) return true;
  // A number not taken by an earlier attempt: older backups stay untouched.
  for (unsigned n = 1; n < 10000; ++n) {
    const std::wstring dir = m_strSourceDir + L".backup-" + std::to_wstring(n);
    platform::FindData found;
    if (platform::FindFirstEntry(dir, found)) continue;
    if (!platform::CreateFolder(dir)) return false;
    m_strBackupDir = dir;
    return true;
  }
  return false;
}

bool InstallJournal::KeepBeforeReplace(const std::wstring& target, const std::wstring& relative) {
  if (!MakeBackupDir()) return false;
  const std::wstring kept = m_strBackupDir + platform::kPathSeparator + relative;
  if (kept.size() > kMaxPath) return false;
  CreateParentDirs(m_strBackupDir, relative);
  if (!platform::KeepCopy(target, kept)) return false;
  m_steps.push_back(Step{Kind::kReplaced, target, kept});
  return true;
}

void InstallJournal::FileCreated(const std::wstring& path) { m_steps.push_back(Step{Kind::kCreatedFile, path, {}}); }

void InstallJournal::FolderCreated(const std::wstring& path) {
  m_steps.push_back(Step{Kind::kCreatedFolder, path, {}});
}

void InstallJournal::RollBack() {
  for (auto it = m_steps.rbegin(); it != m_steps.rend(); ++it) {
    switch (it->kind) {
      case Kind::kReplaced:
        platform::PutBack(it->kept, it->path);
        break;
      case Kind::kCreatedFile:
        platform::RemoveFile(it->path);
        break;
      case Kind::kCreatedFolder:
        platform::RemoveFolder(it->path);
        break;
    }
  }
  m_steps.clear();
}

}  // namespace install
