// Small helpers shared by the tests, on Linux and on Windows alike (the few
// calls the two systems spell differently are told apart here).
#pragma once

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/Clock.h"
#include "platform/LogFile.h"
#include "platform/Networking.h"
#include "platform/Socket.h"

namespace testsupport {

// The sockets library, started once in every test program, as the
// programs start it (on Windows no socket works before).
inline const bool g_NetworkingStarted = [] {
  uint16_t granted = 0;
  return StartNetworking(0x0202, &granted) == 0;
}();

// Runs the program clock scale times faster for as long as it lives, then
// at the speed it had before: no test leaves the clock changed for the next.
class ScopedClockScale {
 public:
  explicit ScopedClockScale(double scale) : m_Before(Clock::Scale()) { Clock::SetScale(scale); }
  ~ScopedClockScale() { Clock::SetScale(m_Before); }
  ScopedClockScale(const ScopedClockScale&) = delete;
  ScopedClockScale& operator=(const ScopedClockScale&) = delete;

 private:
  double m_Before;
};

// Real time a loaded test machine may add to a timed run, in milliseconds;
// on the program clock it counts as this times the clock's scale. The
// Windows build's tests run under Wine, where every socket call is a round
// trip to Wine's server: the same steps take several times longer there.
#ifdef _WIN32
constexpr uint64_t LOADED_MACHINE_REAL_MS = 400;
#else
constexpr uint64_t LOADED_MACHINE_REAL_MS = 100;
#endif

// A fresh directory under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir() {
    std::random_device random;
    for (int tries = 0; tries < 100; ++tries) {
      m_Path = std::filesystem::temp_directory_path().generic_string() + "/qel-test-" + std::to_string(random());
      std::error_code error;
      if (std::filesystem::create_directory(m_Path, error)) return;
    }
    abort();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_Path, ignored);
  }
  const std::string& Path() const { return m_Path; }
  std::string File(const std::string& name) const { return m_Path + "/" + name; }

 private:
  std::string m_Path;
};

// Sets an environment variable (unset when value is null) for as long as
// the object lives, e.g. TMPDIR, where the engine writes its log.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : m_Name(name) {
    if (const char* old = getenv(name)) m_Old = old;
    Set(name, value);
  }
  ~ScopedEnv() { Set(m_Name.c_str(), m_Old ? m_Old->c_str() : nullptr); }

 private:
  static void Set(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    value ? setenv(name, value, 1) : unsetenv(name);
#endif
  }

  std::string m_Name;
  std::optional<std::string> m_Old;
};

// Points the log's folder at path for as long as it lives: TMPDIR, or on
// Windows TMP, whence the system's temporary directory comes.
class ScopedLogFolder : public ScopedEnv {
 public:
#ifdef _WIN32
  explicit ScopedLogFolder(const std::string& path) : ScopedEnv("TMP", path.c_str()) {}
#else
  explicit ScopedLogFolder(const std::string& path) : ScopedEnv("TMPDIR", path.c_str()) {}
#endif
};

// The system's codes for a refused connect and a reset connection.
#ifdef _WIN32
constexpr int CONNECTION_REFUSED = 10061, CONNECTION_RESET = 10054;
#else
constexpr int CONNECTION_REFUSED = ECONNREFUSED, CONNECTION_RESET = ECONNRESET;
#endif

// A port number free a moment ago for both UDP and TCP (the simulator
// serves both on one number): UDP picks it, it is taken when TCP can have it too.
inline int FreePort() {
  for (;;) {
    CSocket udp, tcp;
    udp.Open(CSocket::UDP);
    tcp.Open(CSocket::TCP);
    udp.Bind(Ipv4Endpoint());
    const uint16_t port = udp.LocalPort();
    if (port != 0 && tcp.Bind(Ipv4Endpoint{{}, port})) return port;
  }
}

inline std::string ReadText(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}
inline std::vector<uint8_t> ReadFile(const std::string& path) {
  const std::string text = ReadText(path);
  return {text.begin(), text.end()};
}
inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A log file's text as UTF-8, whatever code page it is written in.
inline std::string ReadLog(const std::string& path) { return LogTextToUtf8(ReadText(path)); }

// The messages of log text (lines ending in CR LF), each without its
// "YYYY-MM-DD HH:MM:SS " timestamp (20 bytes).
inline std::vector<std::string> LogMessages(const std::string& text) {
  std::vector<std::string> messages;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    messages.push_back(end - start >= 20 ? text.substr(start + 20, end - start - 20) : "");
  return messages;
}

// Polls condition every millisecond until it holds or realMs have passed.
inline bool WaitUntil(const std::function<bool()>& condition, int realMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
  for (; std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(1)))
    if (condition()) return true;
  return condition();
}

// Directory of the built programs (qel, qel-gateway-sim, qel-upgrade).
inline std::string BinDir() { return getenv("QEL_BIN_DIR") ? getenv("QEL_BIN_DIR") : "."; }

// Runs a shell command; returns its exit status and, when output is given,
// fills it with the command's stdout.
inline int RunCommand(const std::string& command, std::string* output) {
#ifdef _WIN32
  FILE* pipe = _popen(command.c_str(), "rb");
#else
  FILE* pipe = popen(command.c_str(), "r");
#endif
  char buffer[4096];
  if (output) output->clear();
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    if (output) output->append(buffer, n);
#ifdef _WIN32
  return _pclose(pipe);
#else
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace testsupport
