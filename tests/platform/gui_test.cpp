// The GTK window system against a private X server: the order in which the
// loops hand messages to the dialogs, including inside boxes and the modal
// dialog.
#include "platform/gui.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/xvfb.h"

namespace {

constexpr unsigned kQuit = kWmUser + 100;
constexpr unsigned kSend = kWmUser + 101;

const platform::ControlTemplate kButton[] = {
    {kIdOk, platform::ControlKind::Button, L"确定", 10, 10, 50, 14, true, false, true}};
const platform::DialogTemplate kMain{1, L"main", 100, 50, L"", 9, true, true, {}, {}};
const platform::DialogTemplate kModal{2, L"modal", 80, 40, L"", 8, false, false, kButton, {}};

// Answers the box that is open at that moment, as its user would.
void AnswerOpenBoxWith(int response) {
  GList* windows = gtk_window_list_toplevels();
  for (GList* w = windows; w; w = w->next)
    if (GTK_IS_MESSAGE_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)))
      gtk_dialog_response(GTK_DIALOG(w->data), response);
  g_list_free(windows);
}

class GuiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    display = new Xvfb;
    ASSERT_TRUE(display->Start()) << display->Error();
    ASSERT_TRUE(platform::InitWindowSystem());
  }
  static void TearDownTestSuite() {
    delete display;
    display = nullptr;
  }

  // Creates the main window with `handler` as its map; kQuit ends the loop.
  void Create(std::function<void(unsigned, std::uintptr_t)> handler) {
    m_handler = std::move(handler);
    ASSERT_TRUE(window.Create([this](unsigned m, std::uintptr_t w, std::intptr_t, std::intptr_t& r) {
      r = 0;
      if (m == kQuit) {
        window.QuitLoop(7);
        return true;
      }
      m_handler(m, w);
      // A close request is left to the window, which turns it into Cancel.
      return m != kWmInitDialog && m != kWmDestroy && m != kWmClose;
    }));
    window.Show();
  }

  static Xvfb* display;
  std::vector<std::string> seen;
  std::function<void(platform::DialogWindow&)> hint;
  platform::DialogWindow window{kMain, [this](platform::DialogWindow& owner) {
                                  if (hint) hint(owner);
                                }};

 private:
  std::function<void(unsigned, std::uintptr_t)> m_handler;
};

Xvfb* GuiTest::display = nullptr;

TEST_F(GuiTest, PostsAreHandledInOrderAfterTheHandlerThatPostedThem) {
  Create([this](unsigned m, std::uintptr_t) {
    if (m == kWmInitDialog) return;
    seen.push_back(std::to_string(m - kWmUser));
    if (m == kWmUser + 1) {
      window.PostToSelf(kWmUser + 4);
      window.PostToSelf(kQuit);
      seen.push_back("end of 1");
    }
  });
  for (unsigned m : {1u, 2u, 3u}) window.PostToSelf(kWmUser + m);
  EXPECT_EQ(platform::RunMessageLoop(), 7);
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "end of 1", "2", "3", "4"}));
}

TEST_F(GuiTest, StoppingTheTimerDropsAnEventAlreadyDue) {
  int events = 0;
  Create([&](unsigned m, std::uintptr_t w) {
    if (m == kWmTimer && w == 5) {
      if (++events == 2) {
        // The next event falls due while this handler runs; the message
        // posted here is handled first and stops the timer.
        usleep(50 * 1000);
        window.PostToSelf(kWmUser + 1);
      }
    } else if (m == kWmUser + 1) {
      window.StopTimer(5);
      window.PostToSelf(kWmUser + 2);
    } else if (m == kWmUser + 2) {
      // Give a wrongly kept event every chance to arrive.
      usleep(50 * 1000);
      window.PostToSelf(kQuit);
    }
  });
  window.StartTimer(5, 1);
  platform::RunMessageLoop();
  EXPECT_EQ(events, 2);
}

TEST_F(GuiTest, AWorkerSendIsHandledInsideAMessageBox) {
  std::thread worker;
  int answer = -1;
  Create([&](unsigned m, std::uintptr_t) {
    if (m == kWmUser + 1) {
      const WindowHandle target = window.Window();
      worker = std::thread([target] { platform::SendWindowMessage(target, kSend, 0, 0); });
      answer = window.ShowMessage(L"text", L"提示", MessageButtons::YesNo);
      seen.push_back("box returned");
      window.PostToSelf(kQuit);
    } else if (m == kSend) {
      seen.push_back("send");
      AnswerOpenBoxWith(kIdNo);
    }
  });
  window.PostToSelf(kWmUser + 1);
  platform::RunMessageLoop();
  worker.join();
  EXPECT_EQ(seen, (std::vector<std::string>{"send", "box returned"}));
  EXPECT_EQ(answer, kIdNo);
}

TEST_F(GuiTest, ClosingABoxAnswersNoForYesNoAndOkForOk) {
  std::vector<int> answers;
  Create([&](unsigned m, std::uintptr_t) {
    if (m != kWmUser + 1) return;
    for (const MessageButtons buttons : {MessageButtons::YesNo, MessageButtons::Ok}) {
      g_timeout_add(10, [](gpointer) -> gboolean {
        AnswerOpenBoxWith(GTK_RESPONSE_DELETE_EVENT);
        return G_SOURCE_REMOVE;
      }, nullptr);
      answers.push_back(window.ShowMessage(L"text", L"提示", buttons));
    }
    window.PostToSelf(kQuit);
  });
  window.PostToSelf(kWmUser + 1);
  platform::RunMessageLoop();
  EXPECT_EQ(answers, (std::vector<int>{kIdNo, kIdOk}));
}

TEST_F(GuiTest, AMessagePostedBeforeABoxWaitsUntilItsHandlerReturns) {
  std::thread worker;
  Create([&](unsigned m, std::uintptr_t) {
    if (m == kWmUser + 1) {
      window.PostToSelf(kWmUser + 2);
      const WindowHandle target = window.Window();
      worker = std::thread([target] { platform::SendWindowMessage(target, kSend, 0, 0); });
      window.ShowMessage(L"text", L"提示", MessageButtons::Ok);
      seen.push_back("end of 1");
    } else if (m == kSend) {
      // Inside the box: let the loop run a while before answering, so a
      // posted message that it wrongly handled would show up.
      g_timeout_add(50, [](gpointer) -> gboolean {
        AnswerOpenBoxWith(kIdOk);
        return G_SOURCE_REMOVE;
      }, nullptr);
    } else if (m == kWmUser + 2) {
      seen.push_back("2");
      window.PostToSelf(kQuit);
    }
  });
  window.PostToSelf(kWmUser + 1);
  platform::RunMessageLoop();
  worker.join();
  EXPECT_EQ(seen, (std::vector<std::string>{"end of 1", "2"}));
}

TEST_F(GuiTest, TheModalDialogEndsBeforeAMessagePostedByItsLastCommand) {
  // The confirmation dialog's command hands over to the main dialog, whose
  // handler posts a close request; that request must not be handled inside
  // the dialog's loop, where the worker may still wait for the main dialog.
  std::thread worker;
  platform::ModalDialog* open = nullptr;
  int result = 0;
  hint = [&](platform::DialogWindow& owner) {
    platform::ModalDialog dialog(owner, kModal);
    open = &dialog;
    result = dialog.Run([&](unsigned m, std::uintptr_t, std::intptr_t, std::intptr_t&) {
      if (m == kWmInitDialog) {
        const WindowHandle target = window.Window();
        worker = std::thread([target] { platform::SendWindowMessage(target, kSend, 0, 0); });
      }
      return true;
    });
    open = nullptr;
    seen.push_back("dialog ended");
  };
  Create([&](unsigned m, std::uintptr_t) {
    if (m == kWmUser + 1) {
      window.RunHintDialog();
    } else if (m == kSend) {
      window.PostToSelf(kWmClose);
      ASSERT_NE(open, nullptr);
      open->EndDialog(kIdOk);
    } else if (m == kWmCommand) {
      seen.push_back("close");
      window.PostToSelf(kQuit);
    }
  });
  window.PostToSelf(kWmUser + 1);
  platform::RunMessageLoop();
  worker.join();
  EXPECT_EQ(result, kIdOk);
  EXPECT_EQ(seen, (std::vector<std::string>{"dialog ended", "close"}));
}

}  // namespace
