#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
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

// The folder that holds `path`, for files written beside it.
std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Closes a descriptor when leaving a scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : m_fd(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { Close(); }
  int Get() const { return m_fd; }
  bool Close() {
    if (m_fd < 0) return true;
    const int rc = ::close(m_fd);
    m_fd = -1;
    return rc == 0;
  }

 private:
  int m_fd;
};

bool WriteAll(int fd, const char* p, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Copies all of `in` to `out`, in the kernel where it can.
bool CopyData(int in, int out) {
  bool kernelCopy = true;
  for (;;) {
    if (kernelCopy) {
      const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
      if (n > 0) continue;
      if (n == 0) return true;
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EPERM) return false;
      kernelCopy = false;  // nothing was copied by the failing call; go on by hand from here
    }
    static thread_local std::vector<char> buffer(size_t{1} << 17);
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, buffer.data(), static_cast<size_t>(n))) return false;
  }
}

// A name for a file beside `target` that does not exist yet. The name is short
// so that it fits however long the target's own name is.
std::string TempNameBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const std::string dir = ParentOf(target);
  for (;;) {
    char name[64];
    std::snprintf(name, sizeof name, "/.updater-%ld-%u", static_cast<long>(::getpid()), counter++);
    std::string candidate = (dir == "/" ? std::string() : dir) + name;
    struct stat st {};
    if (::lstat(candidate.c_str(), &st) != 0 && errno == ENOENT) return candidate;
  }
}

constexpr int64_t kUnixEpochAsFileTime = 116444736000000000;  // 1970-01-01 in 100 ns since 1601

timespec ToTimespec(uint64_t fileTime) {
  if (fileTime == 0) return timespec{0, UTIME_OMIT};
  const int64_t since1970 = static_cast<int64_t>(fileTime) - kUnixEpochAsFileTime;
  int64_t seconds = since1970 / 10000000;
  int64_t rest = since1970 % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  return timespec{static_cast<time_t>(seconds), static_cast<long>(rest * 100)};
}

}  // namespace

bool SetAttributes(const std::wstring& path, uint32_t attributes) {
  const std::string p = Native(path);
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & kAttrReadOnly) ? (mode & ~mode_t{0222}) : (mode | S_IWUSR);
  return mode == (st.st_mode & 07777) || ::chmod(p.c_str(), mode) == 0;
}

bool ListFolder(const std::wstring& dir, std::vector<FindData>& entries) {
  entries.clear();
  const std::string d = Native(dir);
  DIR* stream = ::opendir(d.c_str());
  if (stream == nullptr) return false;
  errno = 0;
  while (const dirent* e = ::readdir(stream)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool isDirectory = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st {};
      if (::fstatat(::dirfd(stream), e->d_name, &st, 0) != 0) continue;  // dangling link
      isDirectory = S_ISDIR(st.st_mode);
    }
    entries.push_back(FindData{AnsiToWide(name), isDirectory});
    errno = 0;
  }
  const bool complete = errno == 0;
  ::closedir(stream);
  if (!complete) entries.clear();
  return complete;
}

bool CopyFileReplacing(const std::wstring& source, const std::wstring& target) {
  const std::string t = Native(target);
  Fd in(::open(Native(source).c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (in.Get() < 0 || ::fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::string temp = ParentOf(t) + "/.updater-XXXXXX";
  Fd out(::mkostemp(temp.data(), O_CLOEXEC));
  if (out.Get() < 0) return false;
  const timespec times[2] = {st.st_atim, st.st_mtim};
  const bool written = CopyData(in.Get(), out.Get()) && ::fchmod(out.Get(), st.st_mode & 07777) == 0 &&
                       ::futimens(out.Get(), times) == 0;
  if (out.Close() && written && ::rename(temp.c_str(), t.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

bool KeepCopy(const std::wstring& existing, const std::wstring& copy) {
  const std::string e = Native(existing), c = Native(copy);
  if (::linkat(AT_FDCWD, e.c_str(), AT_FDCWD, c.c_str(), 0) == 0) return true;
  if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP) return false;
  struct stat st {};
  if (::lstat(c.c_str(), &st) == 0) return false;  // the copy must not replace anything
  return CopyFileReplacing(existing, copy);
}

bool PutBack(const std::wstring& copy, const std::wstring& target) {
  const std::string c = Native(copy), t = Native(target);
  const std::string temp = TempNameBeside(t);
  if (::linkat(AT_FDCWD, c.c_str(), AT_FDCWD, temp.c_str(), 0) == 0) {
    if (::rename(temp.c_str(), t.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
  }
  return CopyFileReplacing(copy, target);
}

bool RemoveFile(const std::wstring& path) { return ::unlink(Native(path).c_str()) == 0; }

bool RemoveFolder(const std::wstring& dir) { return ::rmdir(Native(dir).c_str()) == 0; }

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

bool OutputFile::CreateAnew(const std::wstring& path, uint32_t attributes, uint32_t unixMode) {
  Close();
  const std::string p = Native(path);
  if (::unlink(p.c_str()) != 0 && errno != ENOENT) return false;
  mode_t mode = unixMode != 0 ? (unixMode & 0777) : 0666;
  if (attributes & kAttrReadOnly) mode &= ~mode_t{0222};
  const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return false;
  // The umask has already been applied to `mode`; a stored mode is meant as it is.
  if (unixMode != 0 && ::fchmod(fd, mode) != 0) {
    ::close(fd);
    ::unlink(p.c_str());
    return false;
  }
  m_hFile = fd;
  return true;
}

bool OutputFile::SetTimes(const FileTimes& times) {
  if (!IsOpen()) return false;
  const timespec t[2] = {ToTimespec(times.access), ToTimespec(times.modification)};
  return ::futimens(static_cast<int>(m_hFile), t) == 0;
}

bool OutputFile::Write(const void* data, size_t size) {
  return IsOpen() && WriteAll(static_cast<int>(m_hFile), static_cast<const char*>(data), size);
}

bool OutputFile::Close() {
  if (!IsOpen()) return true;
  const int rc = ::close(static_cast<int>(m_hFile));
  m_hFile = kNoFile;
  return rc == 0;
}

}  // namespace platform
