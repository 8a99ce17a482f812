// Small helpers shared by the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A fresh directory under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return m_Path; }
  std::string File(const std::string& name) const { return m_Path + "/" + name; }

 private:
  std::string m_Path;
};

// Sets an environment variable (unset when value is null) for as long as
// the object lives, e.g. TMPDIR, where the engine writes its log.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();

 private:
  std::string m_Name;
  std::optional<std::string> m_Old;
};

// A port number free a moment ago for both UDP and TCP (the simulator
// serves both on one number).
int FreePort();

std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadText(const std::string& path);

// The messages of log text (lines ending in CR LF), each without its
// "YYYY-MM-DD HH:MM:SS " timestamp.
std::vector<std::string> LogMessages(const std::string& text);

// Polls condition every millisecond until it holds or realMs have passed.
bool WaitUntil(const std::function<bool()>& condition, int realMs);

// Directory of the built programs (qel, qel-gateway-sim, qel-upgrade).
std::string BinDir();

// Runs a shell command; returns its exit status and, when output is given,
// fills it with the command's stdout.
int RunCommand(const std::string& command, std::string* output);

}  // namespace testsupport
