#include "net/SocketWait.h"

#include "net/Clock.h"
#include "platform/SystemError.h"

SocketWait WaitForSocket(const CSocket& socket, bool writable, const CCancelEvent* cancel, uint32_t timeoutMs) {
  return socket.Wait(writable, cancel, Clock::RealTimeoutMs(timeoutMs));
}

int WaitErrorCode(SocketWait wait) {
  if (wait == SocketWait::Cancelled) return WAIT_CANCELLED;
  return wait == SocketWait::TimedOut ? WAIT_TIMED_OUT : LastSystemError();
}

uint32_t RemainingMs(uint64_t start, uint32_t timeoutMs) {
  if (timeoutMs == INFINITE) return INFINITE;
  const uint64_t elapsed = Clock::TickCount() - start;
  return elapsed >= timeoutMs ? 0 : static_cast<uint32_t>(timeoutMs - elapsed);
}
