// Threads through the run-time library's thread start, so the C run-time is
// set up for each of them.
#include "platform/thread.h"

#include <windows.h>
#include <process.h>

#include <new>

namespace platform {

namespace {

struct Start {
  ThreadEntry entry;
  void* argument;
};

unsigned __stdcall Trampoline(void* p) {
  const Start start = *static_cast<Start*>(p);
  delete static_cast<Start*>(p);
  return start.entry(start.argument);
}

HANDLE Native(ThreadHandle thread) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(thread)); }

}  // namespace

ThreadHandle StartThread(ThreadEntry entry, void* argument, std::uint32_t& threadId) {
  auto* start = new (std::nothrow) Start{entry, argument};
  if (start == nullptr) return ThreadHandle::None;
  unsigned id = 0;
  const std::uintptr_t handle = ::_beginthreadex(nullptr, 0, Trampoline, start, 0, &id);
  if (handle == 0) {
    delete start;
    return ThreadHandle::None;
  }
  threadId = id;
  return static_cast<ThreadHandle>(handle);
}

std::uint32_t WaitThread(ThreadHandle thread) {
  if (thread == ThreadHandle::None) return 0;
  ::WaitForSingleObject(Native(thread), INFINITE);
  DWORD code = 0;
  ::GetExitCodeThread(Native(thread), &code);
  return code;
}

void ReleaseThread(ThreadHandle thread) {
  if (thread != ThreadHandle::None) ::CloseHandle(Native(thread));
}

bool ForceEndThread(ThreadHandle thread, std::uint32_t exitCode) {
  return thread != ThreadHandle::None && ::TerminateThread(Native(thread), exitCode) != 0;
}

}  // namespace platform
