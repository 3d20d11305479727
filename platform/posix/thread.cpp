// Threads on the standard library. A handle owns the std::thread; the exit
// code lives in a record shared with the running thread, so a released
// (detached) thread can still store it safely.
#include "platform/thread.h"

#include <unistd.h>

#include <future>
#include <memory>
#include <system_error>
#include <thread>

namespace platform {

namespace {

struct ThreadRecord {
  std::thread thread;
  std::shared_ptr<std::uint32_t> exitCode;
};

ThreadRecord* Record(ThreadHandle handle) {
  return reinterpret_cast<ThreadRecord*>(static_cast<std::uintptr_t>(handle));
}

}  // namespace

ThreadHandle StartThread(ThreadEntry entry, void* argument, std::uint32_t& threadId) {
  if (entry == nullptr) return ThreadHandle::None;
  auto record = std::make_unique<ThreadRecord>();
  record->exitCode = std::make_shared<std::uint32_t>(0);
  // The new thread reports its kernel id before it runs the body, so the id is
  // known when this returns. The promise belongs to the thread, which keeps
  // its shared state alive however long the creator holds the future.
  std::promise<std::uint32_t> idPromise;
  std::future<std::uint32_t> id = idPromise.get_future();
  try {
    record->thread = std::thread(
        [entry, argument, code = record->exitCode](std::promise<std::uint32_t> started) {
          started.set_value(static_cast<std::uint32_t>(::gettid()));
          *code = entry(argument);
        },
        std::move(idPromise));
  } catch (const std::system_error&) {
    return ThreadHandle::None;
  }
  threadId = id.get();
  return static_cast<ThreadHandle>(reinterpret_cast<std::uintptr_t>(record.release()));
}

std::uint32_t WaitThread(ThreadHandle thread) {
  ThreadRecord* record = Record(thread);
  if (record == nullptr) return 0;
  if (record->thread.joinable() && record->thread.get_id() != std::this_thread::get_id()) record->thread.join();
  return record->thread.joinable() ? 0 : *record->exitCode;
}

void ReleaseThread(ThreadHandle thread) {
  ThreadRecord* record = Record(thread);
  if (record == nullptr) return;
  if (record->thread.joinable()) record->thread.detach();
  delete record;
}

bool ForceEndThread(ThreadHandle, std::uint32_t) { return false; }

}  // namespace platform
