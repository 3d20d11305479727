// Other processes of the machine: listing them, reading the file name of a
// process's executable, asking a process to close the way a user would, a
// timed wait for its end, a forced end and the test whether it still runs.
//
// Call order: ListProcessIds; then, per identifier, OpenProcessForClose, any of
// the operations on the handle, and CloseProcessHandle for every handle that
// was opened.
//
// Contract (both realisations):
// - A handle keeps naming the process it was opened for, also after that
//   process has ended (its identifier may be reused by then; the handle is not).
// - A process that has ended but is not yet reaped by its parent (a zombie)
//   counts as ended.
// - Nothing throws; nothing waits unless it says so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using ProcessId = std::uint32_t;

enum class ProcessHandle : std::uintptr_t { None = 0 };

// The identifiers of every running process, all of them, in the platform's
// own order (POSIX: ascending). False when the list cannot be read; `ids` is
// then empty.
bool ListProcessIds(std::vector<ProcessId>& ids);

// The identifier of the calling process.
ProcessId CurrentProcessId();

// Opens the process with the rights the operations below need (reading its
// executable's name, waiting for it, ending it). None when the process is
// gone or may not be inspected or signalled by this one.
ProcessHandle OpenProcessForClose(ProcessId id);

// The file name, without folder, of the process's executable; empty when it
// cannot be read.
std::wstring ProcessExecutableName(ProcessHandle process);

// Asks the process to close as a user would: a close request to each of its
// top-level windows, posted, never waited for. Where the process has no such
// window, or the window system cannot be reached, the platform's polite
// termination request is sent instead if it has one (POSIX: SIGTERM; Windows
// has none, so nothing is sent).
void AskProcessToClose(ProcessHandle process);

// Waits up to `milliseconds` for the process to end. True when it has ended
// (also when it had ended before the call); false on time-out or failure.
bool WaitForProcessEnd(ProcessHandle process, std::uint32_t milliseconds);

// Ends the process by force with `exitCode` (where the platform lets one be
// chosen; POSIX ends it by SIGKILL). The end may take effect a little later.
// False when the request was refused.
bool ForceEndProcess(ProcessHandle process, std::uint32_t exitCode);

// True while the process has not ended, and also when that cannot be read.
bool IsProcessActive(ProcessHandle process);

// Gives the handle back. None does nothing.
void CloseProcessHandle(ProcessHandle process);

}  // namespace platform
