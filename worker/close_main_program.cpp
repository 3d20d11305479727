// The main program's shutdown: found by its executable's file name, asked to
// close, given the grace period, then ended by force.
#include <vector>

#include "platform/process.h"
#include "worker/download_update.h"

namespace {

// Closes one process that matched. True when it has ended.
bool CloseProcess(platform::ProcessHandle process, const ShutdownTiming& timing) {
  // First the polite request and the full grace period, then the forced end.
  platform::AskProcessToClose(process);
  if (!platform::WaitForProcessEnd(process, timing.gracePeriodMs)) platform::ForceEndProcess(process, 0);
  // A forced end may take effect late; repeat it once per interval, but not
  // for ever, since a process stuck in the kernel never ends.
  for (std::uint32_t repeated = 0; platform::IsProcessActive(process) && repeated < timing.maxRepeatedForcedEnds;
       ++repeated) {
    if (platform::WaitForProcessEnd(process, timing.pollIntervalMs)) break;
    platform::ForceEndProcess(process, 0);
  }
  return !platform::IsProcessActive(process);
}

}  // namespace

int CDownloadUpdate::CloseMainProgram(const wchar_t* moduleName, const ShutdownTiming& timing) {
  const std::wstring name = moduleName != nullptr ? moduleName : L"";
  std::vector<platform::ProcessId> ids;
  if (name.empty() || !platform::ListProcessIds(ids)) return 0;
  const platform::ProcessId self = platform::CurrentProcessId();
  for (const platform::ProcessId id : ids) {
    if (id == self) continue;
    const platform::ProcessHandle process = platform::OpenProcessForClose(id);
    // Processes this one may not inspect or signal are passed over.
    if (process == platform::ProcessHandle::None) continue;
    if (platform::ProcessExecutableName(process) != name) {
      platform::CloseProcessHandle(process);
      continue;
    }
    const bool ended = CloseProcess(process, timing);
    platform::CloseProcessHandle(process);
    return ended ? 1 : 0;  // only the first match is closed
  }
  return 0;
}
