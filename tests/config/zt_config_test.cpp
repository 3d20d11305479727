// The configuration store on real files, through the platform's profile
// reader and writer.
#include "config/zt_config.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text.h"
#include "support/temp_dir.h"

namespace {

std::wstring W(const std::filesystem::path& p) { return p.wstring(); }

struct SectionCase {
  const char* name;
  std::string file;
  int sectionResult;
  std::vector<std::pair<std::wstring, std::wstring>> pairs;  // the SERVER section as read
  friend void PrintTo(const SectionCase& c, std::ostream* os) { *os << c.name; }
};

class SectionTest : public ::testing::TestWithParam<SectionCase> {};

TEST_P(SectionTest, ReadsTheServerSection) {
  TempDir dir;
  const auto file = dir.Write("update.cfg", GetParam().file);
  CZtConfig config;
  ASSERT_EQ(config.Load(W(file)), 1);
  CZtSection section;
  EXPECT_EQ(config.GetSection(L"SERVER", section), GetParam().sectionResult);
  EXPECT_EQ(section.Values(), GetParam().pairs);
}

const std::string kPlain = "[SERVER]\nMSG_SERVER_HOST=updates.example:8080\nMSG_SERVER_SUFFIX=/norvane\n"
                           "[VERSION]\nLOCAL_VERSION=1.0\n";

INSTANTIATE_TEST_SUITE_P(
    Files, SectionTest,
    ::testing::Values(
        SectionCase{"Plain", kPlain, 1,
                    {{L"MSG_SERVER_HOST", L"updates.example:8080"}, {L"MSG_SERVER_SUFFIX", L"/norvane"}}},
        SectionCase{"BomCrLfBlanksAndComments",
                    "\xEF\xBB\xBF; settings\r\n\r\n[ server ]\r\n  MSG_SERVER_HOST = h \r\n; MSG_SERVER_SUFFIX=x\r\n"
                    "junk line\r\nMSG_SERVER_SUFFIX=\r\n",
                    1,
                    {{L"MSG_SERVER_HOST", L"h"}, {L"MSG_SERVER_SUFFIX", L""}}},
        SectionCase{"KeysKeepTheirSpelling", "[SERVER]\nmsg_server_host=h\n", 1, {{L"msg_server_host", L"h"}}},
        SectionCase{"RepeatedKeyOnceWithTheFirstValue", "[SERVER]\nA=1\nB=2\nA=3\n", 1, {{L"A", L"1"}, {L"B", L"2"}}},
        SectionCase{"QuotedValue", "[SERVER]\nA=\" spaced \"\n", 1, {{L"A", L" spaced "}}},
        // The file is in the narrow code page (UTF-8 on POSIX).
        SectionCase{"CodePageValue", "[SERVER]\nA=" + platform::WideToAnsi(L"更新") + "\n", 1, {{L"A", L"更新"}}},
        SectionCase{"OtherSectionsOnly", "[VERSION]\nLOCAL_VERSION=1\n[OTHER]\nX=1\n", 0, {}},
        SectionCase{"SectionWithoutKeys", "[SERVER]\n[VERSION]\nLOCAL_VERSION=1\n", 0, {}},
        SectionCase{"KeysBeforeAnyHeader", "MSG_SERVER_HOST=h\n", 0, {}},
        SectionCase{"EmptyFile", "", 0, {}},
        SectionCase{"BinaryGarbage", std::string("\x00\xff\x01[\x00]=\x80\n\x00\x00", 12), 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ZtConfig, ValuesAndKeyListsAreCutToTheirCapacities) {
  TempDir dir;
  const std::string longValue(1 << 20, 'v');  // a 1 MB line
  std::string file = "[SERVER]\nLONG=" + longValue + "\n";
  // 300 keys of 9 characters each need 3000 characters: more than the list holds.
  for (int i = 0; i < 300; ++i) file += "KEY" + std::to_string(100000 + i) + "=x\n";
  CZtConfig config;
  ASSERT_EQ(config.Load(W(dir.Write("update.cfg", file))), 1);
  CZtSection section;
  ASSERT_EQ(config.GetSection(L"SERVER", section), 1);
  std::wstring value;
  ASSERT_EQ(section.GetValue(L"LONG", value), 1);
  EXPECT_EQ(value, std::wstring(CZtConfig::VALUE_CAPACITY - 1, L'v'));
  // "LONG" and the keys that fitted in 2050 characters, then one cut short.
  const size_t whole = (CZtConfig::KEY_LIST_CAPACITY - 2 - 5) / 10;
  ASSERT_EQ(section.Values().size(), 1 + whole + 1);
  EXPECT_EQ(section.Values()[whole].first, L"KEY" + std::to_wstring(100000 + whole - 1));
  EXPECT_EQ(section.Values().back().first, L"KEY10");
}

TEST(ZtConfig, LoadNeedsAnExistingEntryAndAShortPath) {
  TempDir dir;
  CZtConfig config;
  EXPECT_EQ(config.Load(W(dir / "missing.cfg")), 0);
  std::filesystem::create_directory(dir / "update.cfg");
  EXPECT_EQ(config.Load(W(dir / "update.cfg")), 1) << "a folder of that name counts";
  CZtSection section;
  EXPECT_EQ(config.GetSection(L"SERVER", section), 0);

  const auto file = dir.Write("update.cfg2", kPlain);
  std::wstring longPath = W(dir.Path()) + L"/";
  while (longPath.size() < 260) longPath += L"./";
  longPath += L"update.cfg2";
  EXPECT_EQ(config.Load(longPath), 0);
  EXPECT_EQ(config.GetSection(L"SERVER", section), 0) << "a failed Load forgets the file";
  EXPECT_EQ(config.Load(W(file)), 1);
  EXPECT_EQ(config.GetSection(L"SERVER", section), 1);
}

TEST(ZtConfig, LoadTakesARelativePathUnchanged) {
  TempDir dir(/*enter=*/true);
  dir.Write("update.cfg", kPlain);
  CZtConfig config;
  ASSERT_EQ(config.Load(L"./update.cfg"), 1);
  CZtSection version;
  ASSERT_EQ(config.GetSection(L"VERSION", version), 1);
  std::wstring value;
  EXPECT_EQ(version.GetValue(L"LOCAL_VERSION", value), 1);
  EXPECT_EQ(value, L"1.0");
}

TEST(ZtSection, GetValueIsExactAndEmptiesTheOutput) {
  CZtSection section;
  section.Put(L"KEY", L"1");
  section.Put(L"KEY", L"2");
  std::wstring value = L"old";
  EXPECT_EQ(section.GetValue(L"key", value), 0);
  EXPECT_EQ(value, L"");
  EXPECT_EQ(section.GetValue(L"KEY", value), 1);
  EXPECT_EQ(value, L"2");
  EXPECT_EQ(section.Values().size(), 1u);
}

TEST(ZtConfig, WrittenVersionIsReadBackAndTheRestStays) {
  TempDir dir;
  const auto file = dir.Write("update.cfg", "; kept\n" + kPlain + "[OTHER]\nX=1\n");
  CZtConfig config;
  ASSERT_EQ(config.Load(W(file)), 1);
  EXPECT_NE(config.WriteValue(L"VERSION", L"LOCAL_VERSION", L"1.2.0"), 0);
  CZtSection server, version, other;
  ASSERT_EQ(config.GetSection(L"SERVER", server), 1);
  ASSERT_EQ(config.GetSection(L"VERSION", version), 1);
  ASSERT_EQ(config.GetSection(L"OTHER", other), 1);
  std::wstring value;
  EXPECT_EQ(version.GetValue(L"LOCAL_VERSION", value), 1);
  EXPECT_EQ(value, L"1.2.0");
  EXPECT_EQ(server.Values().size(), 2u);
  EXPECT_EQ(other.Values().size(), 1u);
  EXPECT_EQ(dir.Read("update.cfg").rfind("; kept", 0), 0u);
}

TEST(ZtConfig, WriteWithoutAFileFails) {
  TempDir dir(/*enter=*/true);
  CZtConfig config;
  EXPECT_EQ(config.Load(L"update.cfg"), 0);
  EXPECT_EQ(config.WriteValue(L"VERSION", L"LOCAL_VERSION", L"1.2.0"), 0);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
