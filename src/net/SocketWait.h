// Waiting for a socket to become ready, optionally together with a cancel
// event, for a time-out in program milliseconds (INFINITE: no limit).
#pragma once

#include <cstdint>

#include "platform/Socket.h"

// Until socket can be read (or written), cancel (may be null) is set, or
// the time-out has passed.
SocketWait WaitForSocket(const CSocket& socket, bool writable, const CCancelEvent* cancel, uint32_t timeoutMs);

// The port's last-error code for a wait that did not end Ready:
// WAIT_CANCELLED, WAIT_TIMED_OUT, or the system's code for a failed one.
int WaitErrorCode(SocketWait wait);

// What is left of timeoutMs program milliseconds since start (a TickCount
// reading); INFINITE stays INFINITE.
uint32_t RemainingMs(uint64_t start, uint32_t timeoutMs);
