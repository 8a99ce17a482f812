#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include "platform/SignalHold.h"

#include <windows.h>

#include <algorithm>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>

// The console's requests arrive on a thread of the system's, in a handler
// every hold shares: it is installed once and, with no hold alive, lets
// the request through to the system's own handling (the process ends).
// Removing it instead could wait on the system's lock of its handlers
// while a close request waits in it for the hold to end.
struct SignalHold::Native {
  HANDLE m_Arrived = nullptr;  // auto-reset: set when m_Signals gets one
  std::vector<int> m_Signals;  // guarded by g_Lock
};

namespace {

std::mutex g_Lock;
std::vector<SignalHold::Native*> g_Holds;
HANDLE g_NoHold = nullptr;  // manual-reset: set while no hold is alive

int SignalOf(DWORD request) {
  switch (request) {
    case CTRL_C_EVENT: return SIGINT;
    case CTRL_BREAK_EVENT: return SIGBREAK;
    default: return SIGTERM;  // the console closed, the user logs off, the system shuts down
  }
}

BOOL WINAPI OnConsoleRequest(DWORD request) {
  {
    std::lock_guard<std::mutex> lock(g_Lock);
    if (g_Holds.empty()) return FALSE;
    for (SignalHold::Native* hold : g_Holds) {
      hold->m_Signals.push_back(SignalOf(request));
      SetEvent(hold->m_Arrived);
    }
  }
  if (request == CTRL_C_EVENT || request == CTRL_BREAK_EVENT) return TRUE;
  // After this handler returns the system ends the process whatever it
  // answers, and it waits for the handler a few seconds only: the work
  // gets what time there is.
  WaitForSingleObject(g_NoHold, INFINITE);
  return TRUE;
}

}  // namespace

SignalHold::SignalHold() : m_Native(std::make_unique<Native>()) {
  m_Native->m_Arrived = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  static std::once_flag installed;
  std::call_once(installed, [] {
    g_NoHold = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    SetConsoleCtrlHandler(OnConsoleRequest, TRUE);
  });
  std::lock_guard<std::mutex> lock(g_Lock);
  g_Holds.push_back(m_Native.get());
  ResetEvent(g_NoHold);
}

SignalHold::~SignalHold() {
  {
    std::lock_guard<std::mutex> lock(g_Lock);
    g_Holds.erase(std::find(g_Holds.begin(), g_Holds.end(), m_Native.get()));
    if (g_Holds.empty()) SetEvent(g_NoHold);
  }
  if (m_Native->m_Arrived) CloseHandle(m_Native->m_Arrived);
}

void SignalHold::Run(const std::function<void()>& work, const std::function<void(int)>& onSignal) {
  const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!done || !m_Native->m_Arrived) {
    // Without events nothing can be waited on; the requests are still held.
    work();
    if (done) CloseHandle(done);
    return;
  }
  std::thread worker([&] {
    work();
    SetEvent(done);
  });
  // Requests first: one that came with the work's end is still handed over.
  const HANDLE events[2] = {m_Native->m_Arrived, done};
  while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
    std::vector<int> arrived;
    {
      std::lock_guard<std::mutex> lock(g_Lock);
      arrived.swap(m_Native->m_Signals);
    }
    for (int signal : arrived) {
      m_LastSignal = signal;
      onSignal(signal);
    }
  }
  worker.join();
  CloseHandle(done);
}
