// The archive reader on archives written by the test.
#include "install/archive_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "install/fault_seam.h"
#include "platform/files.h"
#include "support/temp_dir.h"
#include "zip_builder.h"

namespace fs = std::filesystem;
using namespace install;
using namespace ziptest;

namespace {

// File time of a UTC calendar moment, worked out apart from the code under test.
uint64_t FileTimeOf(std::chrono::sys_seconds t) {
  using namespace std::chrono;
  const auto since1601 = t - sys_days{year{1601} / January / 1};
  return static_cast<uint64_t>(duration_cast<seconds>(since1601).count()) * 10000000u;
}

uint64_t FileTimeOfUnix(uint32_t seconds) {
  return FileTimeOf(std::chrono::sys_seconds{std::chrono::seconds{seconds}});
}

const uint64_t kDosFileTime = FileTimeOf(std::chrono::sys_days{std::chrono::year{2021} / 3 / 4} +
                                         std::chrono::hours{5} + std::chrono::minutes{6} + std::chrono::seconds{8});

struct stat StatOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st;
}

class ArchiveReaderTest : public ::testing::Test {
 protected:
  ArchiveReaderTest() : m_dir(true) {}
  ~ArchiveReaderTest() override { fault::Reset(); }

  // Writes the archive and opens it.
  void Open(const std::vector<Item>& items) {
    WriteZip(m_dir / "pkg.zip", items);
    ASSERT_TRUE(m_reader.OpenArchive((m_dir / "pkg.zip").wstring()));
  }

  TempDir m_dir;
  ArchiveReader m_reader;
};

TEST_F(ArchiveReaderTest, StoredAndDeflatedEntriesComeOutByteForByte) {
  const std::vector<Item> items = {
      File("empty-stored", "", 0644, 0),
      File("empty-deflated", ""),
      File("small-stored", "hello", 0644, 0),
      File("three-chunks-stored", RandomBytes(2 * kArchiveChunk + 77, 1), 0644, 0),
      File("text-deflated", TextBytes(300000)),
      File("random-deflated", RandomBytes(1 << 20, 2)),
      File("exactly-one-chunk", TextBytes(kArchiveChunk)),
  };
  Open(items);
  ZipEntryInfo overall;
  ASSERT_EQ(m_reader.GetEntryInfo(-1, overall), 0);
  EXPECT_EQ(overall.index, static_cast<int>(items.size()));
  EXPECT_TRUE(overall.name.empty());
  EXPECT_EQ(overall.attributes, 0u);

  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(items[i].name);
    ZipEntryInfo info;
    ASSERT_EQ(m_reader.GetEntryInfo(static_cast<int>(i), info), 0);
    EXPECT_EQ(info.index, static_cast<int>(i));
    EXPECT_EQ(info.name, fs::path(items[i].name).wstring());
    EXPECT_EQ(info.uncompressedSize, items[i].data.size());
    ASSERT_EQ(m_reader.ExtractEntry(static_cast<int>(i), info.name), 0);
    EXPECT_EQ(m_dir.Read(items[i].name), items[i].data);
  }
}

TEST_F(ArchiveReaderTest, AttributesFollowTheExternalAttributes) {
  struct Case {
    const char* what;
    Item item;
    uint32_t attributes;
  };
  const std::vector<Case> cases = {
      {"unix file, owner may write", File("f1", "x", 0644), 0x80},
      {"unix file without owner write", File("f2", "x", 0444), 0x81},
      {"unix folder from a Unix tool", Dir("d1/", 0755), 0x90},
      {"unix folder, DOS bit missing", [] { Item i = Dir("d2/"); i.external &= ~0x10u; return i; }(), 0x90},
      {"unix folder without owner write", Dir("d3/", 0555), 0x91},
      {"no Unix mode: always read-only", DosItem("f3", "x", 0), 0x81},
      {"DOS folder", DosItem("d4/", "", 0x10), 0x91},
      {"DOS archive bit", DosItem("f4", "x", 0x20), 0xA1},
      {"every DOS bit with a Unix mode",
       [] { Item i = File("f5", "x", 0644); i.external |= 0x27; return i; }(), 0xA7},
  };
  std::vector<Item> items;
  for (const Case& c : cases) items.push_back(c.item);
  Open(items);
  for (size_t i = 0; i < cases.size(); ++i) {
    ZipEntryInfo info;
    ASSERT_EQ(m_reader.GetEntryInfo(static_cast<int>(i), info), 0);
    EXPECT_EQ(info.attributes, cases[i].attributes) << cases[i].what;
  }
}

TEST_F(ArchiveReaderTest, PermissionsOfUnpackedFilesFollowTheEntry) {
  struct Case {
    Item item;
    mode_t mode;
  };
  const mode_t umask = ::umask(022);
  ::umask(umask);
  const std::vector<Case> cases = {
      {File("tool.sh", "#!/bin/sh\n", 0755), 0755},  // a program stays runnable
      {File("owner-only", "x", 0700), 0700},
      {File("read-only", "x", 0444), 0444},
      {File("setuid", "x", 04755), 0755},                // no set-id bits from a package
      {DosItem("from-windows", "x", 0), 0444 & ~umask},  // read-only: no write bit for anyone
  };
  std::vector<Item> items;
  for (const Case& c : cases) items.push_back(c.item);
  Open(items);
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string& name = items[i].name;
    ASSERT_EQ(m_reader.ExtractEntry(static_cast<int>(i), fs::path(name).wstring()), 0) << name;
    EXPECT_EQ(StatOf(m_dir / name).st_mode & 07777, cases[i].mode) << name;
  }
}

TEST_F(ArchiveReaderTest, TimesComeFromTheDosTimeUnshiftedAndTheTimestampBlock) {
  Item dosOnly = File("dos-only", "a");
  Item modOnly = File("mod-only", "b");
  modOnly.localExtra = TimestampBlock(0x01, {1600000000});
  Item allThree = File("all-three", "c");
  // Another block before it must be walked over.
  allThree.localExtra = std::string("\x01\x00\x04\x00wxyz", 8) + TimestampBlock(0x07, {1600000000, 1500000000, 1400000000});
  Item cutShort = File("cut-short", "d");
  cutShort.localExtra = TimestampBlock(0x03, {1600000000});  // announces an access time it does not hold
  Open({dosOnly, modOnly, allThree, cutShort});

  struct Expected {
    uint64_t modification, access, creation;
  };
  const Expected expected[] = {
      {kDosFileTime, kDosFileTime, kDosFileTime},
      {FileTimeOfUnix(1600000000), kDosFileTime, kDosFileTime},
      {FileTimeOfUnix(1600000000), FileTimeOfUnix(1500000000), FileTimeOfUnix(1400000000)},
      {FileTimeOfUnix(1600000000), kDosFileTime, kDosFileTime},
  };
  for (int i = 0; i < 4; ++i) {
    ZipEntryInfo info;
    ASSERT_EQ(m_reader.GetEntryInfo(i, info), 0);
    SCOPED_TRACE(fs::path(info.name).string());
    EXPECT_EQ(info.modificationTime, expected[i].modification);
    EXPECT_EQ(info.accessTime, expected[i].access);
    EXPECT_EQ(info.creationTime, expected[i].creation);
    ASSERT_EQ(m_reader.ExtractEntry(i, info.name), 0);
    const struct stat st = StatOf(m_dir.Path() / info.name);
    EXPECT_EQ(FileTimeOfUnix(static_cast<uint32_t>(st.st_mtim.tv_sec)), expected[i].modification);
    EXPECT_EQ(FileTimeOfUnix(static_cast<uint32_t>(st.st_atim.tv_sec)), expected[i].access);
  }
}

TEST_F(ArchiveReaderTest, EntriesCanBeVisitedAgainFromTheStart) {
  Open({File("a", "1"), File("b", "2"), File("c", "3")});
  ZipEntryInfo info;
  ASSERT_EQ(m_reader.GetEntryInfo(2, info), 0);
  EXPECT_EQ(info.name, L"c");
  ASSERT_EQ(m_reader.GetEntryInfo(0, info), 0);
  EXPECT_EQ(info.name, L"a");
  ASSERT_EQ(m_reader.ExtractEntry(1, L"b"), 0);  // without asking first
  EXPECT_EQ(m_dir.Read("b"), "2");
  EXPECT_EQ(m_reader.GetEntryInfo(3, info), kArchiveBadIndex);
  EXPECT_EQ(m_reader.GetEntryInfo(-2, info), kArchiveBadIndex);
  EXPECT_EQ(m_reader.ExtractEntry(3, L"x"), kArchiveBadIndex);
}

TEST_F(ArchiveReaderTest, DirectoryEntryMakesOneFolderBelowTheRoot) {
  Open({DosItem("made/", "", 0x10), DosItem("missing/parent/", "", 0x10), DosItem("", "", 0x10)});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(m_reader.ExtractEntry(i, L"ignored"), 0);
  EXPECT_TRUE(fs::is_directory(m_dir / "made"));
  EXPECT_FALSE(fs::exists(m_dir / "missing"));  // single folders only
  EXPECT_FALSE(fs::exists(m_dir / "ignored"));
}

TEST_F(ArchiveReaderTest, ReplacesAnExistingReadOnlyFile) {
  m_dir.Write("old", "old content that is longer");
  fs::permissions(m_dir / "old", fs::perms::owner_read);
  Open({File("old", "new")});
  ASSERT_EQ(m_reader.ExtractEntry(0, L"old"), 0);
  EXPECT_EQ(m_dir.Read("old"), "new");
}

TEST_F(ArchiveReaderTest, DataThatDoesNotMatchItsRecordFails) {
  const std::string text = TextBytes(50000);
  Item wrongCrcStored = File("crc-stored", text, 0644, 0);
  wrongCrcStored.raw = true;
  wrongCrcStored.crc = Crc(text) ^ 1;
  wrongCrcStored.size = text.size();
  Item wrongCrcDeflated = wrongCrcStored;
  wrongCrcDeflated.name = "crc-deflated";
  wrongCrcDeflated.method = Z_DEFLATED;
  wrongCrcDeflated.data = Deflate(text);
  Item tooShort = wrongCrcDeflated;  // the stream ends before the stored size
  tooShort.name = "too-short";
  tooShort.crc = Crc(text);
  tooShort.size = text.size() + 1000;
  Item garbage = wrongCrcDeflated;  // not a deflate stream at all
  garbage.name = "garbage";
  garbage.data = std::string(200, '\xff');
  Open({wrongCrcStored, wrongCrcDeflated, tooShort, garbage});
  for (int i = 0; i < 4; ++i) {
    ZipEntryInfo info;
    ASSERT_EQ(m_reader.GetEntryInfo(i, info), 0);
    EXPECT_EQ(m_reader.ExtractEntry(i, info.name), kArchiveDataError) << fs::path(info.name);
    EXPECT_TRUE(fs::exists(m_dir.Path() / info.name));  // the partly written file stays
  }
}

TEST_F(ArchiveReaderTest, OtherMethodsAndLocalHeaderDisagreementAreCorrupt) {
  const fs::path zip = m_dir / "pkg.zip";
  WriteZip(zip, {File("fine", "x"), File("bzip", "pretend", 0644, 0), File("second", "y"), File("local", "z")});
  PatchEntry(zip, "bzip", kLocalMethod, kCentralMethod, 12);
  PatchEntry(zip, "second", kLocalMethod, -1, 0);  // deflated in the central record only
  PatchEntry(zip, "local", kLocalCrc, -1, 0x1234);

  ASSERT_TRUE(m_reader.OpenArchive(zip.wstring()));
  ZipEntryInfo info;
  EXPECT_EQ(m_reader.GetEntryInfo(0, info), 0);
  EXPECT_EQ(m_reader.GetEntryInfo(1, info), kArchiveCorrupt);
  EXPECT_EQ(m_reader.ExtractEntry(1, L"bzip"), kArchiveCorrupt);
  EXPECT_EQ(m_reader.GetEntryInfo(2, info), kArchiveCorrupt);
  EXPECT_EQ(m_reader.GetEntryInfo(3, info), kArchiveCorrupt);
  EXPECT_FALSE(fs::exists(m_dir / "bzip"));
  EXPECT_EQ(m_reader.ExtractEntry(0, L"fine"), 0);  // the reader goes on working
}

TEST_F(ArchiveReaderTest, FilesThatAreNoArchiveDoNotOpen) {
  WriteZip(m_dir / "good.zip", {File("a", TextBytes(100000)), File("b", RandomBytes(100000, 3))});
  const std::string good = ReadBytes(m_dir / "good.zip");
  WriteBytes(m_dir / "truncated.zip", good.substr(0, good.size() / 2));
  WriteBytes(m_dir / "text.zip", "this is not a zip archive\n");
  WriteBytes(m_dir / "empty.zip", "");
  for (const char* name : {"missing.zip", "truncated.zip", "text.zip", "empty.zip"})
    EXPECT_FALSE(m_reader.OpenArchive((m_dir / name).wstring())) << name;
  EXPECT_FALSE(m_reader.OpenArchive(L""));
  EXPECT_FALSE(m_reader.IsOpen());
}

TEST_F(ArchiveReaderTest, InjectedFailuresEndTheEntryWithADataError) {
  const std::string data = RandomBytes(3 * kArchiveChunk, 4);
  Open({File("read", data, 0644, 0), File("write", data, 0644, 0)});
  fault::FailAt(fault::Point::kArchiveRead, 2);
  EXPECT_EQ(m_reader.ExtractEntry(0, L"read"), kArchiveDataError);
  EXPECT_EQ(m_dir.Read("read"), data.substr(0, kArchiveChunk));  // the first chunk was written
  fault::FailAt(fault::Point::kFileWrite, 1);
  EXPECT_EQ(m_reader.ExtractEntry(1, L"write"), kArchiveDataError);
  EXPECT_EQ(m_dir.Read("write"), "");
  // Once spent, the seam changes nothing.
  EXPECT_EQ(m_reader.ExtractEntry(0, L"read"), 0);
  EXPECT_EQ(m_dir.Read("read"), data);
}

TEST_F(ArchiveReaderTest, OutputThatCannotBeCreatedFails) {
  fs::create_directories(m_dir / "taken" / "inside");
  Open({File("taken", "x"), File("no/such/folder", "y")});
  EXPECT_EQ(m_reader.ExtractEntry(0, L"taken"), kArchiveCannotCreate);
  EXPECT_EQ(m_reader.ExtractEntry(1, L"no/such/folder"), kArchiveCannotCreate);
  EXPECT_TRUE(fs::is_directory(m_dir / "taken" / "inside"));
}

}  // namespace
