// Waiting for a socket to become ready, optionally together with a cancel
// eventfd, for a time-out in program milliseconds (INFINITE: no limit).
#pragma once

#include <cstdint>

enum class SocketWait { Ready, Cancelled, TimedOut, Failed };

// events: POLLIN or POLLOUT. cancelFd < 0: no cancel. When the socket and
// the cancel are both signalled the socket wins. Failed leaves errno set.
// An interrupted poll is resumed with the time that remains.
SocketWait WaitForSocket(int fd, short events, int cancelFd, uint32_t timeoutMs);

// The port's last-error code for a wait that did not end Ready:
// WAIT_CANCELLED, WAIT_TIMED_OUT, or errno for a failed one.
int WaitErrorCode(SocketWait wait);

// What is left of timeoutMs program milliseconds since start (a TickCount
// reading); INFINITE stays INFINITE.
uint32_t RemainingMs(uint64_t start, uint32_t timeoutMs);
