// The transport and the check against the reference update service
// (tools/update_service.py) on loopback, as the updater meets it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/text.h"
#include "service/check_update.h"
#include "service/http_transport.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace {

class ReferenceService : public ::testing::Test {
 protected:
  ReferenceService()
      : m_package(Pattern(7, 300000)),
        m_process({UPDATER_PYTHON, UPDATER_UPDATE_SERVICE, "--releases", Releases(m_releases, m_package),
                   "--prefix", "/norvane", "--quiet"}) {}

  static std::string Releases(const TempDir& dir, const std::string& package) {
    dir.Write("norvane-1.2.0.zip", package);
    dir.Write("release.json",
              R"({"version":"1.2.0","package":"norvane-1.2.0.zip","time":"2024-05-01","content":"修复"})");
    return dir.Path().string();
  }

  int Check(const std::wstring& localVersion) {
    std::memset(&m_info, 0, sizeof m_info);
    return service::CheckUpdate(L"127.0.0.1:" + std::to_wstring(m_process.Port()), L"/norvane", localVersion,
                                m_info, m_newVersion);
  }

  TempDir m_releases;
  std::string m_package;
  ServerProcess m_process;
  UpdateInfo m_info;
  std::wstring m_newVersion;
};

TEST_F(ReferenceService, OldVersionGetsTheUpdateAndItsPackage) {
  ASSERT_NE(m_process.Port(), 0);
  ASSERT_EQ(Check(L"1.0"), 1);
  EXPECT_EQ(std::string(m_info.szNewVersion), "1.2.0");
  EXPECT_EQ(m_newVersion, L"1.2.0");
  EXPECT_EQ(m_info.nPackageSize, static_cast<std::int64_t>(m_package.size()));
  const std::string url = "http://127.0.0.1:" + std::to_string(m_process.Port()) + "/norvane/packages/norvane-1.2.0.zip";
  EXPECT_EQ(std::string(m_info.szPackageUrl), url);

  TempDir target;
  std::int64_t received = 0;
  ASSERT_TRUE(service::DownloadFile(platform::AnsiToWide(m_info.szPackageUrl), (target / "pkg.zip").wstring(),
                                    [&](std::uint32_t n) { received += n; }));
  EXPECT_EQ(received, m_info.nPackageSize);
  EXPECT_TRUE(target.Read("pkg.zip") == m_package);
}

TEST_F(ReferenceService, LatestVersionGetsNoUpdate) {
  ASSERT_NE(m_process.Port(), 0);
  EXPECT_EQ(Check(L"1.2.0"), 0);
  EXPECT_EQ(std::string(m_info.szNewVersion), "1.2.0");
}

}  // namespace
