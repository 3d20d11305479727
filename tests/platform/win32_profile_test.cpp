// The profile functions on Windows, where the system's own private-profile
// functions stand behind them: the differences our realisation holds off.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace {

std::wstring Keys(const wchar_t* file, const wchar_t* section) {
  wchar_t list[64] = {};
  const uint32_t n = platform::GetProfileString(section, nullptr, L"", list, 64, file);
  return std::wstring(list, n);
}

std::wstring Value(const wchar_t* file, const wchar_t* section, const wchar_t* key) {
  wchar_t value[64] = {};
  platform::GetProfileString(section, key, L"", value, 64, file);
  return value;
}

TEST(Win32Profile, ABareFileNameIsTheCurrentDirectorysFile) {
  // The system would look a bare name up in the Windows folder.
  TempDir dir(/*enter=*/true);
  ASSERT_TRUE(platform::WriteProfileString(L"VERSION", L"LOCAL_VERSION", L"1.2.0", L"update.cfg"));
  EXPECT_NE(dir.Read("update.cfg").find("LOCAL_VERSION=1.2.0"), std::string::npos);
  EXPECT_EQ(Value(L"update.cfg", L"VERSION", L"LOCAL_VERSION"), L"1.2.0");
}

TEST(Win32Profile, AKeyWrittenTwiceIsListedOnceInTheSpellingOfItsFirstLine) {
  TempDir dir;
  const std::wstring file = dir.Write("update.cfg", "[S]\nA=1\nb=2\na=3\nB=4\nC=5\n").wstring();
  EXPECT_EQ(Keys(file.c_str(), L"S"), std::wstring(L"A\0b\0C\0", 6));
}

TEST(Win32Profile, WhatWouldBreakTheFileOrDeleteFromItIsRefused) {
  TempDir dir;
  const std::string plain = "[VERSION]\r\nLOCAL_VERSION=1.0\r\nX=1\r\n";
  const std::wstring file = dir.Write("update.cfg", plain).wstring();
  EXPECT_FALSE(platform::WriteProfileString(L"VERSION", L"LOCAL_VERSION", L"1\r\n[SERVER]", file.c_str()));
  EXPECT_FALSE(platform::WriteProfileString(L"VERSION", L"X", nullptr, file.c_str()));  // would delete the key
  EXPECT_FALSE(platform::WriteProfileString(L"VERSION", nullptr, L"1", file.c_str()));  // would delete the section
  EXPECT_FALSE(platform::WriteProfileString(L"VERSION", L"A=B", L"1", file.c_str()));
  EXPECT_EQ(dir.Read("update.cfg"), plain);
}

}  // namespace
