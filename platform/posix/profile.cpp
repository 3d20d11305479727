// Our own profile-file reader and writer, following the rules of the Windows
// private-profile functions (see platform/profile.h). The file is UTF-8, with
// or without a byte-order mark; lines end in LF or CR LF.
#include "platform/profile.h"
#include "platform/profile_key_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace platform {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

struct Line {
  enum Kind { kOther, kSection, kEntry };
  size_t begin = 0;  // byte offset of the line in the file
  size_t end = 0;    // offset just past its content, before CR LF or LF
  size_t next = 0;   // offset of the following line
  Kind kind = kOther;
  std::wstring name;       // section or key name, trimmed
  std::string_view value;  // entry value's bytes, trimmed and unquoted
};

// White space is ASCII, so trimming works on UTF-8 bytes and wide text alike.
template <typename Char>
bool IsBlank(Char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::wstring Trim(const wchar_t* s) { return std::wstring(Trim(std::wstring_view(s))); }

std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
    return s.substr(1, s.size() - 2);
  return s;
}

wchar_t FoldCase(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameName(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return FoldCase(x) == FoldCase(y); });
}

// The file split into lines, each classified once.
class Document {
 public:
  explicit Document(std::string bytes) : m_bytes(std::move(bytes)) {
    size_t pos = m_bytes.compare(0, kBom.size(), kBom) == 0 ? kBom.size() : 0;
    while (pos < m_bytes.size()) {
      Line line;
      line.begin = pos;
      const size_t lf = m_bytes.find('\n', pos);
      line.next = lf == std::string::npos ? m_bytes.size() : lf + 1;
      line.end = lf == std::string::npos ? m_bytes.size() : lf;
      if (line.end > line.begin && m_bytes[line.end - 1] == '\r') --line.end;
      if (lf != std::string::npos && m_eol.empty()) m_eol = line.end < lf ? "\r\n" : "\n";
      Classify(line);
      m_lines.push_back(std::move(line));
      pos = m_lines.back().next;
    }
    if (m_eol.empty()) m_eol = "\n";
  }

  const std::string& Bytes() const { return m_bytes; }
  const std::string& Eol() const { return m_eol; }

  // Index of the header of the first section named `name`.
  std::optional<size_t> FindSection(std::wstring_view name) const {
    for (size_t i = 0; i < m_lines.size(); ++i)
      if (m_lines[i].kind == Line::kSection && SameName(m_lines[i].name, name)) return i;
    return std::nullopt;
  }

  // One past the last line of the section whose header is at `header`.
  size_t SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < m_lines.size() && m_lines[i].kind != Line::kSection) ++i;
    return i;
  }

  std::optional<size_t> FindEntry(size_t header, std::wstring_view key) const {
    for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i)
      if (m_lines[i].kind == Line::kEntry && SameName(m_lines[i].name, key)) return i;
    return std::nullopt;
  }

  std::vector<std::wstring> KeyNames(size_t header) const {
    std::vector<std::wstring> names;
    for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
      if (m_lines[i].kind != Line::kEntry) continue;
      const auto& n = m_lines[i].name;
      if (std::none_of(names.begin(), names.end(), [&](const std::wstring& k) { return SameName(k, n); }))
        names.push_back(n);
    }
    return names;
  }

  const Line& At(size_t i) const { return m_lines[i]; }

 private:
  // Only names are decoded here; a value is decoded when it is asked for, so a
  // huge line costs nothing unless it is the one being read.
  void Classify(Line& line) const {
    const std::string_view text = Trim(std::string_view(m_bytes).substr(line.begin, line.end - line.begin));
    if (text.empty() || text[0] == ';') return;
    if (text[0] == '[') {
      const size_t close = text.rfind(']');
      if (close == std::string_view::npos) return;
      line.kind = Line::kSection;
      line.name = AnsiToWide(Trim(text.substr(1, close - 1)));
      return;
    }
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) return;
    const std::string_view name = Trim(text.substr(0, eq));
    if (name.empty()) return;
    line.kind = Line::kEntry;
    line.name = AnsiToWide(name);
    line.value = Unquote(Trim(text.substr(eq + 1)));
  }

  std::string m_bytes;
  std::string m_eol;
  std::vector<Line> m_lines;
};

std::optional<std::string> ReadFile(const wchar_t* file) {
  const std::string path = WideToAnsi(file);
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(bytes).str();
}

uint32_t CopyOut(const std::wstring& text, wchar_t* buffer, uint32_t size) {
  const auto n = static_cast<uint32_t>(std::min<size_t>(text.size(), size - 1));
  std::wmemcpy(buffer, text.data(), n);
  buffer[n] = L'\0';
  return n;
}

uint32_t CopyNames(const std::vector<std::wstring>& names, wchar_t* buffer, uint32_t size) {
  std::wstring list;
  for (const auto& n : names) {
    list += n;
    list.push_back(L'\0');
  }
  return CopyKeyList(list, buffer, size);
}

bool HasLineBreak(const wchar_t* s) { return std::wcspbrk(s, L"\r\n") != nullptr; }

// Writes `bytes` to a new file beside `path` and renames it over `path`, so a
// reader sees either the old file or the whole new one.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
  struct stat old {};
  const bool existed = ::stat(path.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) return false;
  const std::string temp = path + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  if (ok && existed) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  if (ok) ok = ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace

uint32_t GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                          wchar_t* buffer, uint32_t size, const wchar_t* file) {
  if (buffer == nullptr || size == 0) return 0;
  const std::wstring fallback = Trim(defaultValue ? defaultValue : L"");
  const auto bytes = file && section ? ReadFile(file) : std::nullopt;
  if (!bytes) return key ? CopyOut(fallback, buffer, size) : CopyNames({}, buffer, size);
  const Document doc(*bytes);
  const auto header = doc.FindSection(section);
  if (key == nullptr) return CopyNames(header ? doc.KeyNames(*header) : std::vector<std::wstring>{}, buffer, size);
  const auto entry = header ? doc.FindEntry(*header, key) : std::nullopt;
  return CopyOut(entry ? AnsiToWide(doc.At(*entry).value) : fallback, buffer, size);
}

bool WriteProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value, const wchar_t* file) {
  if (!section || !key || !value || !file || !*file) return false;
  if (Trim(section).empty() || Trim(key).empty()) return false;
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) || std::wcschr(key, L'=') ||
      std::wcschr(section, L']'))
    return false;
  const std::string path = WideToAnsi(file);
  std::string bytes;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    auto read = ReadFile(file);
    if (!read) return false;
    bytes = std::move(*read);
  } else if (errno != ENOENT) {
    return false;
  }

  const Document doc(bytes);
  const std::string eol = doc.Eol();
  const std::string newValue = WideToAnsi(value);
  std::string out;
  if (const auto header = doc.FindSection(section)) {
    if (const auto entry = doc.FindEntry(*header, key)) {
      // Keep the key as the file spells it and the line's own ending.
      const Line& line = doc.At(*entry);
      const std::string_view text = std::string_view(bytes).substr(line.begin, line.end - line.begin);
      const size_t eq = text.find('=');
      out = bytes.substr(0, line.begin);
      out.append(text.substr(0, eq + 1));
      out += newValue;
      out.append(bytes, line.end);
    } else {
      // Append after the section's last non-blank line.
      size_t last = *header;
      for (size_t i = *header + 1, end = doc.SectionEnd(*header); i < end; ++i)
        if (!Trim(std::string_view(bytes).substr(doc.At(i).begin, doc.At(i).end - doc.At(i).begin)).empty()) last = i;
      const Line& after = doc.At(last);
      out = bytes.substr(0, after.next);
      if (after.next == after.end) out += eol;  // the file ended without a line break
      out += WideToAnsi(key) + "=" + newValue + eol;
      out.append(bytes, after.next);
    }
  } else {
    out = bytes;
    if (!out.empty() && out.back() != '\n') out += eol;
    out += "[" + WideToAnsi(section) + "]" + eol + WideToAnsi(key) + "=" + newValue + eol;
  }
  return ReplaceFile(path, out);
}

}  // namespace platform
