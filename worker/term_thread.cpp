#include "worker/term_thread.h"

TermThread::~TermThread() {
  if (!m_bStarted || m_bDetached) return;
  if (!platform::ForceEndThread(m_hThread, 0)) platform::WaitThread(m_hThread);
  platform::ReleaseThread(m_hThread);
  m_hThread = platform::ThreadHandle::None;
  m_bDetached = true;
}

bool TermThread::Start(std::int32_t param) {
  if (m_bStarted) return true;
  m_nParam = param;
  std::uint32_t id = 0;
  const platform::ThreadHandle thread = platform::StartThread(&TermThread::ThreadProc, this, id);
  if (thread == platform::ThreadHandle::None) return false;
  m_hThread = thread;
  m_uThreadId = id;
  if (m_bDetached) {
    platform::ReleaseThread(m_hThread);
    m_hThread = platform::ThreadHandle::None;
  }
  m_bStarted = true;
  return true;
}

std::uint32_t TermThread::Join() {
  if (!m_bStarted || m_bDetached) return 0;
  const std::uint32_t code = platform::WaitThread(m_hThread);
  platform::ReleaseThread(m_hThread);
  m_hThread = platform::ThreadHandle::None;
  m_bDetached = true;
  return code;
}

void TermThread::Detach() {
  if (m_bStarted && !m_bDetached) {
    platform::ReleaseThread(m_hThread);
    m_hThread = platform::ThreadHandle::None;
  }
  m_bDetached = true;
}

std::uint32_t TermThread::ThreadProc(void* object) {
  auto* self = static_cast<TermThread*>(object);
  const std::uint32_t code = self->Run();
  // The last touch of the object: whoever sees this may free it.
  self->m_bEnded.store(true);
  return code;
}
