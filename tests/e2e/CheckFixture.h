// Shared pieces of the Check tests: notices recorded instead of shown, a
// bare discovery responder (a router with no TCP service, answering from
// its n-th request on), and a fixture with the simulator in-process on
// loopback, a package directory and a Check run into a terminal list.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/CheckProcedure.h"
#include "app/ModuleTable.h"
#include "cli/TerminalModuleList.h"
#include "diag/Hdlc.h"
#include "engine/UpgradeEngine.h"
#include "log/Notice.h"
#include "net/Clock.h"
#include "packages/PackageBuilder.h"
#include "sim/GatewaySim.h"
#include "support/TestSupport.h"

namespace checktest {

constexpr const char* LOOPBACK_BROADCAST = "127.255.255.255";

class RecordingNotices : public INoticeSink {
 public:
  void ShowNotice(const std::string&, const std::string& text) override {
    std::lock_guard<std::mutex> hold(m_Lock);
    m_Texts.push_back(text);
  }
  std::vector<std::string> Texts() const {
    std::lock_guard<std::mutex> hold(m_Lock);
    return m_Texts;
  }

 private:
  mutable std::mutex m_Lock;
  std::vector<std::string> m_Texts;
};

// Answers discovery requests on UDP port with 127.0.0.1, a MAC and a version
// text; requests before number answerFrom (counted from 1) go unanswered.
class DiscoveryResponder {
 public:
  DiscoveryResponder(int port, int answerFrom, std::string version)
      : m_AnswerFrom(answerFrom), m_Version(std::move(version)) {
    m_Socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(m_Socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(static_cast<uint16_t>(port));
    m_Bound = bind(m_Socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    m_Thread = std::thread([this] { Serve(); });
  }
  ~DiscoveryResponder() {
    m_Stop = true;
    m_Thread.join();
    close(m_Socket);
  }
  bool Bound() const { return m_Bound; }
  int Requests() const { return m_Requests.load(); }

  static constexpr uint8_t MAC[6] = {0x02, 0x51, 0xE1, 0x0A, 0x0B, 0x0C};

 private:
  void Serve() {
    while (!m_Stop) {
      pollfd ready{m_Socket, POLLIN, 0};
      if (poll(&ready, 1, 5) != 1) continue;
      uint8_t datagram[512];
      sockaddr_in sender{};
      socklen_t length = sizeof sender;
      const ssize_t n = recvfrom(m_Socket, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&sender), &length);
      if (n <= 0 || sender.sin_addr.s_addr != htonl(INADDR_LOOPBACK)) continue;
      if (++m_Requests < m_AnswerFrom) continue;
      std::vector<uint8_t> reply(11 + m_Version.size() + 1, 0);
      reply.resize(std::max<size_t>(reply.size(), 32), 0);
      reply[0] = 1;
      const uint8_t ip[4] = {127, 0, 0, 1};
      memcpy(&reply[1], ip, 4);
      memcpy(&reply[5], MAC, 6);
      memcpy(&reply[11], m_Version.data(), m_Version.size());
      std::vector<uint8_t> frame(HdlcMaxEncodedLength(static_cast<uint32_t>(reply.size())));
      frame.resize(HdlcEncode(reply.data(), static_cast<uint32_t>(reply.size()), frame.data(), 1));
      sendto(m_Socket, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&sender), length);
    }
  }

  int m_Socket = -1;
  bool m_Bound = false;
  int m_AnswerFrom;
  std::string m_Version;
  std::atomic<int> m_Requests{0};
  std::atomic<bool> m_Stop{false};
  std::thread m_Thread;
};

class CheckFixture : public ::testing::Test {
 protected:
  static constexpr double TIME_SCALE = 50;

  void SetUp() override {
    Clock::SetScale(TIME_SCALE);
    m_SimOptions.m_TimeScale = TIME_SCALE;
    m_Port = testsupport::FreePort();
    m_SimOptions.m_Port = m_Port;
    // The engine's log goes to this test's own directory.
    const char* old = getenv("TMPDIR");
    m_HadTmpDir = old != nullptr;
    if (old) m_OldTmpDir = old;
    setenv("TMPDIR", m_LogDir.Path().c_str(), 1);
    SetNoticeSink(&m_Notices);
    m_Table.LoadTypeNames();
  }

  void TearDown() override {
    m_Engine.reset();
    if (m_Sim) m_Sim->Stop();
    SetNoticeSink(nullptr);
    if (m_HadTmpDir) {
      setenv("TMPDIR", m_OldTmpDir.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

  void StartSim() {
    m_Sim = std::make_unique<GatewaySim>(m_SimOptions);
    ASSERT_TRUE(m_Sim->Start());
  }

  // Writes a package of the kind with that version text into the package
  // directory.
  void AddPackage(ModuleKind kind, const std::string& version) {
    PackagePlan plan;
    plan.m_Kind = kind;
    plan.m_Version = version;
    std::vector<uint8_t> data(64);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 5 + kind);
    plan.m_Units = {PackageUnit{0x00100000, data}};
    std::string reason;
    ASSERT_TRUE(WritePackageFile(plan, m_PackageDir.File("module" + std::to_string(kind) + ".bin"), &reason))
        << reason;
  }

  // One Check with a new engine, as the window's check thread runs it.
  bool Check() {
    m_Engine = std::make_unique<UpgradeEngine>(&m_List, &m_Table);
    m_Engine->m_RouterPort = m_Port;
    CheckOptions options;
    options.m_PackageDir = m_PackageDir.Path();
    options.m_Broadcast = LOOPBACK_BROADCAST;
    return RunCheck(*m_Engine, m_List, options);
  }

  std::string Cell(int row, int column) const {
    const std::vector<TerminalRow> rows = m_List.Rows();
    return static_cast<size_t>(row) < rows.size() ? rows[row].m_Cells[column] : "<no row>";
  }
  uint32_t Colour(int row) const { return m_List.Rows().at(row).m_Colour; }

  size_t EventCount(const std::string& name) const {
    size_t count = 0;
    for (const SimEvent& event : m_Sim->Events()) count += event.m_Name == name;
    return count;
  }
  // Log messages without their timestamps.
  std::vector<std::string> Messages() const { return testsupport::LogMessages(m_Engine->m_Log.Pending()); }
  bool Logged(const std::string& message) const {
    for (const std::string& line : Messages())
      if (line == message) return true;
    return false;
  }

  testsupport::TempDir m_LogDir;
  testsupport::TempDir m_PackageDir;
  int m_Port = 0;
  SimOptions m_SimOptions;
  std::unique_ptr<GatewaySim> m_Sim;
  RecordingNotices m_Notices;
  TerminalModuleList m_List{stdout, false};
  ModuleTable m_Table;
  std::unique_ptr<UpgradeEngine> m_Engine;
  std::string m_OldTmpDir;
  bool m_HadTmpDir = false;
};

}  // namespace checktest
