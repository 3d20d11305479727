// A ModalDialogHost that records what the dialog logic asks of its window in a
// Journal; the owner is a real message window on this thread.
#pragma once

#include <string>

#include "fakes/journal.h"
#include "platform/modal_dialog_host.h"
#include "platform/text.h"

class FakeModalHost : public ModalDialogHost {
 public:
  FakeModalHost(Journal& journal, WindowHandle owner) : m_journal(journal), m_owner(owner) {}

  WindowHandle Owner() override { return m_owner; }
  ControlHandle GetControl(int id) override {
    m_journal.Add("bind " + std::to_string(id));
    return static_cast<ControlHandle>(id);
  }
  void CenterWindow() override { m_journal.Add("center"); }
  void SetControlText(ControlHandle control, const std::wstring& text) override {
    m_journal.Add("text " + std::to_string(static_cast<long>(control)) + " " + platform::WideToAnsi(text));
  }
  void EndDialog(int result) override {
    m_journal.Add("end " + std::to_string(result));
    ended = true;
  }

  bool ended = false;

 private:
  Journal& m_journal;
  WindowHandle m_owner;
};
