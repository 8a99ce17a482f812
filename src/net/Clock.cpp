#include "net/Clock.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;

const SteadyClock::time_point g_Start = SteadyClock::now();
const time_t g_WallStart = time(nullptr);
std::atomic<double> g_Scale{1.0};

}  // namespace

void Clock::SetScale(double factor) {
  if (factor > 0) g_Scale.store(factor);
}

double Clock::Scale() { return g_Scale.load(); }

uint64_t Clock::TickCount() {
  const double realMs =
      std::chrono::duration<double, std::milli>(SteadyClock::now() - g_Start).count();
  return static_cast<uint64_t>(realMs * Scale());
}

void Clock::Sleep(uint32_t ms) {
  const double realMs = ms / Scale();
  // Under a microsecond (only at extreme scales) the system call would
  // last longer than the pause, and give the processor away besides.
  if (realMs < 0.001) return;
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(realMs));
}

int Clock::RealTimeoutMs(uint32_t ms) {
  if (ms == INFINITE) return -1;
  const double real = std::ceil(ms / Scale());
  return real > 2147483647.0 ? 2147483647 : static_cast<int>(real);
}

time_t Clock::WallSeconds() {
  return g_WallStart + static_cast<time_t>(TickCount() / 1000);
}
