// The application module: the process's instance handle and show command, and
// the message loop of each thread that runs one.
//
// Init comes before any window exists and Term after the last loop has ended.
// The thread-to-loop map is guarded by the module's lock, so any thread may
// look its own loop up; only the thread that runs a loop uses it.
#pragma once

#include <windows.h>

#include <map>

#include "platform/win32/message_loop.h"

namespace platform::win32 {

class CAppModule {
 public:
  CAppModule();
  CAppModule(const CAppModule&) = delete;
  CAppModule& operator=(const CAppModule&) = delete;
  ~CAppModule();

  void Init(HINSTANCE instance, int showCommand);
  // Frees the map; loops still in it are not touched.
  void Term();

  HINSTANCE Instance() const { return m_hInstance; }
  int ShowCommand() const { return m_nShowCommand; }

  // False when this thread already has a loop.
  bool AddMessageLoop(CMessageLoop* loop);
  bool RemoveMessageLoop();
  // The loop of the calling thread (or of `threadId`); null when none.
  CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId());

 private:
  HINSTANCE m_hInstance;  // the program's own until Init
  int m_nShowCommand = SW_SHOWDEFAULT;
  CRITICAL_SECTION m_lock;
  std::map<DWORD, CMessageLoop*> m_loops;
};

// The one module of the process.
CAppModule& Module();

}  // namespace platform::win32
