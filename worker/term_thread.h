// TermThread: one background thread owned by an object, whose body is the
// object's Run. The thread is created once; the owner either waits for it
// (Join) or lets it go (Detach).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/thread.h"

class TermThread {
 public:
  TermThread() = default;
  TermThread(const TermThread&) = delete;
  TermThread& operator=(const TermThread&) = delete;
  // A thread that was started and neither joined nor detached is stopped by
  // force. Where the platform cannot do that, this waits for the thread to end
  // instead: a derived class whose Run does not end by itself must bring its
  // thread to an end in its own destructor (CDownloadUpdate does).
  virtual ~TermThread();

  // The body of the thread; its result is the exit code.
  virtual std::uint32_t Run() = 0;

  // Creates the thread once, keeping `param` in m_nParam; later calls do
  // nothing and return true. False when the thread could not be created.
  bool Start(std::int32_t param);
  // Waits without limit for a started, unreleased thread to end, releases it
  // and returns its exit code; otherwise 0 at once.
  std::uint32_t Join();
  // Releases a started thread without waiting (it goes on running) and marks
  // the thread released in every case, so a later Start lets its thread run
  // unobserved.
  void Detach();

  // True from Start until Run has returned; false for a thread never started.
  // Once false, the thread touches the object no more.
  bool IsRunning() const { return m_bStarted && !m_bEnded.load(); }
  std::uint32_t ThreadId() const { return m_uThreadId; }

 protected:
  static std::uint32_t ThreadProc(void* object);

  platform::ThreadHandle m_hThread = platform::ThreadHandle::None;
  bool m_bStarted = false;
  bool m_bDetached = false;
  std::int32_t m_nParam = 0;
  std::uint32_t m_uThreadId = 0;

 private:
  std::atomic<bool> m_bEnded{false};
};
