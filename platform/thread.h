// Threads: create one with an entry function and an argument, wait for its end
// and read its exit code, release it without waiting, and stop it by force
// where the platform can.
//
// Contract (both realisations):
// - A handle comes from StartThread and is given back exactly once, to
//   ReleaseThread. Between the two it may be waited for any number of times.
// - Releasing a handle never waits: a thread still running goes on unobserved
//   and ends by itself. Nothing the realisation keeps for it outlives it.
// - The thread identifier is the kernel's own number for the thread (on
//   Linux the one listed under /proc/self/task), known when StartThread
//   returns.
// - Nothing throws.
#pragma once

#include <cstdint>

namespace platform {

enum class ThreadHandle : std::uintptr_t { None = 0 };

// The body of a thread; its result is the thread's exit code.
using ThreadEntry = std::uint32_t (*)(void* argument);

// Creates a thread that runs entry(argument) at once, with the platform's
// default stack. Returns its handle and sets `threadId`; None when no thread
// could be created (`threadId` is then unchanged).
ThreadHandle StartThread(ThreadEntry entry, void* argument, std::uint32_t& threadId);

// Waits without limit until the thread has ended and returns its exit code.
// Must not be called on the thread itself. None gives 0 at once.
std::uint32_t WaitThread(ThreadHandle thread);

// Gives the handle back. A thread that is still running keeps running.
// None does nothing.
void ReleaseThread(ThreadHandle thread);

// Ends a running thread at once with `exitCode`, without letting it run any
// further code. False when the platform has no such operation (POSIX) or it
// failed; the thread then runs on and the caller must bring it to an end by
// other means. The handle stays valid either way.
bool ForceEndThread(ThreadHandle thread, std::uint32_t exitCode);

}  // namespace platform
