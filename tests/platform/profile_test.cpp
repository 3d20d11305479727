// The POSIX profile reader and writer on real files.
#include "platform/profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace {

bool Write(const std::filesystem::path& file, const wchar_t* section, const wchar_t* key, const wchar_t* value) {
  return platform::WriteProfileString(section, key, value, file.wstring().c_str());
}

std::wstring Read(const std::filesystem::path& file, const wchar_t* section, const wchar_t* key) {
  wchar_t buffer[64] = {};
  platform::GetProfileString(section, key, L"", buffer, 64, file.wstring().c_str());
  return buffer;
}

struct WriteCase {
  const char* name;
  std::string before;
  std::string after;
  friend void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }
};

class WriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteTest, ChangesOnlyTheOneValue) {
  TempDir dir;
  dir.Write("update.cfg", GetParam().before);
  EXPECT_TRUE(Write(dir / "update.cfg", L"VERSION", L"LOCAL_VERSION", L"1.2.0"));
  EXPECT_EQ(dir.Read("update.cfg"), GetParam().after);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no file left beside it";
  EXPECT_EQ(Read(dir / "update.cfg", L"version", L"local_version"), L"1.2.0");
}

INSTANTIATE_TEST_SUITE_P(
    Files, WriteTest,
    ::testing::Values(
        WriteCase{"ReplaceKeepsEveryOtherByte",
                  "; comment\r\n[SERVER]\r\nMSG_SERVER_HOST=h\r\n\r\n[VERSION]\r\nLOCAL_VERSION = 1.0  \r\nX=1\r\n",
                  "; comment\r\n[SERVER]\r\nMSG_SERVER_HOST=h\r\n\r\n[VERSION]\r\nLOCAL_VERSION =1.2.0\r\nX=1\r\n"},
        WriteCase{"KeyInLowerCase", "[version]\nlocal_version=1.0\n", "[version]\nlocal_version=1.2.0\n"},
        WriteCase{"KeyAddedAtTheEndOfItsSection", "[VERSION]\nX=1\n\n[SERVER]\nA=b\n",
                  "[VERSION]\nX=1\nLOCAL_VERSION=1.2.0\n\n[SERVER]\nA=b\n"},
        WriteCase{"SectionAddedWithTheFilesLineEnds", "[SERVER]\r\nA=b", "[SERVER]\r\nA=b\r\n[VERSION]\r\nLOCAL_VERSION=1.2.0\r\n"},
        WriteCase{"EmptyFile", "", "[VERSION]\nLOCAL_VERSION=1.2.0\n"},
        WriteCase{"BomKept", "\xEF\xBB\xBF[VERSION]\nLOCAL_VERSION=1\n", "\xEF\xBB\xBF[VERSION]\nLOCAL_VERSION=1.2.0\n"},
        WriteCase{"FirstOfTwoSections", "[VERSION]\nLOCAL_VERSION=1\n[VERSION]\nLOCAL_VERSION=2\n",
                  "[VERSION]\nLOCAL_VERSION=1.2.0\n[VERSION]\nLOCAL_VERSION=2\n"}),
    [](const auto& info) { return std::string(info.param.name); });


TEST(Profile, FailedWriteLeavesTheOldFileWhole) {
  TempDir dir;
  const std::string plain = "[VERSION]\nLOCAL_VERSION=1.0\n";
  const auto file = dir.Write("update.cfg", plain);
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  // Something already stands where the new file would be written.
  const std::string temp = file.string() + ".tmp." + std::to_string(::getpid());
  std::filesystem::create_directory(temp);
  EXPECT_FALSE(Write(file, L"VERSION", L"LOCAL_VERSION", L"1.2.0"));
  EXPECT_EQ(dir.Read("update.cfg"), plain);
  std::filesystem::remove(temp);
  // A successful write keeps the file's permissions.
  EXPECT_TRUE(Write(file, L"VERSION", L"LOCAL_VERSION", L"1.2.0"));
  EXPECT_EQ(std::filesystem::status(file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
}


TEST(Profile, WriteCreatesAMissingFile) {
  TempDir dir;
  EXPECT_TRUE(Write(dir / "update.cfg", L"VERSION", L"LOCAL_VERSION", L"2.0"));
  EXPECT_EQ(dir.Read("update.cfg"), "[VERSION]\nLOCAL_VERSION=2.0\n");
}

TEST(Profile, WriteRefusesWhatWouldBreakTheFile) {
  TempDir dir;
  const std::string plain = "[VERSION]\nLOCAL_VERSION=1.0\n";
  const auto file = dir.Write("update.cfg", plain);
  EXPECT_FALSE(Write(file, L"VERSION", L"LOCAL_VERSION", L"1\n[SERVER]\nMSG_SERVER_HOST=evil"));
  EXPECT_FALSE(Write(file, L"VERSION", L"A=B", L"1"));
  EXPECT_FALSE(Write(file, L"VER]SION", L"A", L"1"));
  EXPECT_FALSE(Write(file, L"VERSION", nullptr, L"1"));
  EXPECT_FALSE(Write(dir.Path(), L"VERSION", L"A", L"1")) << "a folder is not a file";
  EXPECT_EQ(dir.Read("update.cfg"), plain);
}

TEST(Profile, ReadGivesTheDefaultAndHonoursSmallBuffers) {
  TempDir dir;
  const auto file = dir.Write("update.cfg", "[S]\nKEY=abcdef\nK2=x\n");
  wchar_t buffer[8];
  EXPECT_EQ(platform::GetProfileString(L"S", L"NONE", L"dflt", buffer, 8, file.wstring().c_str()), 4u);
  EXPECT_EQ(std::wstring(buffer), L"dflt");
  EXPECT_EQ(platform::GetProfileString(L"S", L"KEY", L"", buffer, 4, file.wstring().c_str()), 3u);
  EXPECT_EQ(std::wstring(buffer), L"abc");
  wchar_t list[6];
  EXPECT_EQ(platform::GetProfileString(L"S", nullptr, L"", list, 6, file.wstring().c_str()), 4u);
  EXPECT_EQ(std::wstring(list, 6), std::wstring(L"KEY\0\0\0", 6));
  EXPECT_EQ(platform::GetProfileString(L"S", nullptr, L"", list, 6, (dir / "none").wstring().c_str()), 0u);
  EXPECT_EQ(platform::GetProfileString(L"S", L"KEY", L"", buffer, 0, file.wstring().c_str()), 0u);
}

}  // namespace
