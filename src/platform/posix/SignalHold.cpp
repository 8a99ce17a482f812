#include "platform/SignalHold.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <ctime>
#include <thread>

struct SignalHold::Native {
  sigset_t m_Held;
  sigset_t m_OldMask;
};

// The signals are blocked in this thread and in every thread started
// meanwhile; the waiting thread takes them with sigtimedwait.
SignalHold::SignalHold() : m_Native(std::make_unique<Native>()) {
  sigemptyset(&m_Native->m_Held);
  sigaddset(&m_Native->m_Held, SIGINT);
  sigaddset(&m_Native->m_Held, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &m_Native->m_Held, &m_Native->m_OldMask);
}

SignalHold::~SignalHold() {
  const timespec now{0, 0};
  while (sigtimedwait(&m_Native->m_Held, nullptr, &now) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &m_Native->m_OldMask, nullptr);
}

void SignalHold::Run(const std::function<void()>& work, const std::function<void(int)>& onSignal) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    work();
    done = true;
  });
  // The worker's end is noticed within one slice; signals at once.
  const timespec slice{0, 20 * 1000 * 1000};
  while (!done) {
    const int signal = sigtimedwait(&m_Native->m_Held, nullptr, &slice);
    if (signal > 0) {
      m_LastSignal = signal;
      onSignal(signal);
    }
  }
  worker.join();
}
