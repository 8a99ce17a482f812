// Holds the requests to stop (SIGINT and SIGTERM; on Windows the console's
// Ctrl-C, Ctrl-Break and close) while long work runs on a worker thread:
// each one that arrives is handed to a callback on the waiting thread
// instead of ending the process. The work is never cut short, so the
// upgrade log and the gateway are always left in order.
#pragma once

#include <functional>
#include <memory>

class SignalHold {
 public:
  // Holds the requests from now on (threads started later hold them too).
  SignalHold();
  // Drops requests still pending and lets them through again.
  ~SignalHold();
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

  // Runs work on a new thread and waits for it; each request that arrives
  // meanwhile calls onSignal (with its signal number: Ctrl-C is SIGINT) on
  // this thread.
  void Run(const std::function<void()>& work, const std::function<void(int)>& onSignal);

  // The last request that arrived, 0 when none did.
  int LastSignal() const { return m_LastSignal; }

  struct Native;

 private:
  std::unique_ptr<Native> m_Native;
  int m_LastSignal = 0;
};
