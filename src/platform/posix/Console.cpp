#include "platform/Console.h"

#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <ctime>

// Terminals here take UTF-8, colours and redraws as they are.
void PrepareConsole() {}

bool IsTerminal(FILE* out) { return isatty(fileno(out)) != 0; }

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

TerminalSize TerminalSizeOf(FILE* out) {
  winsize size{};
  if (ioctl(fileno(out), TIOCGWINSZ, &size) != 0) return {};
  return {size.ws_col, size.ws_row};
}

namespace {

sigset_t ResizeSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGWINCH);
  return set;
}

}  // namespace

// Blocked here and in every thread started later, the signal stays pending
// until Wait takes it.
TerminalResizeWatch::TerminalResizeWatch(FILE* out) : m_Out(out), m_Last(TerminalSizeOf(out)) {
  const sigset_t set = ResizeSignal();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// The signal stays blocked: threads started meanwhile hold it blocked too,
// and its default action is to be ignored.
TerminalResizeWatch::~TerminalResizeWatch() = default;

bool TerminalResizeWatch::Wait(unsigned realMs) {
  const sigset_t set = ResizeSignal();
  const timespec limit{static_cast<time_t>(realMs / 1000), static_cast<long>(realMs % 1000) * 1000000L};
  sigtimedwait(&set, nullptr, &limit);
  const TerminalSize now = TerminalSizeOf(m_Out);
  const bool changed = !(now == m_Last);
  m_Last = now;
  return changed;
}
