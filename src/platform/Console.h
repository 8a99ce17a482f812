// The terminal a command-line program writes to.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Readies stdout and stderr for UTF-8 text and, on a terminal that takes
// them, colours and redraws; call once, first.
void PrepareConsole();
// Whether out is a terminal that takes colours and redraws.
bool IsTerminal(FILE* out);
// The command line as UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// The visible size of a terminal in character cells; 0 x 0 when out is none.
struct TerminalSize {
  int m_Columns = 0;
  int m_Rows = 0;
  bool operator==(const TerminalSize&) const = default;
};
TerminalSize TerminalSizeOf(FILE* out);

// Tells when the terminal's size changes. On Linux the terminal says so
// (SIGWINCH); on Windows the console's size is compared at each wait.
// Make it on the main thread before other threads start: on Linux the
// signal is then taken only by Wait, and never interrupts another thread's
// system call.
class TerminalResizeWatch {
 public:
  explicit TerminalResizeWatch(FILE* out);
  ~TerminalResizeWatch();
  TerminalResizeWatch(const TerminalResizeWatch&) = delete;
  TerminalResizeWatch& operator=(const TerminalResizeWatch&) = delete;

  // Waits up to realMs of real time; true when the size changed meanwhile
  // (or since the last wait).
  bool Wait(unsigned realMs);

 private:
  FILE* m_Out;
  TerminalSize m_Last;
};
