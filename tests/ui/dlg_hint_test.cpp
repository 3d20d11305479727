// The confirmation dialog's logic: its text, and the one hand-over to the
// main dialog that OK and Cancel both make.
#include "ui/dlg_hint.h"

#include <gtest/gtest.h>

#include <functional>

#include "fakes/fake_modal_host.h"
#include "platform/posix/message_window.h"
#include "ui/messages.h"

namespace {

class DlgHintTest : public ::testing::Test {
 protected:
  std::intptr_t Send(unsigned message, std::uintptr_t wParam = 0) {
    std::intptr_t result = 0;
    hint.ProcessWindowMessage(message, wParam, 0, result);
    return result;
  }

  Journal j;
  // What the main dialog does when the installation is handed over.
  std::function<void()> onStartInstall;
  platform::MessageWindow owner{[this](unsigned m, std::uintptr_t, std::intptr_t) -> std::intptr_t {
                                  if (m == WM_START_INSTALL) {
                                    j.Add("start install" + std::string(host.ended ? " after the end" : ""));
                                    if (onStartInstall) onStartInstall();
                                  }
                                  return 0;
                                },
                                [] {}};
  FakeModalHost host{j, owner.Handle()};
  CDlgHint hint{host};
};

TEST_F(DlgHintTest, InitCentresOverTheOwnerAndSetsTheText) {
  EXPECT_EQ(Send(kWmInitDialog), 1);
  EXPECT_EQ(j.entries, (std::vector<std::string>{
                           "center", "bind 1002", "text 1002 安装更新包需要关闭主进程，请确认关闭主进程！"}));
}

TEST_F(DlgHintTest, OkAndCancelBothStartTheInstallationOnceBeforeTheEnd) {
  for (const int id : {kIdOk, kIdCancel}) {
    Journal journal;
    platform::MessageWindow window(
        [&](unsigned m, std::uintptr_t, std::intptr_t) -> std::intptr_t {
          if (m == WM_START_INSTALL) journal.Add("start install");
          return 0;
        },
        [] {});
    FakeModalHost modal(journal, window.Handle());
    CDlgHint dialog(modal);
    std::intptr_t result = 0;
    EXPECT_TRUE(dialog.ProcessWindowMessage(kWmCommand, static_cast<std::uintptr_t>(id), 0, result));
    EXPECT_EQ(journal.entries, (std::vector<std::string>{"start install", "end " + std::to_string(id)})) << id;
  }
}

TEST_F(DlgHintTest, ASecondCommandWhileTheFirstIsBeingHandledIsIgnored) {
  Send(kWmInitDialog);
  // The main dialog's unpacking shows a box; a command that reaches the
  // confirmation dialog meanwhile must not start a second installation.
  onStartInstall = [this] { Send(kWmCommand, kIdCancel); };
  Send(kWmCommand, kIdOk);
  Send(kWmCommand, kIdOk);
  EXPECT_EQ(j.Count("start install"), 1);
  EXPECT_EQ(j.Count("end 1"), 1);
  EXPECT_FALSE(j.Has("end 2"));
}

TEST_F(DlgHintTest, OtherCommandsAreLeftToTheWindowSystem) {
  std::intptr_t result = 0;
  EXPECT_FALSE(hint.ProcessWindowMessage(kWmCommand, 1002, 0, result));
  EXPECT_FALSE(hint.ProcessWindowMessage(kWmTimer, 1, 0, result));
  EXPECT_TRUE(j.entries.empty());
}

}  // namespace
