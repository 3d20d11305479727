#include "platform/files.h"

#include <windows.h>

#include <vector>

namespace platform {

const wchar_t kPathSeparator = L'\\';

bool FindFirstEntry(const std::wstring& path, FindData& data) {
  if (path.empty()) return false;
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  data.name = found.cFileName;
  data.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool GetCurrentFolder(std::wstring& dir) {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
    if (n == 0) break;
    if (n < buf.size()) {
      dir.assign(buf.data(), n);
      return true;
    }
    buf.resize(n);  // n counts the terminator when the buffer was too small
  }
  dir.clear();
  return false;
}

bool SetCurrentFolder(const std::wstring& dir) { return ::SetCurrentDirectoryW(dir.c_str()) != 0; }

bool CreateFolder(const std::wstring& dir) { return ::CreateDirectoryW(dir.c_str(), nullptr) != 0; }

namespace {

HANDLE Native(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

// The attributes a file may be given: the directory flag belongs to folders
// alone, and "normal" stands only by itself.
DWORD FileAttributes(uint32_t attributes) {
  DWORD a = attributes & ~DWORD{FILE_ATTRIBUTE_DIRECTORY};
  if (a & ~DWORD{FILE_ATTRIBUTE_NORMAL}) a &= ~DWORD{FILE_ATTRIBUTE_NORMAL};
  return a == 0 ? FILE_ATTRIBUTE_NORMAL : a;
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : m_h(h) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (Valid()) ::CloseHandle(m_h);
  }
  bool Valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
  HANDLE Get() const { return m_h; }

 private:
  HANDLE m_h;
};

// Gives `target` the access and modification times of `source`.
bool CopyTimes(const std::wstring& source, const std::wstring& target) {
  FileHandle in(::CreateFileW(source.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                              nullptr));
  FILETIME access, modification;
  if (!in.Valid() || !::GetFileTime(in.Get(), nullptr, &access, &modification)) return false;
  FileHandle out(::CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr));
  return out.Valid() && ::SetFileTime(out.Get(), nullptr, &access, &modification);
}

// Takes away what keeps a file from being replaced or removed; gives back the
// attributes it had (kNoAttributes when nothing is there).
DWORD MakeReplaceable(const std::wstring& path) {
  const DWORD old = ::GetFileAttributesW(path.c_str());
  if (old != kNoAttributes && !(old & FILE_ATTRIBUTE_DIRECTORY) &&
      (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return old;
}

void Restore(const std::wstring& path, DWORD old) {
  if (old != kNoAttributes && !(old & FILE_ATTRIBUTE_DIRECTORY)) ::SetFileAttributesW(path.c_str(), old);
}

}  // namespace

bool SetAttributes(const std::wstring& path, uint32_t attributes) {
  return ::SetFileAttributesW(path.c_str(), FileAttributes(attributes)) != 0;
}

bool ListFolder(const std::wstring& dir, std::vector<FindData>& entries) {
  entries.clear();
  std::wstring pattern = dir;
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back(FindData{name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (::FindNextFileW(search, &found));
  const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
  ::FindClose(search);
  if (!complete) entries.clear();
  return complete;
}

bool CopyFileReplacing(const std::wstring& source, const std::wstring& target) {
  const DWORD old = MakeReplaceable(target);
  if (old != kNoAttributes && (old & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) {
    Restore(target, old);
    return false;
  }
  return CopyTimes(source, target);
}

bool KeepCopy(const std::wstring& existing, const std::wstring& copy) {
  return ::CopyFileW(existing.c_str(), copy.c_str(), TRUE) && CopyTimes(existing, copy);
}

bool PutBack(const std::wstring& copy, const std::wstring& target) { return CopyFileReplacing(copy, target); }

bool RemoveFile(const std::wstring& path) {
  // A read-only file is removed as well, as POSIX removes one.
  const DWORD old = MakeReplaceable(path);
  if (old == kNoAttributes || (old & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (::DeleteFileW(path.c_str())) return true;
  Restore(path, old);
  return false;
}

bool RemoveFolder(const std::wstring& dir) { return ::RemoveDirectoryW(dir.c_str()) != 0; }

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Create(const std::wstring& path) {
  Close();
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  m_hFile = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool OutputFile::CreateAnew(const std::wstring& path, uint32_t attributes, uint32_t) {
  Close();
  const DWORD old = ::GetFileAttributesW(path.c_str());
  if (old != kNoAttributes && ((old & FILE_ATTRIBUTE_DIRECTORY) || !RemoveFile(path))) return false;
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FileAttributes(attributes),
                                    nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  m_hFile = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool OutputFile::SetTimes(const FileTimes& times) {
  if (!IsOpen()) return false;
  auto convert = [](uint64_t t, FILETIME& ft) -> const FILETIME* {
    if (t == 0) return nullptr;
    ft.dwLowDateTime = static_cast<DWORD>(t);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return &ft;
  };
  FILETIME c, a, m;
  return ::SetFileTime(Native(m_hFile), convert(times.creation, c), convert(times.access, a),
                       convert(times.modification, m)) != 0;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (!IsOpen()) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD piece = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(Native(m_hFile), p, piece, &written, nullptr) || written == 0) return false;
    p += written;
    size -= written;
  }
  return true;
}

bool OutputFile::Close() {
  if (!IsOpen()) return true;
  const BOOL ok = ::CloseHandle(Native(m_hFile));
  m_hFile = kNoFile;
  return ok != 0;
}

}  // namespace platform
