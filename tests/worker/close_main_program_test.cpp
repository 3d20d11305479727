// The main program's shutdown against real processes: a stand-in program is
// copied under the main program's name into a folder of the test's own and
// started from there, and a private X server gives it its windows.
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/private_processes.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "worker/download_update.h"

namespace {

using namespace std::chrono_literals;

// Short waits, so that a process that has to be ended by force costs little.
constexpr ShutdownTiming kShort{300, 50, 10};

class CloseMainProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(xvfb.Start()) << xvfb.Error(); }

  // Starts a copy of the stand-in named `name` in `mode` and waits until it is
  // ready to be closed.
  std::unique_ptr<ChildProcess> StartMain(const std::string& mode, const std::string& name = "Norvane.exe",
                                         const std::vector<std::string>& more = {}) {
    const auto exe = dir / name;
    if (!std::filesystem::exists(exe)) {
      std::filesystem::copy_file(MAIN_PROGRAM_STANDIN, exe);
      std::filesystem::permissions(exe, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                            std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                            std::filesystem::perms::others_exec);
    }
    auto child = std::make_unique<ChildProcess>();
    std::vector<std::string> args{mode};
    args.insert(args.end(), more.begin(), more.end());
    EXPECT_TRUE(child->Start(exe.string(), args));
    EXPECT_TRUE(child->WaitForLine("ready", 30s)) << mode;
    return child;
  }

  Xvfb xvfb;
  TempDir dir;
};

struct Ending {
  const char* name;
  const char* mode;
  bool display;           // the updater can reach the window system
  bool windowManager;     // a window manager puts top-level windows into frames
  ShutdownTiming timing;
  int signal;             // what ended the process; 0 = it exited by itself with code 0
  friend void PrintTo(const Ending& e, std::ostream* os) { *os << e.name; }
};

class ShutdownEndingTest : public CloseMainProgramTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(ShutdownEndingTest, EndsTheProcessPolitelyOrByForce) {
  const Ending& c = GetParam();
  ChildProcess windowManager;
  if (c.windowManager) {
    ASSERT_TRUE(windowManager.Start("/usr/bin/openbox", {}));
  }
  auto main = StartMain(c.mode, "Norvane.exe", c.windowManager ? std::vector<std::string>{"framed"} : std::vector<std::string>{});
  if (!c.display) ::unsetenv("DISPLAY");

  EXPECT_EQ(CDownloadUpdate::CloseMainProgram(L"Norvane.exe", c.timing), 1);

  // Ended, not just signalled: still a zombie here, since only its parent (the
  // test) reaps it, and a zombie counts as ended.
  EXPECT_TRUE(main->HasEnded());
  const auto status = main->Reap(0ms);
  ASSERT_TRUE(status.has_value());
  if (c.signal == 0) {
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
  } else {
    ASSERT_TRUE(WIFSIGNALED(*status));
    EXPECT_EQ(WTERMSIG(*status), c.signal);
  }
}

// A grace period far longer than any test: a process that closes when asked
// must not be ended by force.
constexpr ShutdownTiming kPatient{120000, 50, 10};

INSTANTIATE_TEST_SUITE_P(
    Modes, ShutdownEndingTest,
    ::testing::Values(Ending{"WindowClosesWhenAsked", "window-closes", true, false, kPatient, 0},
                      Ending{"FramedWindowClosesWhenAsked", "window-closes", true, true, kPatient, 0},
                      Ending{"WindowIgnoresTheRequest", "window-ignores", true, false, kShort, SIGKILL},
                      Ending{"NoWindowEndsOnTerm", "term-ends", true, false, kPatient, SIGTERM},
                      Ending{"NoDisplayEndsOnTerm", "term-ends", false, false, kPatient, SIGTERM},
                      Ending{"NoWindowIgnoresTerm", "term-ignored", true, false, kShort, SIGKILL}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CloseMainProgramTest, NameDifferingOnlyInCaseIsNotMatched) {
  auto main = StartMain("term-ends", "norvane.exe");
  EXPECT_EQ(CDownloadUpdate::CloseMainProgram(L"Norvane.exe", kShort), 0);
  EXPECT_FALSE(main->HasEnded());
}

TEST_F(CloseMainProgramTest, NothingRunningGivesZero) {
  EXPECT_EQ(CDownloadUpdate::CloseMainProgram(L"Norvane.exe", kShort), 0);
  EXPECT_EQ(CDownloadUpdate::CloseMainProgram(L"", kShort), 0);
}

TEST_F(CloseMainProgramTest, OnlyTheFirstOfTwoCopiesIsClosed) {
  auto first = StartMain("window-closes");
  auto second = StartMain("window-closes");
  ASSERT_LT(first->Pid(), second->Pid());
  EXPECT_EQ(CDownloadUpdate::CloseMainProgram(L"Norvane.exe", kShort), 1);
  EXPECT_TRUE(first->HasEnded());
  EXPECT_FALSE(second->HasEnded());
}

TEST_F(CloseMainProgramTest, NeverTouchesTheUpdatersOwnProcess) {
  const auto self = std::filesystem::read_symlink("/proc/self/exe").filename().wstring();
  EXPECT_EQ(CDownloadUpdate::CloseMainProgram(self.c_str(), kShort), 0);
}

TEST_F(CloseMainProgramTest, ProcessThatMayNotBeSignalledIsSkipped) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run processes as two users";
  // Root's copy comes first in the list; an updater running as another user
  // may not touch it and must go on to its own copy.
  auto rootsCopy = StartMain("term-ends");
  const pid_t updater = ::fork();
  ASSERT_GE(updater, 0);
  if (updater == 0) {
    const gid_t nobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(100);
    ChildProcess ownCopy;
    if (!ownCopy.Start((dir / "Norvane.exe").string(), {"term-ends"}) || !ownCopy.WaitForLine("ready", 30s))
      ::_exit(101);
    const int result = CDownloadUpdate::CloseMainProgram(L"Norvane.exe", kShort);
    const bool ended = ownCopy.HasEnded();
    ::kill(ownCopy.Pid(), SIGKILL);
    ::_exit(result * 2 + (ended ? 1 : 0));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(updater, &status, 0), updater);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3) << "1 = found and ended, and the ended one was the updater's own copy";
  EXPECT_FALSE(rootsCopy->HasEnded());
}

TEST_F(CloseMainProgramTest, LooksPastTheFirst512Processes) {
  // Enough other processes that the main program, started last, comes after
  // the 512th entry of the list.
  std::vector<std::unique_ptr<ChildProcess>> others;
  for (int i = 0; i < 520; ++i) {
    others.push_back(std::make_unique<ChildProcess>());
    ASSERT_TRUE(others.back()->Start("/bin/sleep", {"600"}));
  }
  auto main = StartMain("term-ends");
  EXPECT_EQ(CDownloadUpdate::CloseMainProgram(L"Norvane.exe", kShort), 1);
  EXPECT_TRUE(main->HasEnded());
}

}  // namespace

int main(int argc, char** argv) {
  // "Norvane.exe" copies of other test runs on this machine stay out of sight.
  RunWithPrivateProcesses(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
