// A real terminal for a test: a tmux server of the test's own with one
// window of a given size running a shell command, read back as a person
// would see it (capture-pane). Linux only (tmux, a POSIX shell).
#pragma once

#include <unistd.h>

#include "cli/TerminalText.h"
#include "support/TestSupport.h"

namespace testsupport {

class Tmux {
 public:
  // The command runs under sh; when it ends, "[exit N]" follows its output
  // and the window stays until the terminal goes. Ctrl-C reaches the
  // command alone.
  Tmux(const std::string& command, int columns, int rows)
      : m_Socket("qeltest-" + std::to_string(getpid()) + "-" + std::to_string(++Count())) {
    const std::string shell = "trap : INT; " + command + "; echo \"[exit $?]\"; exec sleep 600";
    m_Started = Tell("new-session -d -x " + std::to_string(columns) + " -y " + std::to_string(rows) + " " +
                     Quoted("sh -c " + Quoted(shell))) == 0;
  }
  ~Tmux() { Tell("kill-server"); }
  Tmux(const Tmux&) = delete;
  Tmux& operator=(const Tmux&) = delete;

  bool Started() const { return m_Started; }
  // The visible lines, as the terminal shows them (joined: a line the
  // terminal wrapped is one line). history: the lines scrolled off above too.
  std::vector<std::string> Lines(bool joined = false, bool history = false) const {
    std::string text;
    RunCommand("tmux -L " + m_Socket + " capture-pane -p" + (joined ? " -J" : "") + (history ? " -S -" : "") +
                   " -t 0 2>/dev/null",
               &text);
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::string Text(bool joined = false, bool history = false) const {
    std::string text;
    for (const std::string& line : Lines(joined, history)) text += line + "\n";
    return text;
  }
  void Resize(int columns, int rows) {
    Tell("resize-window -t 0 -x " + std::to_string(columns) + " -y " + std::to_string(rows));
  }
  void Keys(const std::string& keys) { Tell("send-keys -t 0 " + keys); }
  // Waits until the screen shows part.
  bool WaitFor(const std::string& part, int realMs) const {
    return WaitUntil([&] { return Text(true).find(part) != std::string::npos; }, realMs);
  }

  // How many lines start with prefix.
  static int Starting(const std::vector<std::string>& lines, const std::string& prefix) {
    int count = 0;
    for (const std::string& line : lines) count += line.rfind(prefix, 0) == 0;
    return count;
  }
  // The lines wider than columns, for the assertion message ("" when none).
  static std::string Wider(const std::vector<std::string>& lines, size_t columns) {
    std::string wide;
    for (const std::string& line : lines)
      if (DisplayWidth(line) > columns) wide += line + "\n";
    return wide;
  }

 private:
  static int& Count() {
    static int count = 0;
    return count;
  }
  static std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  int Tell(const std::string& request) const {
    return RunCommand("tmux -L " + m_Socket + " -f /dev/null " + request + " >/dev/null 2>&1", nullptr);
  }

  std::string m_Socket;
  bool m_Started = false;
};

}  // namespace testsupport
