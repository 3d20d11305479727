// UTF-8 is the narrow code page on POSIX.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  std::string narrow;
  std::wstring wide;
  friend void PrintTo(const Case& c, std::ostream* os) { *os << ::testing::PrintToString(c.narrow); }
};

class AnsiToWideTest : public ::testing::TestWithParam<Case> {};

TEST_P(AnsiToWideTest, Decodes) { EXPECT_EQ(platform::AnsiToWide(GetParam().narrow), GetParam().wide); }

INSTANTIATE_TEST_SUITE_P(
    Texts, AnsiToWideTest,
    ::testing::Values(Case{"", L""}, Case{"ver=1.0", L"ver=1.0"}, Case{"更新", L"更新"},
                      Case{"\xF0\x9F\x98\x80", L"\U0001F600"}, Case{std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
                      Case{"\xff", L"\uFFFD"},            // not UTF-8
                      Case{"\xC0\xAF", L"\uFFFD\uFFFD"},  // overlong "/"
                      Case{"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // a surrogate
                      Case{"\xE6\x9B", L"\uFFFD\uFFFD"}));          // cut short

TEST(Text, WideToAnsiRoundTripsAndReplacesWhatCannotBeEncoded) {
  for (const std::wstring& s : {std::wstring(L"download/1.2.0"), std::wstring(L"安装更新文件失败！"),
                                std::wstring(L"\U0001F600")})
    EXPECT_EQ(platform::AnsiToWide(platform::WideToAnsi(s)), s);
  EXPECT_EQ(platform::WideToAnsi(std::wstring(1, static_cast<wchar_t>(0xD800))), "?");
}

}  // namespace
