#include "platform/win32/app_module.h"

namespace platform::win32 {

namespace {

class Lock {
 public:
  explicit Lock(CRITICAL_SECTION& cs) : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock() { ::LeaveCriticalSection(&m_cs); }

 private:
  CRITICAL_SECTION& m_cs;
};

}  // namespace

CAppModule::CAppModule() : m_hInstance(::GetModuleHandleW(nullptr)) { ::InitializeCriticalSection(&m_lock); }
CAppModule::~CAppModule() { ::DeleteCriticalSection(&m_lock); }

void CAppModule::Init(HINSTANCE instance, int showCommand) {
  m_hInstance = instance;
  m_nShowCommand = showCommand;
}

void CAppModule::Term() {
  Lock lock(m_lock);
  m_loops.clear();
}

bool CAppModule::AddMessageLoop(CMessageLoop* loop) {
  Lock lock(m_lock);
  return m_loops.emplace(::GetCurrentThreadId(), loop).second;
}

bool CAppModule::RemoveMessageLoop() {
  Lock lock(m_lock);
  return m_loops.erase(::GetCurrentThreadId()) != 0;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) {
  Lock lock(m_lock);
  const auto it = m_loops.find(threadId);
  return it == m_loops.end() ? nullptr : it->second;
}

CAppModule& Module() {
  // Never destroyed: a thread left running at exit may still look it up.
  static auto* module = new CAppModule;
  return *module;
}

}  // namespace platform::win32
