#include "platform/CancelEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/posix/Native.h"

CCancelEvent::CCancelEvent() : m_Native(std::make_unique<Native>()) {
  m_Native->m_Fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CCancelEvent::~CCancelEvent() {
  if (m_Native->m_Fd >= 0) close(m_Native->m_Fd);
}

bool CCancelEvent::IsValid() const { return m_Native->m_Fd >= 0; }

void CCancelEvent::Set() {
  const uint64_t one = 1;
  if (m_Native->m_Fd >= 0) {
    const ssize_t ignored = write(m_Native->m_Fd, &one, sizeof one);
    (void)ignored;
  }
}

bool CCancelEvent::Take() {
  uint64_t count = 0;
  return m_Native->m_Fd >= 0 && read(m_Native->m_Fd, &count, sizeof count) == static_cast<ssize_t>(sizeof count);
}
