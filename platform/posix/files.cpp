#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "platform/text.h"

namespace platform {

const wchar_t kPathSeparator = L'/';

namespace {

std::string Native(const std::wstring& path) { return WideToAnsi(path); }

std::wstring BaseName(const std::wstring& path) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == L'/') --end;
  const size_t slash = path.rfind(L'/', end - 1);
  return slash == std::wstring::npos ? path.substr(0, end) : path.substr(slash + 1, end - slash - 1);
}

}  // namespace

bool FindFirstEntry(const std::wstring& path, FindData& data) {
  if (path.empty()) return false;
  struct stat st {};
  if (::stat(Native(path).c_str(), &st) != 0) return false;
  data.name = BaseName(path);
  data.isDirectory = S_ISDIR(st.st_mode);
  return true;
}

bool GetCurrentFolder(std::wstring& dir) {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    if (::getcwd(buf.data(), buf.size()) != nullptr) {
      dir = AnsiToWide(buf.data());
      return true;
    }
    if (errno != ERANGE) break;
    buf.resize(buf.size() * 2);
  }
  dir.clear();
  return false;
}

bool SetCurrentFolder(const std::wstring& dir) { return ::chdir(Native(dir).c_str()) == 0; }

bool CreateFolder(const std::wstring& dir) { return ::mkdir(Native(dir).c_str(), 0777) == 0; }

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Create(const std::wstring& path) {
  Close();
  const int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  m_hFile = fd;
  return true;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (!IsOpen()) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(static_cast<int>(m_hFile), p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool OutputFile::Close() {
  if (!IsOpen()) return true;
  const int rc = ::close(static_cast<int>(m_hFile));
  m_hFile = kNoFile;
  return rc == 0;
}

}  // namespace platform
