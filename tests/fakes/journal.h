// One ordered record of what the fakes were asked to do, so a test can check
// the order of effects across them.
#pragma once

#include <algorithm>
#include <type_traits>
#include <string>
#include <string_view>
#include <vector>

// Journal entries are UTF-8 whatever the platform's narrow code page is, so
// the tests can spell them as literals.
inline std::string JournalText(std::wstring_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    auto cp = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
    if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
      const auto low = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i + 1]));
      if (low >= 0xDC00 && low <= 0xDFFF) cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00), ++i;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

struct Journal {
  std::vector<std::string> entries;

  void Add(std::string entry) { entries.push_back(std::move(entry)); }
  bool Has(const std::string& entry) const {
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
  }
  // Position of the first entry equal to `entry`, or -1.
  long IndexOf(const std::string& entry) const {
    const auto it = std::find(entries.begin(), entries.end(), entry);
    return it == entries.end() ? -1 : static_cast<long>(it - entries.begin());
  }
  long Count(const std::string& entry) const { return std::count(entries.begin(), entries.end(), entry); }
};
