#include "support/TestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace testsupport {

TempDir::TempDir() {
  std::string base = std::filesystem::temp_directory_path().string() + "/qel-test-XXXXXX";
  std::vector<char> buffer(base.begin(), base.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) abort();
  m_Path = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_Path, ignored);
}

int FreePort() {
  // Bind TCP and UDP to port 0 until the kernel gives a number free for both.
  for (int attempt = 0; attempt < 50; ++attempt) {
    int tcp = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(tcp, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(tcp, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      close(tcp);
      continue;
    }
    int udp = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any = address;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool free = bind(udp, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
    close(udp);
    close(tcp);
    if (free) return ntohs(address.sin_port);
  }
  abort();
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

std::vector<std::string> LogMessages(const std::string& text) {
  constexpr size_t STAMP = 20;  // "YYYY-MM-DD HH:MM:SS "
  std::vector<std::string> messages;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    messages.push_back(end - start >= STAMP ? text.substr(start + STAMP, end - start - STAMP) : std::string());
  }
  return messages;
}

bool WaitUntil(const std::function<bool()>& condition, int realMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

std::string BinDir() {
  const char* dir = getenv("QEL_BIN_DIR");
  return dir ? dir : ".";
}

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_Name(name) {
  const char* old = getenv(name);
  m_HadOld = old != nullptr;
  if (old) m_Old = old;
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (m_HadOld) {
    setenv(m_Name.c_str(), m_Old.c_str(), 1);
  } else {
    unsetenv(m_Name.c_str());
  }
}

}  // namespace testsupport
