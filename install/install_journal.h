// What an installation has changed in the program folder, so that a failed one
// can be taken back.
//
// Before a program file is replaced its old content is kept in a backup
// folder beside the version folder: <version folder>.backup-<n>, the first n
// not in use, mirroring the program folder's tree. The backup folder is made
// when the first file is kept and is never removed; it lies outside the
// version folder, so the installation never copies it.
#pragma once

#include <string>
#include <vector>

namespace install {

class InstallJournal {
 public:
  // `sourceDir` is the version folder being installed.
  explicit InstallJournal(const std::wstring& sourceDir);

  // Keeps the file `target`, which lies at `relative` below the program
  // folder, in the backup folder; it is put back by RollBack. False when it
  // could not be kept: the file must then not be replaced.
  bool KeepBeforeReplace(const std::wstring& target, const std::wstring& relative);
  // A file or folder that did not exist before the installation.
  void FileCreated(const std::wstring& path);
  void FolderCreated(const std::wstring& path);

  // Undoes every recorded step, newest first: kept files go back, created
  // files and (then empty) folders are removed. A step that cannot be undone
  // does not stop the others.
  void RollBack();

  // The backup folder; empty until the first file has been kept.
  const std::wstring& BackupDir() const { return m_strBackupDir; }

 private:
  bool MakeBackupDir();

  enum class Kind { kReplaced, kCreatedFile, kCreatedFolder };
  struct Step {
    Kind kind;
    std::wstring path;
    std::wstring kept;
  };
  std::wstring m_strSourceDir;
  std::wstring m_strBackupDir;
  std::vector<Step> m_steps;
};

}  // namespace install
