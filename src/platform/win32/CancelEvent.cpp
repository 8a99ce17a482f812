#include "platform/CancelEvent.h"

#include "platform/win32/Native.h"

CCancelEvent::CCancelEvent() : m_Native(std::make_unique<Native>()) { m_Native->m_Event = WSACreateEvent(); }

CCancelEvent::~CCancelEvent() {
  if (IsValid()) WSACloseEvent(m_Native->m_Event);
}

bool CCancelEvent::IsValid() const { return m_Native->m_Event != WSA_INVALID_EVENT; }

void CCancelEvent::Set() {
  if (!IsValid()) return;
  std::lock_guard<std::mutex> guard(m_Native->m_Lock);
  WSASetEvent(m_Native->m_Event);
}

// A manual-reset event cannot be tested and reset at once; the lock keeps a
// Set from falling between the two.
bool CCancelEvent::Take() {
  if (!IsValid()) return false;
  std::lock_guard<std::mutex> guard(m_Native->m_Lock);
  const bool set = WaitForSingleObject(m_Native->m_Event, 0) == WAIT_OBJECT_0;
  WSAResetEvent(m_Native->m_Event);
  return set;
}
