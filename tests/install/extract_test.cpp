// The version folder and the unpacking of whole packages, on real archives -
// written by the zip tool where a realistic package matters, by the archive
// library's writer where a field must be chosen.
#include "install/extract.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "install/archive_reader.h"
#include "install/dir_tree.h"
#include "install/fault_seam.h"
#include "support/temp_dir.h"
#include "zip_builder.h"

namespace fs = std::filesystem;
using namespace install;
using namespace ziptest;

namespace {

std::wstring W(const fs::path& p) { return p.wstring(); }

// Everything below `root`, as relative paths.
std::vector<std::string> Listing(const fs::path& root) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root)) names.push_back(fs::relative(e.path(), root).string());
  std::sort(names.begin(), names.end());
  return names;
}

class ExtractTest : public ::testing::Test {
 protected:
  ~ExtractTest() override { fault::Reset(); }

  // UnzipToFolder, checking that the current directory is the same afterwards.
  int Unzip(const fs::path& archive, const fs::path& folder) {
    const fs::path before = fs::current_path();
    const int rc = UnzipToFolder(W(archive), W(folder));
    EXPECT_EQ(fs::current_path(), before);
    return rc;
  }

  TempDir m_dir;
  const fs::path m_zip = m_dir / "pkg.zip";
  const fs::path m_target = m_dir / "download" / "1.2.0";
};

TEST(PathPrefixes, ListsEachLevelAboveTheName) {
  using V = std::vector<std::wstring>;
  EXPECT_EQ(PathPrefixes(L"a\\b\\f.txt", L"\\"), (V{L"a", L"a\\b"}));
  EXPECT_EQ(PathPrefixes(L"\\a\\f.txt", L"\\"), (V{L"\\a"}));
  EXPECT_EQ(PathPrefixes(L"a\\\\b\\f.txt", L"\\"), (V{L"a", L"a\\\\b"}));
  EXPECT_EQ(PathPrefixes(L"f.txt", L"\\"), V{});
  EXPECT_EQ(PathPrefixes(L"a/b/", L"/"), (V{L"a", L"a/b"}));
}

TEST(SlashToBackslash, TurnsBothSlashesIntoTheNativeSeparator) {
  std::wstring path = L"a/b\\c/";
  SlashToBackslash(path);
  EXPECT_EQ(path, L"a/b/c/");
}

TEST_F(ExtractTest, CreateDirTreeMakesAbsolutePathsAndRefusesRelativeOnes) {
  const TempDir inside(true);
  inside.Write("file.txt", "x");
  EXPECT_EQ(CreateDirTree(L"rel/a"), 0);
  EXPECT_FALSE(fs::exists(inside / "rel"));
  EXPECT_EQ(CreateDirTree(L"file.txt"), 1);  // anything that exists is accepted
  EXPECT_EQ(CreateDirTree(W(inside / "x/y/z")), 1);
  EXPECT_TRUE(fs::is_directory(inside / "x/y/z"));
  EXPECT_EQ(CreateDirTree(W(inside / "x/y/z")), 1);
  const fs::path level(std::string(100, 'n'));
  EXPECT_EQ(CreateDirTree(W(inside / level / level / level)), 0);
  EXPECT_FALSE(fs::exists(inside / level));
  EXPECT_TRUE(IsDirectory(W(inside / "x")));
  EXPECT_FALSE(IsDirectory(W(inside / "file.txt")));
  EXPECT_FALSE(IsDirectory(W(inside / "missing")));
}

TEST_F(ExtractTest, CreateParentDirsMakesTheFoldersAboveAnEntry) {
  EXPECT_EQ(CreateParentDirs(W(m_dir.Path()), L"a/b/f.txt"), 1);
  EXPECT_EQ(CreateParentDirs(W(m_dir.Path()), L"c\\d\\f.txt"), 1);
  EXPECT_EQ(Listing(m_dir.Path()), (std::vector<std::string>{"a", "a/b", "c", "c/d"}));
}

TEST(PrepareDownloadDir, MakesTheVersionFolderAndThePackagePath) {
  const TempDir dir(true);
  const std::wstring cwd = W(fs::current_path());
  std::wstring package = L"pkg.zip", folder;
  ASSERT_TRUE(PrepareDownloadDir(L"download", L"1.2.0", package, folder));
  EXPECT_EQ(folder, cwd + L"/download/1.2.0");
  EXPECT_EQ(package, cwd + L"/download/1.2.0/pkg.zip");
  EXPECT_TRUE(fs::is_directory(dir / "download/1.2.0"));

  package = L"pkg.zip";  // an empty version: the download folder itself
  ASSERT_TRUE(PrepareDownloadDir(L"download", L"", package, folder));
  EXPECT_EQ(folder, cwd + L"/download/");
}

TEST(PrepareDownloadDir, RefusesNamesThatLeaveTheDownloadFolder) {
  const TempDir dir(true);
  struct Case {
    std::wstring version, package;
  };
  for (const Case& c : {Case{L"../evil", L"pkg.zip"}, Case{L"..", L"pkg.zip"}, Case{L"1.2/evil", L"pkg.zip"},
                        Case{L"1.2\\..\\..\\evil", L"pkg.zip"}, Case{L"1.2.0", L"../evil.zip"},
                        Case{L"1.2.0", L"..\\evil.zip"}}) {
    std::wstring package = c.package, folder = L"unchanged";
    EXPECT_FALSE(PrepareDownloadDir(L"download", c.version, package, folder)) << fs::path(c.version);
    EXPECT_EQ(package, c.package);
  }
  EXPECT_FALSE(fs::exists(dir / "download"));
  EXPECT_FALSE(fs::exists(dir.Path().parent_path() / "evil"));
}

// Packages as the zip tool makes them: with and without folder entries, and
// written as a stream (sizes and CRC after the data).
TEST_F(ExtractTest, UnpacksPackagesOfTheZipTool) {
  const fs::path src = m_dir / "src";
  m_dir.Write("src/bin/tool.sh", "#!/bin/sh\necho hi\n");
  m_dir.Write("src/docs/readme.txt", TextBytes(200000));
  m_dir.Write("src/docs/deep/a/b.txt", "deep");
  m_dir.Write("src/data.bin", RandomBytes(100000, 7));
  m_dir.Write("src/ro.txt", "read only");
  m_dir.Write("src/empty", "");
  fs::permissions(src / "bin/tool.sh", fs::perms(0755));
  fs::permissions(src / "ro.txt", fs::perms(0444));
  fs::last_write_time(src / "docs/readme.txt", fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));

  for (const char* command : {"zip -q -r ../pkg.zip .", "zip -q -r -D ../pkg.zip .", "zip -q -r - . > ../pkg.zip"}) {
    SCOPED_TRACE(command);
    fs::remove_all(m_dir / "download");
    fs::remove(m_zip);
    ASSERT_EQ(std::system(("cd '" + src.string() + "' && " + command).c_str()), 0);
    ASSERT_EQ(Unzip(m_zip, m_target), 0);
    for (const auto& e : fs::recursive_directory_iterator(src)) {
      const fs::path rel = fs::relative(e.path(), src), out = m_target / rel;
      SCOPED_TRACE(rel.string());
      ASSERT_EQ(fs::is_directory(out), e.is_directory());
      if (e.is_directory()) continue;
      EXPECT_EQ(ReadBytes(out), ReadBytes(e.path()));
      struct stat a {}, b {};
      ::stat(e.path().c_str(), &a);
      ::stat(out.c_str(), &b);
      EXPECT_EQ(b.st_mode & 0777, a.st_mode & 0777);
      EXPECT_EQ(b.st_mtim.tv_sec, a.st_mtim.tv_sec);
    }
  }
}

TEST_F(ExtractTest, MakesFoldersListedOrNot) {
  WriteZip(m_zip, {
                      Dir("plain/with/levels/"),            // made with every level
                      DosItem("win/", "", 0x10),            // not plain: one folder each
                      DosItem("win/sub/", "", 0x10),
                      DosItem("win/sub/f.txt", "w", 0x20),  // read-only: no Unix mode
                      File("not/listed/f.txt", "n"),
                  });
  ASSERT_EQ(Unzip(m_zip, m_target), 0);
  EXPECT_TRUE(fs::is_directory(m_target / "plain/with/levels"));
  EXPECT_TRUE(fs::is_directory(m_target / "win/sub"));
  EXPECT_EQ(ReadBytes(m_target / "win/sub/f.txt"), "w");
  EXPECT_EQ(fs::status(m_target / "win/sub/f.txt").permissions() & fs::perms::all & ~fs::perms::others_all &
                ~fs::perms::group_all,
            fs::perms::owner_read);
  EXPECT_EQ(ReadBytes(m_target / "not/listed/f.txt"), "n");
}

TEST_F(ExtractTest, UnpackingAgainReplacesEveryFile) {
  WriteZip(m_zip, {File("ro", "one", 0444), DosItem("win", "one", 0), File("dir/f", "one")});
  ASSERT_EQ(Unzip(m_zip, m_target), 0);
  WriteZip(m_zip, {File("ro", "two", 0444), DosItem("win", "two", 0), File("dir/f", "two")});
  ASSERT_EQ(Unzip(m_zip, m_target), 0);
  for (const char* name : {"ro", "win", "dir/f"}) EXPECT_EQ(ReadBytes(m_target / name), "two") << name;
}

TEST_F(ExtractTest, RoutineFailuresGiveMinusOneAndTouchNothing) {
  WriteZip(m_zip, {});  // no entries
  m_dir.Write("text.zip", "not an archive");
  EXPECT_EQ(Unzip(m_zip, m_target), -1);
  EXPECT_EQ(Unzip(m_dir / "missing.zip", m_target), -1);
  EXPECT_EQ(Unzip(m_dir / "text.zip", m_target), -1);
  EXPECT_EQ(Unzip("", m_target), -1);
  EXPECT_EQ(Unzip(m_zip, ""), -1);
  EXPECT_EQ(Unzip(m_zip, "relative/folder"), -1);
  EXPECT_FALSE(fs::exists("relative"));
  EXPECT_TRUE(Listing(m_target).empty());
}

// A package with any entry that could reach outside the version folder, or
// be a link, is refused before its first entry is written.
TEST_F(ExtractTest, RefusesUnsafePackagesWhole) {
  Item link = File("link", "/etc/passwd");
  link.external = (kUnixLink | 0777) << 16;
  const std::string outside = (m_dir / "outside/x").string();
  const std::vector<Item> bad = {
      File("../x", "evil"),       File("a/../../x", "evil"), File("..\\x", "evil"),
      File("a\\..\\..\\x", "e"),  File(outside, "evil"),     File("\\x", "evil"),
      File("C:/x", "evil"),       File("C:x", "evil"),       Dir("../d/"),
      File("ok/..", "evil"),      link,                      File(std::string(300, 'n'), "long"),
  };
  for (const Item& item : bad) {
    SCOPED_TRACE(item.name);
    WriteZip(m_zip, {File("good.txt", "x"), Dir("dir/"), item});
    EXPECT_NE(Unzip(m_zip, m_target), 0);
    EXPECT_TRUE(Listing(m_target).empty());
    EXPECT_EQ(Listing(m_dir.Path()), (std::vector<std::string>{"download", "download/1.2.0", "pkg.zip"}));
  }
}

TEST_F(ExtractTest, StopsAtTheFirstFailingEntryAndPassesItsCodeOn) {
  WriteZip(m_zip, {File("a.txt", "a"), File("bzip", "b", 0644, 0), File("c.txt", "c")});
  PatchEntry(m_zip, "bzip", kLocalMethod, kCentralMethod, 12);
  EXPECT_EQ(Unzip(m_zip, m_target), kArchiveCorrupt);
  EXPECT_EQ(Listing(m_target), (std::vector<std::string>{"a.txt"}));

  WriteZip(m_zip, {File("a.txt", "a"), File("b.txt", TextBytes(100000)), File("c.txt", "c")});
  fault::FailAt(fault::Point::kFileWrite, 2);
  EXPECT_EQ(Unzip(m_zip, m_target), kArchiveDataError);
  EXPECT_FALSE(fs::exists(m_target / "c.txt"));

  fs::create_directories(m_target / "c.txt/blocker");  // a folder where a file must go
  EXPECT_EQ(Unzip(m_zip, m_target), kArchiveCannotCreate);
}

}  // namespace
