// The ANSI code page is the system's own (CP_ACP). Text that it cannot express
// becomes the code page's default character; bytes that are not valid in it
// are replaced as the system's conversion decides.
#include "platform/text.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace platform {

namespace {

// The conversions take int lengths; longer text is converted piecewise. A
// piece boundary never splits a surrogate pair, and the narrow side never
// reaches that length in this program.
constexpr size_t kPiece = INT_MAX / 4;

}  // namespace

std::wstring AnsiToWide(std::string_view text) {
  std::wstring out;
  while (!text.empty()) {
    const int n = static_cast<int>(std::min(text.size(), kPiece));
    const int wide = ::MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0);
    if (wide > 0) {
      const size_t at = out.size();
      out.resize(at + static_cast<size_t>(wide));
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), n, out.data() + at, wide);
    }
    text.remove_prefix(static_cast<size_t>(n));
  }
  return out;
}

std::string WideToAnsi(std::wstring_view text) {
  std::string out;
  while (!text.empty()) {
    size_t n = std::min(text.size(), kPiece);
    if (n < text.size() && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    const int wn = static_cast<int>(n);
    const int narrow = ::WideCharToMultiByte(CP_ACP, 0, text.data(), wn, nullptr, 0, nullptr, nullptr);
    if (narrow > 0) {
      const size_t at = out.size();
      out.resize(at + static_cast<size_t>(narrow));
      ::WideCharToMultiByte(CP_ACP, 0, text.data(), wn, out.data() + at, narrow, nullptr, nullptr);
    }
    text.remove_prefix(n);
  }
  return out;
}

}  // namespace platform
