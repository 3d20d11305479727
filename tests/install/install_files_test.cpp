// Installing a version folder over a program folder, in real folders, with
// real and injected failures.
#include "install/install_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "install/copy_tree.h"
#include "install/fault_seam.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace install;

namespace {

std::wstring W(const fs::path& p) { return p.wstring(); }

// Type and permissions of everything below `root` except its "download"
// folder, and time and content of its files: what a user of the program folder
// would notice. (A folder's own time tells only that entries came and went.)
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> state;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path rel = fs::relative(it->path(), root);
    if (rel == "download") {
      it.disable_recursion_pending();
      continue;
    }
    struct stat st {};
    ::lstat(it->path().c_str(), &st);
    std::string& s = state[rel.string()];
    s = std::to_string(st.st_mode);
    if (S_ISREG(st.st_mode)) {
      s += " " + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
      std::ifstream in(it->path(), std::ios::binary);
      s += " " + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  return state;
}

// Temporary files of the atomic replacement anywhere below `root`.
std::vector<std::string> Leftovers(const fs::path& root) {
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.path().filename().string().rfind(".updater-", 0) == 0) found.push_back(e.path().string());
  return found;
}

// A program folder with an installed version and, below download/1.2.0, the
// unpacked new version. The current directory is the program folder.
class InstallTest : public ::testing::Test {
 protected:
  InstallTest() : m_prog(true) {
    m_prog.Write("app.bin", "old app");
    fs::permissions(m_prog / "app.bin", fs::perms(0444));  // read-only
    m_prog.Write("keep.txt", "not in the package");
    m_prog.Write("sub/old.txt", "old sub");
    fs::create_directories(m_prog / "sub/deeper");

    m_prog.Write("download/1.2.0/pkg.zip", "the package file");
    m_prog.Write("download/1.2.0/app.bin", "new app");
    fs::permissions(m_version / "app.bin", fs::perms(0755));
    fs::last_write_time(m_version / "app.bin", fs::file_time_type::clock::now() - std::chrono::hours(24 * 900));
    m_prog.Write("download/1.2.0/.env", "SETTING=1");
    m_prog.Write("download/1.2.0/.cache/junk", "junk");
    m_prog.Write("download/1.2.0/sub/old.txt", "new sub");
    m_prog.Write("download/1.2.0/sub/new.txt", "new");
    m_prog.Write("download/1.2.0/sub/deeper/f.txt", "f");
    m_prog.Write("download/1.2.0/newdir/x.txt", "x");
    m_prog.Write("download/1.2.0/newdir/inner/y.txt", "y");
  }
  ~InstallTest() override { fault::Reset(); }

  // Every file the installation copies.
  static constexpr int kCopies = 8;
  // Every program file it replaces.
  static constexpr int kReplaced = 2;

  TempDir m_prog;
  const fs::path m_version = m_prog / "download" / "1.2.0";
  const fs::path m_backup = m_prog / "download" / "1.2.0.backup-1";
};

TEST_F(InstallTest, CopiesTheVersionFolderOverTheProgramFolder) {
  ASSERT_EQ(InstallFiles(W(m_version)), 0);
  EXPECT_EQ(m_prog.Read("app.bin"), "new app");
  EXPECT_EQ(m_prog.Read("sub/old.txt"), "new sub");
  EXPECT_EQ(m_prog.Read("sub/new.txt"), "new");
  EXPECT_EQ(m_prog.Read("sub/deeper/f.txt"), "f");
  EXPECT_EQ(m_prog.Read("newdir/inner/y.txt"), "y");
  EXPECT_EQ(m_prog.Read("pkg.zip"), "the package file");
  EXPECT_EQ(m_prog.Read(".env"), "SETTING=1");
  EXPECT_FALSE(fs::exists(m_prog / ".cache"));
  EXPECT_EQ(m_prog.Read("keep.txt"), "not in the package");
  EXPECT_EQ(m_prog.Read("download/1.2.0/app.bin"), "new app");  // the version folder keeps its content

  // Permissions and times come with the file.
  struct stat src {}, dst {};
  ::stat((m_version / "app.bin").c_str(), &src);
  ::stat((m_prog / "app.bin").c_str(), &dst);
  EXPECT_EQ(dst.st_mode & 07777, 0755u);
  EXPECT_EQ(dst.st_mtim.tv_sec, src.st_mtim.tv_sec);
  EXPECT_EQ(dst.st_mtim.tv_nsec, src.st_mtim.tv_nsec);

  // The old content of what was replaced stays beside the version folder.
  EXPECT_EQ(m_prog.Read("download/1.2.0.backup-1/app.bin"), "old app");
  EXPECT_EQ(m_prog.Read("download/1.2.0.backup-1/sub/old.txt"), "old sub");
  EXPECT_EQ(fs::status(m_backup / "app.bin").permissions(), fs::perms(0444));
  EXPECT_FALSE(fs::exists(m_backup / "sub/new.txt"));
  EXPECT_TRUE(Leftovers(m_prog.Path()).empty());
}

TEST_F(InstallTest, ReplacesFilesWithoutWritingIntoTheOldOnes) {
  // Whoever still has the old file open, or linked, keeps reading the old
  // content: the new file is put in place whole, never written over the old.
  const int oldFd = ::open((m_prog / "sub/old.txt").c_str(), O_RDONLY);
  ASSERT_GE(oldFd, 0);
  ASSERT_EQ(InstallFiles(W(m_version)), 0);
  char buf[32] = {};
  EXPECT_EQ(::pread(oldFd, buf, sizeof buf, 0), 7);
  EXPECT_STREQ(buf, "old sub");
  ::close(oldFd);
}

TEST_F(InstallTest, AMissingSourceCountsAsEmpty) {
  const auto before = Snapshot(m_prog.Path());
  EXPECT_EQ(InstallFiles(W(m_prog / "download/9.9.9")), 0);
  EXPECT_EQ(CopyTree(W(m_prog.Path()), L""), 0);
  EXPECT_EQ(Snapshot(m_prog.Path()), before);
}

// Failures the OS itself produces, even for root: something of the wrong kind
// stands where the package puts a file or a folder.
class BlockedInstallTest : public InstallTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BlockedInstallTest, LeavesTheProgramFolderAsItWas) {
  m_prog.Write(GetParam(), "in the way");
  const auto before = Snapshot(m_prog.Path());
  EXPECT_EQ(InstallFiles(W(m_version)), COPY_FAILED);
  EXPECT_EQ(Snapshot(m_prog.Path()), before);
  EXPECT_TRUE(Leftovers(m_prog.Path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Blockers, BlockedInstallTest,
                         ::testing::Values("newdir",                // a file where a folder must go
                                           "sub/new.txt/inside",    // a folder where a file must go
                                           "newdir/inner/y.txt/z")  // the same, two levels down
);

TEST_F(InstallTest, APathBeyondTheLimitFailsAndIsTakenBack) {
  m_prog.Write("download/1.2.0/sub/" + std::string(240, 'n'), "long");
  const auto before = Snapshot(m_prog.Path());
  EXPECT_EQ(InstallFiles(W(m_version)), COPY_FAILED);
  EXPECT_EQ(Snapshot(m_prog.Path()), before);
}

TEST_F(InstallTest, AFailureAtAnyCopyIsTakenBackWhole) {
  const auto before = Snapshot(m_prog.Path());
  struct Case {
    fault::Point point;
    int count;
  };
  for (const Case& c : {Case{fault::Point::kFileCopy, kCopies}, Case{fault::Point::kKeepOld, kReplaced}}) {
    for (int n = 1; n <= c.count; ++n) {
      SCOPED_TRACE(testing::Message() << "point " << static_cast<int>(c.point) << ", operation " << n);
      fault::FailAt(c.point, n);
      EXPECT_EQ(InstallFiles(W(m_version)), COPY_FAILED);
      EXPECT_EQ(Snapshot(m_prog.Path()), before);
      fault::Reset();
    }
  }
  // With every operation counted, one past the last changes nothing.
  fault::FailAt(fault::Point::kFileCopy, kCopies + 1);
  EXPECT_EQ(InstallFiles(W(m_version)), 0);
}

TEST_F(InstallTest, EachAttemptKeepsItsOwnBackup) {
  fault::FailAt(fault::Point::kFileCopy, kCopies);  // after both replacements
  ASSERT_EQ(InstallFiles(W(m_version)), COPY_FAILED);
  ASSERT_EQ(InstallFiles(W(m_version)), 0);
  for (const char* backup : {"download/1.2.0.backup-1", "download/1.2.0.backup-2"}) {
    EXPECT_EQ(m_prog.Read(std::string(backup) + "/app.bin"), "old app") << backup;
    EXPECT_EQ(m_prog.Read(std::string(backup) + "/sub/old.txt"), "old sub") << backup;
  }
}

}  // namespace
