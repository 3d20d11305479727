#include "config/zt_config.h"

#include <vector>

#include "platform/files.h"
#include "platform/profile.h"

namespace {

constexpr size_t kMaxPathLength = 259;

// The i-th name of a key list ("a\0b\0\0"), walked from the list's start. The
// list ends where a zero follows a zero; false when it has no i-th name.
bool NthName(const std::vector<wchar_t>& list, size_t index, std::wstring& name) {
  size_t pos = 0;
  for (size_t i = 0;; ++i) {
    if (pos + 1 >= list.size() || (list[pos] == L'\0' && list[pos + 1] == L'\0')) return false;
    size_t end = pos;
    while (end < list.size() && list[end] != L'\0') ++end;
    if (i == index) {
      name.assign(list.begin() + static_cast<std::ptrdiff_t>(pos), list.begin() + static_cast<std::ptrdiff_t>(end));
      return true;
    }
    pos = end + 1;
  }
}

}  // namespace

CZtConfig::CZtConfig() = default;
CZtConfig::~CZtConfig() = default;

int CZtConfig::Load(const std::wstring& path) {
  platform::FindData found;
  if (path.size() <= kMaxPathLength && platform::FindFirstEntry(path, found)) {
    m_strFile = path;
    return 1;
  }
  m_strFile.clear();
  return 0;
}

int CZtConfig::GetSection(const std::wstring& section, CZtSection& target) {
  std::vector<wchar_t> keys(KEY_LIST_CAPACITY, L'\0');
  if (platform::GetProfileString(section.c_str(), nullptr, L"", keys.data(), KEY_LIST_CAPACITY,
                                 m_strFile.c_str()) == 0)
    return 0;
  std::wstring name;
  for (size_t i = 0; NthName(keys, i, name); ++i) {
    std::vector<wchar_t> value(VALUE_CAPACITY, L'\0');
    platform::GetProfileString(section.c_str(), name.c_str(), L"", value.data(), VALUE_CAPACITY, m_strFile.c_str());
    target.Put(name, value.data());
  }
  return 1;
}

int CZtConfig::WriteValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  return platform::WriteProfileString(section.c_str(), key.c_str(), value.c_str(), m_strFile.c_str()) ? 1 : 0;
}
