// The system's private-profile functions, with three differences held off: a
// bare file name would be looked up in the Windows folder, a key written twice
// in one section (in any letter case) would be listed twice, and a null key or
// value would delete a key or a whole section.
#include "platform/profile.h"
#include "platform/profile_key_list.h"

#include <windows.h>
// The system's names for its win.ini functions would rename ours.
#undef GetProfileString
#undef WriteProfileString

#include <algorithm>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

namespace {

// The contract resolves every name against the current directory.
std::wstring Resolve(const wchar_t* file) {
  std::wstring path = file;
  if (path.find_first_of(L"\\/:") == std::wstring::npos) path.insert(0, L".\\");
  return path;
}

bool HasLineBreak(const wchar_t* s) { return std::wcspbrk(s, L"\r\n") != nullptr; }

bool IsBlank(const wchar_t* s) {
  for (; *s; ++s)
    if (*s != L' ' && *s != L'\t') return false;
  return true;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// Every key name of the section once, in the spelling of its first line, each
// followed by a zero; cut to the caller's buffer as the system cuts its list.
uint32_t KeyList(const wchar_t* section, wchar_t* buffer, uint32_t size, const std::wstring& file) {
  std::vector<wchar_t> all(std::max<uint32_t>(size, 4096));
  DWORD n = 0;
  for (;;) {
    n = ::GetPrivateProfileStringW(section, nullptr, L"", all.data(), static_cast<DWORD>(all.size()), file.c_str());
    if (n + 2 < all.size() || all.size() >= (1u << 24)) break;
    all.resize(all.size() * 2);
  }
  std::vector<std::wstring_view> names;
  std::wstring list;
  for (size_t pos = 0; pos < n && all[pos] != L'\0';) {
    const std::wstring_view name(all.data() + pos);
    pos += name.size() + 1;
    bool seen = false;
    for (const auto& other : names) seen = seen || SameName(other, name);
    if (seen) continue;
    names.push_back(name);
    list.append(name);
    list.push_back(L'\0');
  }
  return CopyKeyList(list, buffer, size);
}

}  // namespace

uint32_t GetProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                          wchar_t* buffer, uint32_t size, const wchar_t* file) {
  if (buffer == nullptr || size == 0) return 0;
  if (section == nullptr || file == nullptr || *file == L'\0') {
    // No file to read: the default for a value, an empty list for the keys.
    buffer[0] = L'\0';
    if (key == nullptr) {
      if (size > 1) buffer[1] = L'\0';
      return 0;
    }
    const size_t n = std::min<size_t>(defaultValue ? std::wcslen(defaultValue) : 0, size - 1);
    std::wmemcpy(buffer, defaultValue ? defaultValue : L"", n);
    buffer[n] = L'\0';
    return static_cast<uint32_t>(n);
  }
  if (key == nullptr) return KeyList(section, buffer, size, Resolve(file));
  return ::GetPrivateProfileStringW(section, key, defaultValue ? defaultValue : L"", buffer, size,
                                    Resolve(file).c_str());
}

bool WriteProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* value, const wchar_t* file) {
  if (!section || !key || !value || !file || !*file) return false;
  if (IsBlank(section) || IsBlank(key)) return false;
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) || std::wcschr(key, L'=') ||
      std::wcschr(section, L']'))
    return false;
  return ::WritePrivateProfileStringW(section, key, value, Resolve(file).c_str()) != 0;
}

}  // namespace platform
