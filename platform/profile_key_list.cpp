#include "platform/profile_key_list.h"

#include <cwchar>

namespace platform {

std::uint32_t CopyKeyList(const std::wstring& list, wchar_t* buffer, std::uint32_t size) {
  if (size == 0) return 0;
  if (list.empty() || size < 2) {
    buffer[0] = L'\0';
    if (size > 1) buffer[1] = L'\0';
    return 0;
  }
  if (list.size() + 1 <= size) {
    std::wmemcpy(buffer, list.data(), list.size());
    buffer[list.size()] = L'\0';
    return static_cast<std::uint32_t>(list.size());
  }
  std::wmemcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = L'\0';
  buffer[size - 1] = L'\0';
  return size - 2;
}

}  // namespace platform
