// Holds SIGINT and SIGTERM while long work runs on a worker thread: the
// signals are blocked in this thread and in every thread started meanwhile,
// and each one that arrives is handed to a callback on the waiting thread
// instead of ending the process. The work is never cut short, so the upgrade
// log and the gateway are always left in order.
#pragma once

#include <signal.h>

#include <functional>

class SignalHold {
 public:
  // Blocks the two signals in the calling thread (threads started later
  // inherit the mask).
  SignalHold();
  // Drops signals still pending and restores the mask.
  ~SignalHold();
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

  // Runs work on a new thread and waits for it; each signal that arrives
  // meanwhile calls onSignal (with its number) on this thread.
  void Run(const std::function<void()>& work, const std::function<void(int)>& onSignal);

  // The last signal that arrived, 0 when none did.
  int LastSignal() const { return m_LastSignal; }

 private:
  sigset_t m_Held;
  sigset_t m_OldMask;
  int m_LastSignal = 0;
};
