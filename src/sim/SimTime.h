// The simulator's own sense of time: real time, with every delay divided by
// its time scale. It never reads the tool's clock, because tests run the
// simulator and the tool in one process, each accelerated separately.
#pragma once

#include <chrono>
#include <cstdint>

using SimClock = std::chrono::steady_clock;
using SimTime = SimClock::time_point;

// "No deadline".
constexpr SimTime SIM_NEVER = SimTime::max();

// The real duration of ms simulator milliseconds at the given scale.
inline SimClock::duration ScaledDelay(uint32_t ms, double scale) {
  if (!(scale > 0)) scale = 1;
  return std::chrono::duration_cast<SimClock::duration>(
      std::chrono::duration<double, std::milli>(ms / scale));
}

// A wait's time-out in whole real milliseconds, rounded up, from now to deadline:
// 0 when it has passed, -1 when there is none.
inline int WaitTimeoutMs(SimTime now, SimTime deadline) {
  if (deadline == SIM_NEVER) return -1;
  if (deadline <= now) return 0;
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count();
  const long long ms = (us + 999) / 1000;
  return ms > 60000 ? 60000 : static_cast<int>(ms);
}
