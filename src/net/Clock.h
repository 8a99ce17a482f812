// The one clock of the process. Every pause, time-out and tick reading of the
// transport and of everything above it goes through here, so that a test (or
// a curious user) can run a whole upgrade faster with --time-scale.
//
// Times given to and read from the clock are "program milliseconds": at a scale
// of 1 they are real milliseconds, exactly as the protocol states them; at a
// scale of X every program millisecond lasts 1/X of a real one.
#pragma once

#include <cstdint>
#include <ctime>

// The time-out value that waits without limit. Windows' own headers give the
// same name to the same value, as a macro, in whatever file sees both.
#ifndef INFINITE
constexpr uint32_t INFINITE = 0xFFFFFFFFu;
#endif

class Clock {
 public:
  // Sets the speed factor; meant to be called once, at process start, before
  // any thread runs. Values of 0 or below are ignored.
  static void SetScale(double factor);
  static double Scale();

  // Milliseconds of program time since the process started. Monotonic.
  static uint64_t TickCount();

  // Pauses the calling thread for ms program milliseconds.
  static void Sleep(uint32_t ms);

  // A program time-out in real milliseconds, rounded up, for poll():
  // INFINITE gives -1 (wait without limit).
  static int RealTimeoutMs(uint32_t ms);

  // Wall-clock seconds as the program sees them: the real time at process
  // start plus the elapsed program time. Used for the elapsed times shown to
  // the user, so that they agree with the accelerated pauses.
  static time_t WallSeconds();
};
