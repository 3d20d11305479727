#include "install/entry_names.h"

#include <string_view>

namespace install {

namespace {

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

}  // namespace

bool IsSafeEntryName(const std::wstring& name) {
  if (name.find(L'\0') != std::wstring::npos) return false;
  if (!name.empty() && IsSeparator(name.front())) return false;
  size_t start = 0;
  for (bool first = true; start <= name.size(); first = false) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::wstring_view component(name.data() + start, end - start);
    if (component == L"..") return false;
    if (first && component.find(L':') != std::wstring_view::npos) return false;
    start = end + 1;
  }
  return true;
}

bool IsSingleName(const std::wstring& name) {
  for (wchar_t c : name)
    if (IsSeparator(c) || c == L'\0') return false;
  return name != L"." && name != L"..";
}

}  // namespace install
