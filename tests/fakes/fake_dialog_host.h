// A DialogHost that records every operation in a Journal and plays the window
// system's part for the dialog logic: a queue of posted messages, one timer,
// modal boxes whose answers the test scripts, and the confirmation dialog.
//
// Boxes behave like the real nested loops in one respect the logic depends on:
// while a box is open, a running timer fires (as if the box stayed open for
// longer than the timer's interval) and the test's `whileBoxOpen` hook may feed
// further messages, as the worker thread would.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "platform/dialog_host.h"
#include "fakes/journal.h"

class FakeDialogHost : public DialogHost {
 public:
  // Called with the message map of the dialog under test.
  using MessageMap = std::function<bool(unsigned, std::uintptr_t, std::intptr_t, std::intptr_t&)>;

  struct Box {
    std::wstring text;
    std::wstring caption;
    MessageButtons buttons;
  };

  explicit FakeDialogHost(Journal& journal) : m_journal(journal) {}

  void Attach(MessageMap map) { m_map = std::move(map); }

  // Sends a message to the dialog as the window system would, turning an
  // unhandled kWmClose into the command kIdCancel.
  std::intptr_t Send(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
    std::intptr_t result = 0;
    if (!destroyed && m_map(message, wParam, lParam, result)) return result;
    if (message == kWmClose && !destroyed) m_map(kWmCommand, kIdCancel, 0, result);
    return result;
  }

  // Runs the top-level loop: posted messages first, then a due timer event,
  // until the loop has been told to quit or nothing is left to do.
  void RunLoop() {
    while (!quit) {
      if (!posted.empty()) {
        const unsigned m = posted.front();
        posted.pop_front();
        Send(m);
      } else if (timerRunning) {
        Send(kWmTimer, timerId);
      } else {
        return;
      }
    }
  }

  // --- DialogHost
  WindowHandle Window() override { return WindowHandle{42}; }
  ControlHandle GetControl(int id) override {
    m_journal.Add("bind " + std::to_string(id));
    return static_cast<ControlHandle>(id == -1 ? 0xFFFF : id);
  }
  void CenterWindow() override { m_journal.Add("center"); }
  void SetIcons() override { m_journal.Add("icons"); }
  void AddToMessageLoop() override { m_journal.Add("loop add"); }
  void RemoveFromMessageLoop() override { m_journal.Add("loop remove"); }

  int ShowMessage(const std::wstring& text, const std::wstring& caption, MessageButtons buttons) override {
    boxes.push_back({text, caption, buttons});
    m_journal.Add("box " + JournalText(text));
    ++boxDepth;
    if (timerRunning) Send(kWmTimer, timerId);
    if (whileBoxOpen) {
      auto hook = std::move(whileBoxOpen);
      whileBoxOpen = nullptr;
      hook();
    }
    --boxDepth;
    int answer = buttons == MessageButtons::Ok ? kIdOk : kIdYes;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
    return answer;
  }

  void ShowControl(ControlHandle control, bool visible) override {
    shown[control] = visible;
    m_journal.Add(std::string(visible ? "show " : "hide ") + std::to_string(static_cast<long>(control)));
  }
  void SetControlText(ControlHandle control, const std::wstring& text) override {
    texts[control] = text;
    m_journal.Add("text " + JournalText(text));
  }
  void SetProgressRange(ControlHandle, int low, int high) override {
    rangeLow = low, rangeHigh = high;
    m_journal.Add("range " + std::to_string(low) + ".." + std::to_string(high));
  }
  void SetProgressPos(ControlHandle, int pos) override {
    position = pos < rangeLow ? rangeLow : pos > rangeHigh ? rangeHigh : pos;
    m_journal.Add("pos " + std::to_string(pos));
  }
  void StartTimer(std::uintptr_t id, unsigned ms) override {
    timerRunning = true, timerId = id;
    m_journal.Add("timer start " + std::to_string(id) + " " + std::to_string(ms));
  }
  void StopTimer(std::uintptr_t id) override {
    if (id == timerId) timerRunning = false;
    m_journal.Add("timer stop " + std::to_string(id));
  }
  void PostToSelf(unsigned message) override {
    posted.push_back(message);
    m_journal.Add("post " + std::to_string(message));
  }
  void OpenProgram(const std::wstring& file) override { m_journal.Add("open " + JournalText(file)); }
  void RunHintDialog() override {
    m_journal.Add("hint");
    if (hintDialog) hintDialog();
  }
  void DestroyDialog() override {
    m_journal.Add("destroy");
    Send(kWmDestroy);
    destroyed = true;
  }
  void QuitLoop(int code) override {
    m_journal.Add("quit " + std::to_string(code));
    quit = true;
    exitCode = code;
  }

  // --- state the tests read and script
  std::deque<int> answers;               // answers of the next boxes; default OK / Yes
  std::function<void()> whileBoxOpen;    // runs once, inside the next box
  std::function<void()> hintDialog;      // what the confirmation dialog does
  std::vector<Box> boxes;
  std::deque<unsigned> posted;
  std::map<ControlHandle, bool> shown;
  std::map<ControlHandle, std::wstring> texts;
  int rangeLow = 0, rangeHigh = 100, position = 0;
  bool timerRunning = false;
  std::uintptr_t timerId = 0;
  int boxDepth = 0;
  bool destroyed = false;
  bool quit = false;
  int exitCode = -1;

 private:
  Journal& m_journal;
  MessageMap m_map;
};
