#include "net/SocketWait.h"

#include <poll.h>

#include <cerrno>

#include "log/SystemErrorText.h"
#include "net/Clock.h"

SocketWait WaitForSocket(int fd, short events, int cancelFd, uint32_t timeoutMs) {
  const uint64_t start = Clock::TickCount();
  pollfd fds[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
  const nfds_t count = cancelFd >= 0 ? 2 : 1;
  for (;;) {
    const int result = poll(fds, count, Clock::RealTimeoutMs(RemainingMs(start, timeoutMs)));
    if (result < 0) {
      if (errno == EINTR) continue;
      return SocketWait::Failed;
    }
    if (result == 0) return SocketWait::TimedOut;
    // Errors and hang-ups count as ready: the next call on the socket reports them.
    if (fds[0].revents != 0) return SocketWait::Ready;
    return SocketWait::Cancelled;
  }
}

int WaitErrorCode(SocketWait wait) {
  if (wait == SocketWait::Cancelled) return WAIT_CANCELLED;
  return wait == SocketWait::TimedOut ? WAIT_TIMED_OUT : errno;
}

uint32_t RemainingMs(uint64_t start, uint32_t timeoutMs) {
  if (timeoutMs == INFINITE) return INFINITE;
  const uint64_t elapsed = Clock::TickCount() - start;
  return elapsed >= timeoutMs ? 0 : static_cast<uint32_t>(timeoutMs - elapsed);
}
