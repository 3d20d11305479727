// Unpacking and installing on the Windows file system: attributes, file
// times, names in the ANSI code page, and files held open by another program.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "install/extract.h"
#include "install/install_files.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "zip_builder.h"

namespace fs = std::filesystem;
using namespace ziptest;

namespace {

DWORD Attributes(const fs::path& p) { return ::GetFileAttributesW(p.c_str()); }

uint64_t LastWrite(const fs::path& p) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  EXPECT_TRUE(::GetFileAttributesExW(p.c_str(), GetFileExInfoStandard, &data)) << p;
  return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Seconds since 1970 as a file time.
uint64_t FileTimeOfUnix(uint32_t seconds) { return (uint64_t{seconds} + 11644473600u) * 10000000u; }

// A file held open without any sharing, as a running program holds its
// executable: it can be neither replaced nor removed meanwhile.
class Held {
 public:
  explicit Held(const fs::path& p)
      : m_h(::CreateFileW(p.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() {
    if (m_h != INVALID_HANDLE_VALUE) ::CloseHandle(m_h);
  }
  bool Holds() const { return m_h != INVALID_HANDLE_VALUE; }

 private:
  HANDLE m_h;
};

class Win32Extract : public ::testing::Test {
 protected:
  Win32Extract() : m_dir(true) {}
  int Unpack(const std::vector<Item>& items) {
    WriteZip(m_dir / "pkg.zip", items);
    return install::UnzipToFolder((m_dir / "pkg.zip").wstring(), (m_dir / "v").wstring());
  }
  TempDir m_dir;
};

TEST_F(Win32Extract, AttributesAndTimesOfTheEntriesReachTheFiles) {
  Item stamped = File("a/b/stamped.txt", "stamp", 0644, 0);
  stamped.localExtra = TimestampBlock(1, {1600000000});
  ASSERT_EQ(Unpack({Dir("plain/"), DosItem("win/", "", 0x10), DosItem("win/readonly.txt", "r", 0x20),
                    DosItem("hidden.txt", "h", 0x22 | 0x01), stamped, File("big.bin", RandomBytes(100000, 7))}),
            0);
  const fs::path v = m_dir / "v";
  EXPECT_EQ(Attributes(v / "plain") & FILE_ATTRIBUTE_DIRECTORY, DWORD{FILE_ATTRIBUTE_DIRECTORY});
  // Entries without a Unix mode are read-only, as archives made on Windows
  // mean them.
  EXPECT_EQ(Attributes(v / "win" / "readonly.txt") & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
            DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE});
  EXPECT_EQ(Attributes(v / "hidden.txt") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY});
  EXPECT_EQ(Attributes(v / "a" / "b" / "stamped.txt") & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(LastWrite(v / "a" / "b" / "stamped.txt"), FileTimeOfUnix(1600000000));
  EXPECT_EQ(ReadBytes(v / "big.bin"), RandomBytes(100000, 7));

  // A second run replaces the read-only and hidden files it made.
  EXPECT_EQ(Unpack({DosItem("win/readonly.txt", "r2", 0x01), DosItem("hidden.txt", "h2", 0x03)}), 0);
  EXPECT_EQ(ReadBytes(v / "win" / "readonly.txt"), "r2");
  EXPECT_EQ(ReadBytes(v / "hidden.txt"), "h2");
}

TEST_F(Win32Extract, NamesAreReadInTheAnsiCodePage) {
  const std::wstring name = L"\u8bf4\u660e.txt";  // not ASCII
  const std::string stored = platform::WideToAnsi(name);
  ASSERT_EQ(platform::AnsiToWide(stored), name) << "the code page has no room for the name";
  ASSERT_EQ(Unpack({File("docs/" + stored, "readme")}), 0);
  EXPECT_EQ(ReadBytes(m_dir / "v" / "docs" / name), "readme");
}

TEST_F(Win32Extract, AFileHeldOpenCannotBeUnpackedOver) {
  m_dir.Write("v/app.exe", "running");
  Held held(m_dir / "v" / "app.exe");
  ASSERT_TRUE(held.Holds());
  EXPECT_NE(Unpack({File("app.exe", "new")}), 0);
}

// A program folder (the current directory) and, below download\1.2.0, the
// unpacked new version.
class Win32Install : public ::testing::Test {
 protected:
  Win32Install() : m_prog(true) {
    m_prog.Write("app.exe", "old app");
    m_prog.Write("sub/lib.dll", "old lib");
    m_prog.Write("keep.txt", "mine");
    m_prog.Write("download/1.2.0/pkg.zip", "package");
    m_prog.Write("download/1.2.0/app.exe", "new app");
    m_prog.Write("download/1.2.0/.settings", "dot file");
    m_prog.Write("download/1.2.0/.cache/junk", "dot folder");
    m_prog.Write("download/1.2.0/sub/lib.dll", "new lib");
    m_prog.Write("download/1.2.0/sub/new/n.txt", "n");
  }
  int Install() { return install::InstallFiles((m_prog / "download" / "1.2.0").wstring()); }
  TempDir m_prog;
};

TEST_F(Win32Install, ReplacesReadOnlyAndHiddenFilesAndKeepsTheRest) {
  ::SetFileAttributesW((m_prog / "app.exe").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  ASSERT_EQ(Install(), 0);
  EXPECT_EQ(m_prog.Read("app.exe"), "new app");
  EXPECT_EQ(m_prog.Read("sub/lib.dll"), "new lib");
  EXPECT_EQ(m_prog.Read("sub/new/n.txt"), "n");
  EXPECT_EQ(m_prog.Read("pkg.zip"), "package");
  EXPECT_EQ(m_prog.Read(".settings"), "dot file");
  EXPECT_FALSE(fs::exists(m_prog / ".cache"));
  EXPECT_EQ(m_prog.Read("keep.txt"), "mine");
}

TEST_F(Win32Install, AFileHeldOpenFailsTheInstallationAndNothingStaysReplaced) {
  Held held(m_prog / "sub" / "lib.dll");
  ASSERT_TRUE(held.Holds());
  EXPECT_EQ(Install(), install::COPY_FAILED);
  EXPECT_EQ(m_prog.Read("app.exe"), "old app");
  EXPECT_FALSE(fs::exists(m_prog / "pkg.zip"));
  EXPECT_FALSE(fs::exists(m_prog / "sub" / "new"));
}

}  // namespace
