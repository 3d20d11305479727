// The key-name list of a profile section as the profile reader hands it out;
// shared by both realisations of platform/profile.h so they cut a long list
// the same way.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Copies `list` (names, each followed by a zero) into `buffer` of `size`
// characters, closed by one more zero, and returns the characters delivered
// without the closing zero. A list that does not fit is cut after `size` - 2
// characters and closed by two zeros; the result is then `size` - 2.
std::uint32_t CopyKeyList(const std::wstring& list, wchar_t* buffer, std::uint32_t size);

}  // namespace platform
