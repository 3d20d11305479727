#include "install/dir_tree.h"

#include <deque>

#include "install/path_limit.h"
#include "platform/files.h"

namespace install {

int CreateDirTree(const std::wstring& path) {
  if (path.size() > kMaxPath) return 0;
  platform::FindData found;
  if (platform::FindFirstEntry(path, found)) return 1;

  const wchar_t sep = platform::kPathSeparator;
  std::deque<std::wstring> levels{path};
  std::wstring text = path;
  size_t pos = text.rfind(sep);
  while (pos != std::wstring::npos && pos > 0) {
    text.resize(pos);
    levels.push_front(text);
    pos = text.rfind(sep);
  }
  // Without a separator left, the first component tells: "C:" starts an
  // absolute path, anything else a relative one that we do not place.
  if (pos == std::wstring::npos && (text.empty() || text.back() != L':')) return 0;

  for (const std::wstring& level : levels) platform::CreateFolder(level);
  return 1;
}

int CreateParentDirs(const std::wstring& folder, const std::wstring& name) {
  const wchar_t sep = platform::kPathSeparator;
  std::wstring copy = name;
  SlashToBackslash(copy);
  for (const std::wstring& prefix : PathPrefixes(copy, std::wstring_view(&sep, 1))) {
    const std::wstring joined = prefix.front() == sep ? folder + prefix : folder + sep + prefix;
    if (!IsDirectory(joined)) platform::CreateFolder(joined);
  }
  return 1;
}

std::vector<std::wstring> PathPrefixes(std::wstring_view text, std::wstring_view separator) {
  std::vector<std::wstring> prefixes;
  if (separator.empty()) return prefixes;
  size_t start = 0;
  for (size_t pos; (pos = text.find(separator, start)) != std::wstring_view::npos; start = pos + separator.size())
    if (pos != start) prefixes.emplace_back(text.substr(0, pos));
  return prefixes;
}

void SlashToBackslash(std::wstring& path) {
  for (wchar_t& c : path)
    if (c == L'/' || c == L'\\') c = platform::kPathSeparator;
}

bool IsDirectory(const std::wstring& path) {
  platform::FindData found;
  return platform::FindFirstEntry(path, found) && found.isDirectory;
}

}  // namespace install
