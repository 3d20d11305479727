// Other processes through the process-status functions and the window list.
#include "platform/process.h"

#include <windows.h>
#include <psapi.h>


namespace platform {

namespace {

constexpr DWORD kRights = PROCESS_TERMINATE | PROCESS_VM_READ | PROCESS_QUERY_INFORMATION | SYNCHRONIZE;
constexpr DWORD kModuleNameCapacity = 260;

HANDLE Native(ProcessHandle process) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(process)); }

BOOL CALLBACK CloseWindowsOfProcess(HWND window, LPARAM processId) {
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(processId)) ::PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;  // every top-level window is visited
}

}  // namespace

bool ListProcessIds(std::vector<ProcessId>& ids) {
  ids.clear();
  // The list is asked for again with more room until it no longer fills the
  // buffer, so that no process is left out.
  std::vector<DWORD> buffer(512);
  for (;;) {
    DWORD bytes = 0;
    if (!::EnumProcesses(buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(DWORD)), &bytes)) return false;
    const size_t count = bytes / sizeof(DWORD);
    if (count < buffer.size()) {
      ids.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return true;
}

ProcessId CurrentProcessId() { return ::GetCurrentProcessId(); }

ProcessHandle OpenProcessForClose(ProcessId id) {
  const HANDLE process = ::OpenProcess(kRights, FALSE, id);
  return process == nullptr ? ProcessHandle::None : static_cast<ProcessHandle>(reinterpret_cast<std::uintptr_t>(process));
}

std::wstring ProcessExecutableName(ProcessHandle process) {
  if (process == ProcessHandle::None) return {};
  // The first module of a process is its executable.
  HMODULE first = nullptr;
  DWORD needed = 0;
  if (!::EnumProcessModules(Native(process), &first, sizeof first, &needed)) return {};
  wchar_t name[kModuleNameCapacity] = {};
  const DWORD n = ::GetModuleBaseNameW(Native(process), first, name, kModuleNameCapacity);
  return std::wstring(name, n);
}

void AskProcessToClose(ProcessHandle process) {
  if (process == ProcessHandle::None) return;
  const DWORD id = ::GetProcessId(Native(process));
  if (id != 0) ::EnumWindows(CloseWindowsOfProcess, static_cast<LPARAM>(id));
}

bool WaitForProcessEnd(ProcessHandle process, std::uint32_t milliseconds) {
  return process != ProcessHandle::None && ::WaitForSingleObject(Native(process), milliseconds) == WAIT_OBJECT_0;
}

bool ForceEndProcess(ProcessHandle process, std::uint32_t exitCode) {
  return process != ProcessHandle::None && ::TerminateProcess(Native(process), exitCode) != 0;
}

bool IsProcessActive(ProcessHandle process) {
  if (process == ProcessHandle::None) return true;
  // The handle's signal tells an ended process from a running one even when
  // the process ended with the status that also means "still active" (259).
  switch (::WaitForSingleObject(Native(process), 0)) {
    case WAIT_OBJECT_0:
      return false;
    case WAIT_TIMEOUT:
      return true;
    default: {
      DWORD status = STILL_ACTIVE;
      return !::GetExitCodeProcess(Native(process), &status) || status == STILL_ACTIVE;
    }
  }
}

void CloseProcessHandle(ProcessHandle process) {
  if (process != ProcessHandle::None) ::CloseHandle(Native(process));
}

}  // namespace platform
