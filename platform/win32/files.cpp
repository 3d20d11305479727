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

}  // namespace

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Create(const std::wstring& path) {
  Close();
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  m_hFile = reinterpret_cast<std::intptr_t>(file);
  return true;
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
