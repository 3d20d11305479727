// The worker against the reference update service on loopback: the check,
// the version folder, the download with its reports, the shutdown job, and
// the tear-down while a slow download is under way.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "platform/files.h"
#include "platform/text.h"
#include "forced_close.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "test_dialog.h"
#include "thread_probe.h"
#include "ui/messages.h"
#include "ui/update_bindings.h"
#include "worker/download_update.h"

namespace {

using namespace std::chrono_literals;

class WorkerServiceTest : public ::testing::Test {
 protected:
  // Serves a package of `size` bytes, at most `rate` bytes a second (0: at
  // full speed), and lets `worker` check for it.
  void StartService(size_t size, int rate) {
    package = Pattern(3, size);
    releases.Write("norvane-1.2.0.zip", package);
    releases.Write("release.json", R"({"version":"1.2.0","package":"norvane-1.2.0.zip"})");
    service = std::make_unique<ServerProcess>(std::vector<std::string>{
        UPDATER_PYTHON, UPDATER_UPDATE_SERVICE, "--releases", releases.Path().string(), "--prefix", "/norvane",
        "--rate", std::to_string(rate), "--quiet"});
    ASSERT_NE(service->Port(), 0);
  }

  // The dialog's steps up to the started download.
  void BeginDownload(CDownloadUpdate& w) {
    w.Setup(dialog.Handle(), L"127.0.0.1:" + std::to_wstring(service->Port()), L"/norvane", L"1.0");
    std::memset(&info, 0, sizeof info);
    ASSERT_EQ(w.CheckUpdate(info), 1);
    ASSERT_EQ(info.nPackageSize, static_cast<std::int64_t>(package.size()));
    w.SetPackageUrl(platform::AnsiToWide(info.szPackageUrl).c_str());
    ASSERT_TRUE(w.PrepareDownloadDir(L"download"));
    w.StartDownload();
  }

  std::int64_t ProgressTotal() const {
    std::int64_t total = 0;
    for (const auto& r : dialog.received)
      if (r.message == WM_DOWNLOAD_STATUS && r.wParam == DOWNLOAD_PROGRESS) total += r.lParam;
    return total;
  }

  static std::wstring NobodysName() { return L"absent-" + std::to_wstring(std::random_device{}()) + L".exe"; }

  TempDir dir{true};
  TempDir releases;
  std::string package;
  std::unique_ptr<ServerProcess> service;
  UpdateInfo info{};
  TestDialog dialog;
};

TEST_F(WorkerServiceTest, ReportsTheDownloadThenTheShutdownInOrderEvenInsideANestedLoop) {
  // Slow enough that a message box opened during the download is still open
  // when the download completes.
  StartService(300000, 200000);
  CDownloadUpdate worker;
  std::thread user;
  dialog.onMessage = [&](const Received& r) {
    if (r.message == WM_DOWNLOAD_STATUS && r.wParam == DOWNLOAD_PROGRESS && !user.joinable()) {
      // The user tries to close: the busy question stays open until the
      // download is done, and the reports arrive inside it.
      user = std::thread([&] { platform::SendWindowMessage(dialog.Handle(), kWmClose, 0, 0); });
    } else if (r.message == kWmClose) {
      dialog.PumpUntil([&] { return dialog.Count(WM_DOWNLOAD_STATUS, DOWNLOAD_DONE) == 1; });
    } else if (r.message == WM_DOWNLOAD_STATUS && r.wParam == DOWNLOAD_DONE) {
      // As the confirmation does, while the worker waits for this report.
      worker.RequestCloseMain(NobodysName().c_str());
    }
  };
  BeginDownload(worker);
  EXPECT_EQ(worker.PackageFile(), worker.DownloadDir() + platform::kPathSeparator + L"norvane-1.2.0.zip");

  ASSERT_TRUE(dialog.PumpUntil([&] { return dialog.Count(WM_MAIN_CLOSED) == 1; }));
  user.join();
  EXPECT_EQ(worker.Join(), 0u);

  EXPECT_EQ(ProgressTotal(), info.nPackageSize);
  // Every progress report, then the end of the download, then the shutdown;
  // a run of progress reports counts once.
  std::vector<std::string> order;
  for (const auto& r : dialog.received) {
    if (r.message == kWmClose) continue;
    const std::string what = r.message == WM_MAIN_CLOSED          ? "main closed"
                             : r.wParam == DOWNLOAD_PROGRESS      ? "progress"
                             : r.wParam == DOWNLOAD_DONE          ? "done"
                                                                  : "other";
    if (order.empty() || order.back() != what || what != "progress") order.push_back(what);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"progress", "done", "main closed"}));
  for (const auto& r : dialog.received)
    if (r.message == WM_DOWNLOAD_STATUS && r.wParam == DOWNLOAD_DONE) {
      EXPECT_EQ(r.depth, 2) << "inside the box";
    }
  std::ifstream stored(std::filesystem::path(worker.PackageFile()), std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(stored), {}) == package);
}

TEST_F(WorkerServiceTest, AfterAFailedDownloadNothingMoreArrivesAndTheIdleWorkerUsesNoProcessor) {
  StartService(1000, 0);
  CDownloadUpdate worker;
  worker.Setup(dialog.Handle(), L"", L"", L"");
  const std::string missing = "http://127.0.0.1:" + std::to_string(service->Port()) + "/norvane/packages/none.zip";
  worker.SetPackageUrl(platform::AnsiToWide(missing).c_str());
  worker.StartDownload();
  ASSERT_TRUE(dialog.PumpUntil([&] { return dialog.Count(WM_DOWNLOAD_STATUS, DOWNLOAD_FAILED) == 1; }));

  const std::uint32_t tid = worker.ThreadId();
  ASSERT_TRUE(ThreadExists(tid)) << "the worker waits for its next job";
  const std::uint64_t before = ThreadCpuNs(tid);
  dialog.PumpFor(500ms);
  EXPECT_LT(ThreadCpuNs(tid) - before, 50'000'000u) << "an idle worker must sleep, not poll";
  EXPECT_EQ(dialog.received.size(), 1u) << "no progress for an error page, nothing after the failure";

  // The dialog's close ends the idle worker, and Join returns.
  worker.StopRunning();
  EXPECT_EQ(worker.Join(), 0u);
  EXPECT_FALSE(ThreadExists(tid));
}

// A package that would take longer than any test may run, at this rate.
constexpr size_t kSlowSize = 1000000;
constexpr int kSlowRate = 1000;

TEST_F(WorkerServiceTest, ForcedCloseDuringASlowDownloadParksTheWorkerAndItStopsSoon) {
  StartService(kSlowSize, kSlowRate);
  auto binding = std::make_unique<CWorkerBinding>();
  BeginDownload(binding->Worker());
  ASSERT_TRUE(dialog.PumpUntil([&] { return dialog.Count(WM_DOWNLOAD_STATUS, DOWNLOAD_PROGRESS) >= 1; }));
  const std::uint32_t tid = binding->Worker().ThreadId();

  ForcedCloseAndTearDown(binding, dialog);

  // The parked worker's download is cancelled; its last report goes to a
  // window that is gone, and the thread ends long before the package could.
  EXPECT_TRUE(WaitForThreadGone(tid, 60s));
}

TEST_F(WorkerServiceTest, DestroyingAnUnjoinedWorkerDuringASlowDownloadCancelsAndWaits) {
  StartService(kSlowSize, kSlowRate);
  auto worker = std::make_unique<CDownloadUpdate>();
  BeginDownload(*worker);
  ASSERT_TRUE(dialog.PumpUntil([&] { return dialog.Count(WM_DOWNLOAD_STATUS, DOWNLOAD_PROGRESS) >= 1; }));
  const std::uint32_t tid = worker->ThreadId();
  // The dialog's window goes first, as it does when the program ends.
  dialog.Destroy();
  worker.reset();
  EXPECT_FALSE(ThreadExists(tid));
}

}  // namespace
