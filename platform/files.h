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
