// The worker object and its thread, reporting to a real message window that
// the test thread pumps.
#include "worker/download_update.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <thread>

#include "platform/text.h"
#include "support/temp_dir.h"
#include "test_dialog.h"
#include "thread_probe.h"
#include "ui/messages.h"

namespace {

using namespace std::chrono_literals;

// A URL on a loopback port where nothing listens: the download fails at once.
std::wstring RefusedUrl() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(s);
  return L"http://127.0.0.1:" + std::to_wstring(ntohs(addr.sin_port)) + L"/pkg/pkg.zip";
}

// A main program name nothing else uses, so the shutdown job finds nothing.
std::wstring NobodysName() { return L"absent-" + std::to_wstring(std::random_device{}()) + L".exe"; }

struct NameCase {
  const wchar_t* url;
  const wchar_t* file;
  friend void PrintTo(const NameCase& c, std::ostream* os) { *os << '"' << platform::WideToAnsi(c.url) << '"'; }
};

class PackageFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(PackageFileName, IsTheLastSegmentOfThePath) {
  CDownloadUpdate worker;
  EXPECT_TRUE(worker.SetPackageUrl(GetParam().url));
  EXPECT_EQ(worker.PackageUrl(), GetParam().url);
  EXPECT_EQ(worker.PackageFile(), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, PackageFileName,
    ::testing::Values(NameCase{L"http://127.0.0.1:8080/pkg/pkg.zip", L"pkg.zip"},
                      NameCase{L"pkg.zip", L"pkg.zip"},
                      NameCase{L"http://h/dl/pkg.zip?token=a/b&v=2", L"pkg.zip"},
                      NameCase{L"http://h/dl/pkg.zip#part/2", L"pkg.zip"},
                      NameCase{L"http://h/dl/", L""},
                      NameCase{L"http://h", L""},
                      NameCase{L"http://h/dl/..", L""},
                      NameCase{L"http://h/dl/.", L""},
                      NameCase{L"http://h/dl/..%2F..%2Fevil.zip", L"..%2F..%2Fevil.zip"},
                      NameCase{L"http://h/dl/..\\..\\evil.zip", L"evil.zip"},
                      NameCase{L"http://h/dl\\..", L""},
                      NameCase{L"", L""}));

TEST(PackageFileName, NullIsTakenAsEmpty) {
  CDownloadUpdate worker;
  worker.SetPackageUrl(L"http://h/a.zip");
  EXPECT_TRUE(worker.SetPackageUrl(nullptr));
  EXPECT_EQ(worker.PackageUrl(), L"");
  EXPECT_EQ(worker.PackageFile(), L"");
}

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    worker.Setup(dialog.Handle(), L"127.0.0.1:1", L"/svc", L"1.0");
    worker.SetTransportTimeouts(5000, 5000, 5000);
  }

  // Starts a download that fails and waits for its report.
  void FailedDownload() {
    worker.SetPackageUrl(RefusedUrl().c_str());
    worker.StartDownload();
    ASSERT_TRUE(dialog.PumpUntil([&] { return dialog.Count(WM_DOWNLOAD_STATUS, DOWNLOAD_FAILED) == 1; }));
  }

  TempDir dir{true};
  TestDialog dialog;
  CDownloadUpdate worker;
};

TEST_F(WorkerTest, StartDownloadTwiceCreatesOneThread) {
  EXPECT_TRUE(worker.StartDownload());
  const std::uint32_t tid = worker.ThreadId();
  EXPECT_TRUE(worker.StartDownload());
  EXPECT_EQ(worker.ThreadId(), tid);
  ASSERT_TRUE(dialog.PumpUntil([&] { return dialog.Count(WM_DOWNLOAD_STATUS, DOWNLOAD_FAILED) >= 1; }));
  worker.StopRunning();
  EXPECT_EQ(worker.Join(), 0u);
}

TEST_F(WorkerTest, CloseRequestIsServedInsideANestedLoopAndEndsTheThread) {
  FailedDownload();
  // As a message box would: a loop nested in a handler of the dialog's, here
  // of a close that arrives from elsewhere; the worker's report arrives in it.
  bool closed = false;
  dialog.onMessage = [&](const Received& r) {
    if (r.message != kWmClose) return;
    worker.RequestCloseMain(NobodysName().c_str());
    closed = dialog.PumpUntil([&] { return dialog.Count(WM_MAIN_CLOSED) == 1; });
  };
  std::thread user([&] { platform::SendWindowMessage(dialog.Handle(), kWmClose, 0, 0); });
  EXPECT_TRUE(dialog.PumpUntil([&] { return closed; }));
  user.join();
  ASSERT_EQ(dialog.received.size(), 3u);
  EXPECT_EQ(dialog.received[1].message, kWmClose);
  EXPECT_EQ(dialog.received[1].depth, 1);
  EXPECT_EQ(dialog.received[2].message, WM_MAIN_CLOSED);
  EXPECT_EQ(dialog.received[2].depth, 2);
  EXPECT_EQ(worker.Join(), 0u) << "the thread ends by itself after the shutdown job";
  EXPECT_FALSE(worker.IsRunning());
}

TEST_F(WorkerTest, DestroyingAnUnjoinedWorkerStopsItsThread) {
  auto owned = std::make_unique<CDownloadUpdate>();
  owned->Setup(dialog.Handle(), L"", L"", L"");
  owned->SetPackageUrl(RefusedUrl().c_str());
  owned->StartDownload();
  ASSERT_TRUE(dialog.PumpUntil([&] { return dialog.Count(WM_DOWNLOAD_STATUS, DOWNLOAD_FAILED) == 1; }));
  const std::uint32_t tid = owned->ThreadId();
  owned.reset();
  EXPECT_FALSE(ThreadExists(tid));
}

}  // namespace
