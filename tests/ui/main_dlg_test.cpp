// The update workflow driven event by event, with the window system and the
// other subsystems played by fakes.
#include "ui/main_dlg.h"

#include <gtest/gtest.h>

#include "fakes/fake_dialog_host.h"
#include "fakes/fake_ports.h"
#include "platform/files.h"
#include "ui/messages.h"

namespace {

const std::wstring kNotice = L"提示";
const std::wstring kError = L"错误";

class MainDlgTest : public ::testing::Test {
 protected:
  MainDlgTest() {
    host.Attach([this](unsigned m, std::uintptr_t w, std::intptr_t l, std::intptr_t& r) {
      return dlg.ProcessWindowMessage(m, w, l, r);
    });
    // What the confirmation dialog does with OK and Cancel alike.
    host.hintDialog = [this] { host.Send(WM_START_INSTALL); };
  }

  // Creates the dialog (its initialisation included) and runs the loop up to
  // the point where it waits for the worker.
  void Start() {
    EXPECT_EQ(host.Send(kWmInitDialog), 1);
    host.RunLoop();
  }

  // The worker's synchronous reports.
  void Progress(std::intptr_t bytes) { host.Send(WM_DOWNLOAD_STATUS, DOWNLOAD_PROGRESS, bytes); }
  void DownloadDone() {
    worker.FinishDownload();
    host.Send(WM_DOWNLOAD_STATUS, DOWNLOAD_DONE, 0);
    host.RunLoop();
  }
  void DownloadFailed() {
    worker.FinishDownload();
    host.Send(WM_DOWNLOAD_STATUS, DOWNLOAD_FAILED, 0);
    host.RunLoop();
  }
  void MainClosed() {
    worker.FinishClosingMain();
    host.Send(WM_MAIN_CLOSED);
    host.RunLoop();
  }
  void Command(int id) {
    host.Send(kWmCommand, static_cast<std::uintptr_t>(id));
    host.RunLoop();
  }

  void ExpectBoxes(const std::vector<FakeDialogHost::Box>& expected) {
    ASSERT_EQ(host.boxes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(host.boxes[i].text, expected[i].text) << "box " << i;
      EXPECT_EQ(host.boxes[i].caption, expected[i].caption) << "box " << i;
      EXPECT_EQ(host.boxes[i].buttons, expected[i].buttons) << "box " << i;
    }
  }

  bool ProgressShown() const { return j.Has("show 1000") || j.Has("show 65535"); }

  Journal j;
  FakeDialogHost host{j};
  FakeConfig config{j};
  FakeWorker worker{j};
  CMainDlg dlg{host, config, worker};
};

TEST_F(MainDlgTest, InitialisesInOrderAndArmsTheCheckTimer) {
  EXPECT_EQ(host.Send(kWmInitDialog), 1);
  const std::vector<std::string> expected = {
      "center",       "icons",          "loop add",
      "bind 1000",    "bind -1",        "hide 1000",
      "hide 65535",   "config load ." + std::string(1, static_cast<char>(platform::kPathSeparator)) + "update.cfg",
      "config section SERVER", "config section VERSION",
      "setup 127.0.0.1:8080 /svc 1.0", "timer start 1 300"};
  EXPECT_EQ(j.entries, expected);
  EXPECT_EQ(worker.notifyWnd, WindowHandle{42});
}

TEST_F(MainDlgTest, NoUpdateShowsOneNoticeAndEndsWithTwo) {
  worker.hasUpdate = false;
  Start();
  ExpectBoxes({{L"当前版本已是最新，无需更新！", kNotice, MessageButtons::Ok}});
  EXPECT_EQ(j.Count("check"), 1);
  EXPECT_FALSE(j.Has("check got a dirty record"));
  EXPECT_FALSE(ProgressShown());
  EXPECT_FALSE(worker.started);
  EXPECT_LT(j.IndexOf("timer stop 1"), j.IndexOf("check"));
  EXPECT_LT(j.IndexOf("destroy"), j.IndexOf("quit 2"));
  EXPECT_EQ(host.exitCode, 2);
}

TEST_F(MainDlgTest, NoUpdateClosesWhateverTheAnswer) {
  worker.hasUpdate = false;
  host.answers = {0};  // the box could not be shown
  Start();
  EXPECT_EQ(host.exitCode, 2);
}

struct ConfigCase {
  const char* name;
  std::function<void(FakeConfig&)> spoil;
  friend void PrintTo(const ConfigCase& c, std::ostream* os) { *os << c.name; }
};

class ConfigErrorTest : public MainDlgTest, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(ConfigErrorTest, ShowsTheErrorBoxAndEndsWithZeroBeforeAnyTimer) {
  GetParam().spoil(config);
  host.answers = {0};  // the answer does not matter
  Start();
  ExpectBoxes({{L"更新配置文件加载失败！", kError, MessageButtons::Ok}});
  EXPECT_EQ(host.exitCode, 0);
  EXPECT_FALSE(j.Has("timer start 1 300"));
  EXPECT_FALSE(j.Has("check"));
  EXPECT_EQ(j.Count("setup 127.0.0.1:8080 /svc 1.0"), 0);
  EXPECT_TRUE(host.destroyed);
  EXPECT_TRUE(host.posted.empty()) << "closed directly, without a close request";
}

INSTANTIATE_TEST_SUITE_P(
    EachFailurePoint, ConfigErrorTest,
    ::testing::Values(
        ConfigCase{"NoFile", [](FakeConfig& c) { c.loadResult = 0; }},
        ConfigCase{"LoadOtherThanOne", [](FakeConfig& c) { c.loadResult = 2; }},
        ConfigCase{"NoServerSection", [](FakeConfig& c) { c.sections.erase(L"SERVER"); }},
        ConfigCase{"NoHost", [](FakeConfig& c) { c.sections[L"SERVER"].erase(L"MSG_SERVER_HOST"); }},
        ConfigCase{"NoSuffix", [](FakeConfig& c) { c.sections[L"SERVER"].erase(L"MSG_SERVER_SUFFIX"); }},
        ConfigCase{"NoVersionSection", [](FakeConfig& c) { c.sections.erase(L"VERSION"); }},
        ConfigCase{"NoLocalVersion", [](FakeConfig& c) { c.sections[L"VERSION"].erase(L"LOCAL_VERSION"); }},
        ConfigCase{"HostInLowerCase",
                   [](FakeConfig& c) {
                     c.sections[L"SERVER"].erase(L"MSG_SERVER_HOST");
                     c.sections[L"SERVER"][L"msg_server_host"] = L"h";
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainDlgTest, EmptyConfigurationValuesAreAccepted) {
  config.sections[L"SERVER"][L"MSG_SERVER_SUFFIX"] = L"";
  config.sections[L"VERSION"][L"LOCAL_VERSION"] = L"";
  EXPECT_EQ(host.Send(kWmInitDialog), 1);
  EXPECT_TRUE(j.Has("setup 127.0.0.1:8080  "));
  EXPECT_TRUE(host.timerRunning);
}

TEST_F(MainDlgTest, UpdateStartsTheDownloadAndShowsTheControls) {
  Start();
  const long stop = j.IndexOf("timer stop 1");
  ASSERT_GE(stop, 0);
  const std::vector<std::string> after(j.entries.begin() + stop, j.entries.end());
  const std::vector<std::string> expected = {"timer stop 1",     "check",          "range 0..100",
                                             "url http://127.0.0.1:8080/pkg/pkg.zip",
                                             "prepare download", "start download", "show 1000",
                                             "show 65535"};
  EXPECT_EQ(after, expected);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_FALSE(host.quit);
  EXPECT_TRUE(host.texts.empty()) << "the label keeps its template text until the first report";
}

TEST_F(MainDlgTest, DownloadFolderFailureLeavesTheDialogOpenAndTheTimerFiresOnce) {
  worker.prepareResult = false;
  Start();  // the fake box fires any running timer while it is open
  ExpectBoxes({{L"下载更新文件失败！", kError, MessageButtons::Ok}});
  EXPECT_EQ(j.Count("check"), 1);
  EXPECT_FALSE(worker.started);
  EXPECT_FALSE(ProgressShown());
  EXPECT_FALSE(host.quit);
  EXPECT_TRUE(host.posted.empty());

  // The download flag stays set, so closing asks the busy question first.
  host.answers = {kIdYes};
  Command(kIdCancel);
  EXPECT_EQ(host.boxes.back().text, L"程序正在更新，强制关闭有可能导致程序无法运行！");
  EXPECT_EQ(host.exitCode, 2);
}

struct ProgressCase {
  const char* name;
  std::int64_t size;
  std::vector<std::intptr_t> chunks;
  std::vector<std::string> texts;  // label texts in order; none means unchanged
  int finalPos;
  friend void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.name; }
};

class ProgressTest : public MainDlgTest, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ProgressTest, LabelAndBarFollowTheReceivedBytes) {
  worker.packageSize = GetParam().size;
  Start();
  const size_t before = j.entries.size();
  for (auto c : GetParam().chunks) Progress(c);
  std::vector<std::string> texts;
  for (size_t i = before; i < j.entries.size(); ++i)
    if (j.entries[i].rfind("text ", 0) == 0) texts.push_back(j.entries[i].substr(5));
  EXPECT_EQ(texts, GetParam().texts);
  EXPECT_EQ(host.position, GetParam().finalPos);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ProgressTest,
    ::testing::Values(ProgressCase{"ZeroSize", 0, {10, 20}, {}, 0},
                      ProgressCase{"NegativeSize", -5, {10}, {}, 0},
                      ProgressCase{"HundredMillion", 100000000, {50000000, 50000000}, {"50%", "100%"}, 100},
                      ProgressCase{"TruncatesTowardZero", 3, {1, 1, 1}, {"33%", "66%", "100%"}, 100},
                      ProgressCase{"MoreThanAnnounced", 1000, {600, 900}, {"60%", "150%"}, 100}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainDlgTest, DownloadFailureShowsTheErrorAndClosesOnOk) {
  Start();
  DownloadFailed();
  ExpectBoxes({{L"下载更新文件失败！", kError, MessageButtons::Ok}});
  EXPECT_EQ(host.exitCode, 2);
  // The worker, left without a job, is let go before the wait.
  EXPECT_LT(j.IndexOf("stop running"), j.IndexOf("join"));
  EXPECT_FALSE(j.Has("join would block"));
}

TEST_F(MainDlgTest, DownloadFailureWithoutOkKeepsTheDialog) {
  Start();
  host.answers = {0};
  DownloadFailed();
  EXPECT_FALSE(host.quit);
  EXPECT_TRUE(host.posted.empty());
}

TEST_F(MainDlgTest, ConfirmationUnpacksThenAsksTheWorkerToCloseTheMainProgram) {
  Start();
  DownloadDone();
  const long hint = j.IndexOf("hint");
  ASSERT_GE(hint, 0);
  EXPECT_EQ(j.IndexOf("unpack"), hint + 1);
  EXPECT_EQ(j.IndexOf("close main Norvane.exe"), hint + 2);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_FALSE(host.quit);
}

TEST_F(MainDlgTest, ConfirmationDialogThatNeverOpensLeavesAnIdleWorkerThatCloseStops) {
  host.hintDialog = nullptr;
  Start();
  DownloadDone();
  EXPECT_FALSE(host.quit);
  Command(kIdCancel);  // not busy: no question
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_LT(j.IndexOf("stop running"), j.IndexOf("join"));
  EXPECT_FALSE(j.Has("join would block"));
  EXPECT_EQ(host.exitCode, 2);
}

TEST_F(MainDlgTest, UnpackFailureClosesWithoutTouchingTheMainProgram) {
  worker.unpackResult = 0x700;
  Start();
  DownloadDone();
  ExpectBoxes({{L"解压更新包失败！", kError, MessageButtons::Ok}});
  EXPECT_FALSE(j.Has("close main Norvane.exe"));
  EXPECT_EQ(host.exitCode, 2);
  EXPECT_FALSE(j.Has("join would block"));
  EXPECT_FALSE(j.Has("join while busy"));
}

TEST_F(MainDlgTest, CopyFailureKeepsTheOldVersion) {
  worker.installResult = -1000;
  Start();
  DownloadDone();
  MainClosed();
  ExpectBoxes({{L"安装更新文件失败！", kError, MessageButtons::Ok}});
  EXPECT_FALSE(j.Has("config write VERSION LOCAL_VERSION=1.2.0"));
  EXPECT_FALSE(j.Has("open Norvane.exe"));
  EXPECT_EQ(host.exitCode, 2);
}

class RestartTest : public MainDlgTest, public ::testing::WithParamInterface<int> {};

TEST_P(RestartTest, SuccessRecordsTheVersionBeforeAskingToRestart) {
  Start();
  DownloadDone();
  host.answers = {GetParam()};
  MainClosed();
  ExpectBoxes({{L"更新完成，是否启动主程序！", kNotice, MessageButtons::YesNo}});
  const long write = j.IndexOf("config write VERSION LOCAL_VERSION=1.2.0");
  ASSERT_GE(write, 0);
  EXPECT_LT(j.IndexOf("install"), write);
  EXPECT_LT(write, j.IndexOf("box 更新完成，是否启动主程序！"));
  EXPECT_EQ(j.Has("open Norvane.exe"), GetParam() == kIdYes);
  EXPECT_EQ(host.exitCode, 2);
  EXPECT_FALSE(j.Has("join while busy"));
}

INSTANTIATE_TEST_SUITE_P(Answers, RestartTest, ::testing::Values(kIdYes, kIdNo));

TEST_F(MainDlgTest, BusyQuestionAnsweredNoChangesNothing) {
  Start();
  host.answers = {kIdNo};
  const size_t before = j.entries.size();
  Command(kIdCancel);
  ExpectBoxes({{L"程序正在更新，强制关闭有可能导致程序无法运行！", kNotice, MessageButtons::YesNo}});
  EXPECT_EQ(j.entries.size(), before + 1);  // only the box
  EXPECT_FALSE(host.quit);
  // The download goes on and completes normally.
  Progress(500);
  EXPECT_EQ(host.texts[static_cast<ControlHandle>(0xFFFF)], L"50%");
}

TEST_F(MainDlgTest, ForcedCloseReleasesTheBusyWorkerWithoutWaiting) {
  Start();
  host.answers = {kIdYes};
  Command(kIdCancel);
  EXPECT_LT(j.IndexOf("detach"), j.IndexOf("join"));
  EXPECT_TRUE(worker.detached);
  EXPECT_EQ(worker.state, FakeWorker::State::Downloading) << "not stopped, only released";
  EXPECT_EQ(host.exitCode, 2);
}

TEST_F(MainDlgTest, ClosingWhileTheMainProgramIsBeingClosedAsksFirst) {
  Start();
  DownloadDone();
  host.answers = {kIdNo, kIdYes};
  Command(kIdCancel);
  EXPECT_FALSE(host.quit);
  Command(kIdCancel);
  EXPECT_EQ(host.boxes.size(), 2u);
  EXPECT_TRUE(worker.detached);
  EXPECT_EQ(host.exitCode, 2);
}

TEST_F(MainDlgTest, ProgressGoesOnWhileTheBusyQuestionIsOpen) {
  Start();
  host.answers = {kIdNo};
  host.whileBoxOpen = [this] { Progress(250); };
  Command(kIdCancel);
  EXPECT_EQ(host.texts[static_cast<ControlHandle>(0xFFFF)], L"25%");
}

TEST_F(MainDlgTest, EnterBeforeTheCheckEndsWithOne) {
  EXPECT_EQ(host.Send(kWmInitDialog), 1);
  Command(kIdOk);
  EXPECT_EQ(host.exitCode, 1);
  EXPECT_FALSE(j.Has("check"));
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(MainDlgTest, ClosingBeforeTheFirstTimerEventEndsWithTwoAndNoCheck) {
  EXPECT_EQ(host.Send(kWmInitDialog), 1);
  host.PostToSelf(kWmClose);
  host.RunLoop();
  EXPECT_EQ(host.exitCode, 2);
  EXPECT_FALSE(j.Has("check"));
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_TRUE(j.Has("loop remove"));
}

TEST_F(MainDlgTest, OtherTimersAndStatusValuesAreIgnored) {
  Start();
  const size_t before = j.entries.size();
  host.Send(kWmTimer, 7);
  host.Send(WM_DOWNLOAD_STATUS, 9, 0);
  EXPECT_EQ(j.entries.size(), before);
  std::intptr_t r = 0;
  EXPECT_FALSE(dlg.ProcessWindowMessage(kWmCommand, 1002, 0, r));
  EXPECT_FALSE(dlg.ProcessWindowMessage(kWmClose, 0, 0, r));
}

}  // namespace
