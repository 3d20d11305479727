// File-system operations the logic needs, on wide-string paths.
//
// Paths are passed unchanged to the platform; a relative path is resolved
// against the process's current directory at the moment of the call. On POSIX a
// wide path is encoded to UTF-8 (platform/text.h) before it reaches the kernel.
//
// Contract (both realisations):
// - No operation throws. Failures are reported by the result only.
// - Nothing here keeps an open handle between calls, except an OutputFile
//   object, which owns its handle until Close or its destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The separator the platform's own paths use: '\\' on Windows, '/' on POSIX.
extern const wchar_t kPathSeparator;

// What the find-first-file operation reports about one entry.
struct FindData {
  std::wstring name;         // file name of the entry, without folder
  bool isDirectory = false;  // the entry is a folder
};

// Looks the path itself up (the find-first-file operation on the path, no
// wildcard meaning on POSIX). True when an entry exists there, a folder as well
// as a file; `data` is then filled. A dangling symbolic link counts as missing.
bool FindFirstEntry(const std::wstring& path, FindData& data);

// The process's current directory, without a trailing separator (except for
// the root). False, with `dir` emptied, when it cannot be read.
bool GetCurrentFolder(std::wstring& dir);

// Makes `dir` the current directory. False when that fails; nothing changes.
bool SetCurrentFolder(const std::wstring& dir);

// Creates one folder; its parent must exist. False when it was not created
// (among other reasons because something exists there already).
bool CreateFolder(const std::wstring& dir);

// Attribute flags of files and folders, with the values of the Windows file
// system.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrNormal = 0x80;

// File times in 100-nanosecond units since 1601-01-01 00:00 UTC; 0 = none.
struct FileTimes {
  uint64_t creation = 0;
  uint64_t access = 0;
  uint64_t modification = 0;
};

// Sets the attributes (kAttr...) of an existing file or folder. POSIX knows
// only read-only among them: with it every write permission is taken away,
// without it the owner gets write permission; the other flags are ignored.
// False when nothing is there or the change is refused.
bool SetAttributes(const std::wstring& path, uint32_t attributes);

// The entries of the folder `dir`, in the platform's order, without "." and
// "..". Each entry's isDirectory follows symbolic links; a dangling link is not
// listed. False, with `entries` emptied, when the folder cannot be read
// (missing, not a folder, no permission).
bool ListFolder(const std::wstring& dir, std::vector<FindData>& entries);

// Makes `target` a copy of the file `source` with its content, permissions
// (attributes on Windows) and access and modification times, replacing a file
// that is there, also a read-only, hidden or system one. On POSIX the copy is
// written beside the target under a temporary name and renamed over it, so the
// target is at every moment either the old file or the complete new one; on
// failure the temporary file is removed and the target is untouched. A folder
// at `target` makes it fail.
bool CopyFileReplacing(const std::wstring& source, const std::wstring& target);

// Makes `copy` (nothing may be there; its folder must exist) hold the file
// `existing` as it is now - content, permissions, times - and stay so when
// `existing` is later replaced by CopyFileReplacing. POSIX makes a hard link
// where the file system allows it (a link to a symbolic link, not to its
// target), else a copy; Windows copies.
bool KeepCopy(const std::wstring& existing, const std::wstring& copy);

// Puts a file kept by KeepCopy back at `target`, replacing what is there the
// way CopyFileReplacing does. `copy` stays as it is.
bool PutBack(const std::wstring& copy, const std::wstring& target);

// Removes one file (or symbolic link). False when it is not removed.
bool RemoveFile(const std::wstring& path);

// Removes one empty folder. False when it is not removed (among other reasons
// because it is not empty).
bool RemoveFolder(const std::wstring& dir);

// A file opened for writing, created anew or emptied, not shared.
// Call order: Create, then any number of Write, then Close (or destruction,
// which closes). A failed Create leaves the object closed; Write on a closed
// object fails.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  bool Create(const std::wstring& path);
  // Like Create, but the file is made anew: a file (or link) already at
  // `path` is removed first, so nothing is ever written through a link; a
  // folder there makes it fail. The new file gets `attributes` (kAttr...; a
  // read-only file stays writable through this object). On POSIX read-only
  // means no write permission for anyone, and a nonzero `unixMode` gives the
  // file exactly its permission bits (0777, the umask not applied); without
  // one the file gets the default permissions less the umask. Windows ignores
  // `unixMode`. A failed call leaves the object closed.
  bool CreateAnew(const std::wstring& path, uint32_t attributes, uint32_t unixMode);
  // Gives the open file the times of `times` that are nonzero; the others
  // stay. POSIX has no settable creation time and ignores it. False when the
  // object is closed or the platform refuses.
  bool SetTimes(const FileTimes& times);
  // Writes all `size` bytes or fails.
  bool Write(const void* data, size_t size);
  // Closes the file; false when the platform reports that buffered data could
  // not be stored. Closing a closed object does nothing and returns true.
  bool Close();
  bool IsOpen() const { return m_hFile != kNoFile; }

 private:
  static constexpr std::intptr_t kNoFile = -1;
  std::intptr_t m_hFile = kNoFile;
};

}  // namespace platform
