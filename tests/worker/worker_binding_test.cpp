// Tear-down of the dialog's worker after a forced close, with the real worker
// under the address sanitizer: the abandoned thread goes on after the binding
// is gone and must find its object intact.
#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "forced_close.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "test_dialog.h"
#include "thread_probe.h"
#include "ui/messages.h"
#include "ui/update_bindings.h"

namespace {

using namespace std::chrono_literals;

TEST(WorkerBinding, ForcedCloseDuringTheShutdownJobNeverWaitsAndFreesNothingInUse) {
  TempDir dir(true);
  // A main program that ignores every polite request, under a name of its own.
  const std::string name = "Norvane-" + std::to_string(std::random_device{}()) + ".exe";
  std::filesystem::copy_file(MAIN_PROGRAM_STANDIN, dir / name);
  ChildProcess main;
  ASSERT_TRUE(main.Start((dir / name).string(), {"term-ignored"}));
  ASSERT_TRUE(main.WaitForLine("ready", 30s));

  TestDialog dialog;
  auto binding = std::make_unique<CWorkerBinding>();
  // A grace period no test reaches: the job lasts until the test ends the
  // main program itself.
  binding->Worker().SetShutdownTiming({600000, 50, 10});
  binding->Setup(dialog.Handle(), L"", L"", L"");
  binding->SetPackageUrl(L"http://127.0.0.1:1/pkg.zip");
  binding->StartDownload();
  ASSERT_TRUE(dialog.PumpUntil([&] { return dialog.Count(WM_DOWNLOAD_STATUS, DOWNLOAD_FAILED) == 1; }));
  binding->RequestCloseMain(std::filesystem::path(name).wstring().c_str());
  const std::uint32_t tid = binding->Worker().ThreadId();

  ForcedCloseAndTearDown(binding, dialog);
  EXPECT_TRUE(ThreadExists(tid)) << "the abandoned thread is still in its shutdown job";

  // Let the job end: the thread reports to a window that is gone and ends.
  ::kill(main.Pid(), SIGKILL);
  EXPECT_TRUE(WaitForThreadGone(tid, 60s));
  EXPECT_TRUE(dialog.received.size() == 1) << "nothing reaches a destroyed window";
}

}  // namespace
