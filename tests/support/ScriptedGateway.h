// The simulator's wireless module behind a small router, answering the
// program's ports over a ScriptedLink on the program clock, and a fixture
// with an engine aimed at it. The router echoes its UDP commands (entering
// the forcing download mode restarts the module, as in the simulator),
// takes begin packets and router images on the TCP stream and answers an
// image with its result; every other frame goes to the module. Requests,
// images and written memory land in Recorder() under the simulator's names.
// A target that includes this links qelsim.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/UpgradeEngine.h"
#include "net/Clock.h"
#include "packages/PackageBuilder.h"
#include "router/RouterControlPacket.h"
#include "router/RouterUdpClient.h"
#include "sim/SimRecorder.h"
#include "sim/WirelessModule.h"
#include "support/Packages.h"
#include "support/Recorders.h"
#include "support/ScriptedPort.h"
#include "support/TestSupport.h"

namespace testsupport {

// Faults beyond the simulator's own, by request name.
struct ScriptedFaults {
  std::map<std::string, int> m_Silent = {};  // the next N answers to that request are lost
  // After the first request of that name, the next N writes of a port kind fail.
  std::map<std::string, std::pair<int, int>> m_FailWritesAfter = {};
};

class ScriptedGateway {
 public:
  ScriptedGateway(SimOptions options, ScriptedFaults faults)
      : m_Options(AtProgramSpeed(options)),
        m_Faults(std::move(faults)),
        m_Module(m_Options, &m_Router, &m_Recorder),
        m_Link([this](const Message& message) { Serve(message); }) {}

  // The request names in order without the pings (or only those in only),
  // a run of one name as "name*count".
  std::string Conversation(const std::set<std::string>& only = {}) const {
    std::vector<std::pair<std::string, int>> runs;
    for (const SimEvent& event : m_Recorder.Events()) {
      if (only.empty() ? event.m_Name == "ping" : only.count(event.m_Name) == 0) continue;
      if (!runs.empty() && runs.back().first == event.m_Name) {
        ++runs.back().second;
      } else {
        runs.emplace_back(event.m_Name, 1);
      }
    }
    std::string text;
    for (const auto& [name, count] : runs)
      text += (text.empty() ? "" : " ") + name + (count > 1 ? "*" + std::to_string(count) : "");
    return text;
  }
  const SimRecorder& Recorder() const { return m_Recorder; }
  ScriptedLink& Link() { return m_Link; }

 private:
  // The module's restarts and silences last as long on the program clock.
  static SimOptions AtProgramSpeed(SimOptions options) {
    options.m_TimeScale = Clock::Scale();
    return options;
  }

  void Serve(const Message& message) {
    std::lock_guard<std::mutex> hold(m_Lock);
    const SimTime now = SimClock::now();
    if (message.m_Kind == PORT_TCP && m_ImageLeft > 0) return TakeImage(message.m_Wire);
    if (!message.m_Framed || message.m_Payload.empty()) return;  // the lone flag byte
    std::vector<uint8_t> reply;
    bool reset = false;
    if (message.m_Kind == PORT_UDP) {
      reply = RouterCommand(message.m_Payload, now);
    } else if (message.Payload(0) == ROUTER_CONTROL_MARKER) {
      BeginPacket(message.m_Payload);
    } else {
      reply = m_Module.Handle(message.m_Payload.data(), message.m_Payload.size(), now, &reset);
    }
    const std::string name = m_Recorder.Events().back().m_Name;
    int& silent = m_Faults.m_Silent[name];
    if (silent > 0) {
      --silent;
      reply.clear();
    }
    if (m_Faults.m_FailWritesAfter.count(name)) {
      m_Link.FailWrites(m_Faults.m_FailWritesAfter[name].first, m_Faults.m_FailWritesAfter[name].second);
      m_Faults.m_FailWritesAfter.erase(name);
    }
    if (reset) m_Link.Reset();
    if (!reset && !reply.empty()) m_Link.Answer(reply, 0, true);
  }

  std::vector<uint8_t> RouterCommand(const std::vector<uint8_t>& request, SimTime now) {
    const SimFaults& faults = m_Options.m_Faults;
    const uint8_t code = request[0];
    m_Recorder.Request("udp",
                       code == ROUTER_CMD_ERASE_NVRAM         ? "erase-nvram"
                       : code == ROUTER_CMD_ENTER_FORCE_LOAD  ? "enter-force-load"
                       : code == ROUTER_CMD_LEAVE_FORCE_LOAD  ? "leave-force-load"
                       : code == ROUTER_CMD_PING              ? "ping"
                                                              : "unknown",
                       "");
    if (code == ROUTER_CMD_ENTER_FORCE_LOAD && !faults.m_ForceLoadRefused) {
      m_Router.m_ForceLoad = true;
      m_Module.Restart(now, false, "forcing download mode");
    }
    if (code == ROUTER_CMD_LEAVE_FORCE_LOAD) m_Router.m_ForceLoad = false;
    const bool silent = (code == ROUTER_CMD_ERASE_NVRAM && faults.m_EraseNotAnswered) ||
                        (code == ROUTER_CMD_ENTER_FORCE_LOAD && faults.m_ForceLoadRefused) ||
                        (code == ROUTER_CMD_PING && now < m_Router.m_PingSilentUntil) || code == ROUTER_CMD_DISCOVER;
    return silent ? std::vector<uint8_t>() : request;
  }

  void BeginPacket(const std::vector<uint8_t>& packet) {
    RouterControlPacket begin;
    std::memcpy(begin.m_Bytes, packet.data(), std::min(packet.size(), sizeof begin.m_Bytes));
    const std::string magic(reinterpret_cast<const char*>(begin.m_Bytes + 1), ROUTER_MAGIC_SIZE);
    const bool image = magic.find("RUT") != std::string::npos, force = magic.find("Force") != std::string::npos;
    m_Recorder.Request("tcp", image ? "rut-begin" : force ? "fwt-force" : "fwt-begin", "");
    if (force) m_Router.m_ForceLoad = true;
    m_ImageLeft = image ? begin.Value() : 0;
    m_Image.clear();
  }

  // Raw image bytes up to the announced size, then the result after the
  // installation time.
  void TakeImage(const std::vector<uint8_t>& bytes) {
    m_Image.insert(m_Image.end(), bytes.begin(), bytes.end());
    m_ImageLeft -= std::min<size_t>(m_ImageLeft, bytes.size());
    if (m_ImageLeft > 0) return;
    m_Recorder.RouterImage(m_Image);
    m_Recorder.Request("tcp", "rut-image", "");
    RouterControlPacket result;
    result.Set(nullptr, static_cast<uint32_t>(m_Options.m_Faults.m_RouterResultCode));
    if (!m_Options.m_Faults.m_NoRouterResult)
      m_Link.Answer({result.m_Bytes, result.m_Bytes + sizeof result.m_Bytes}, m_Options.m_InstallMs, true);
  }

  const SimOptions m_Options;
  ScriptedFaults m_Faults;
  std::mutex m_Lock;
  RouterState m_Router;
  size_t m_ImageLeft = 0;
  std::vector<uint8_t> m_Image;
  SimRecorder m_Recorder{"", true};
  WirelessModule m_Module;
  ScriptedLink m_Link;
};

// An engine aimed at a scripted gateway as a Check leaves it (router address
// and MAC known), packages in its own module table, rows recorded, its log in
// a scratch TMPDIR. Program time runs 500 times faster: the protocol's 3 s
// time-outs last 6 real milliseconds.
class GatewayTest : public ::testing::Test {
 protected:
  GatewayTest() {
    Clock::SetScale(500);
    m_Options.m_RestartMs = 3000;
    m_Options.m_InstallMs = 20000;  // as a router does: the result comes long after the tool listens for it
  }

  // Starts the gateway with m_Options and makes the engine (not connected).
  UpgradeEngine& Start(const ScriptedFaults& faults = {}) {
    m_Gateway = std::make_unique<ScriptedGateway>(m_Options, faults);
    m_Engine = std::make_unique<UpgradeEngine>(&m_List, &m_Table);
    const uint8_t loopback[4] = {127, 0, 0, 1};
    std::memcpy(m_Engine->m_RouterIp, loopback, 4);
    std::memcpy(m_Engine->m_RouterMac, m_Options.m_Mac, 6);
    return *m_Engine;
  }

  // Writes the kind's package with units of (load address, length) and selects its row.
  void AddPackage(ModuleKind kind, const std::vector<std::pair<uint32_t, size_t>>& units) {
    PackagePlan plan;
    plan.m_Kind = kind;
    for (const auto& [address, length] : units)
      plan.m_Units.push_back({address, Pattern(length, static_cast<uint8_t>(kind * 40 + (address >> 20)))});
    ModuleEntry& entry = m_Table[kind];
    entry.m_Package.m_Path = m_Dir.File("pkg" + std::to_string(kind) + ".bin");
    ASSERT_TRUE(WritePackageFile(plan, entry.m_Package.m_Path, nullptr) && entry.m_Package.Load());
    entry.m_VersionMatch = 1;
  }

  // A unit's data as the package holds it.
  std::vector<uint8_t> Data(ModuleKind kind, size_t unit = 0) const {
    const UpgradePackage& package = m_Table[kind].m_Package;
    return {package.UnitData(unit), package.UnitData(unit) + package.Extent(unit).m_Length};
  }

  // Every unit of the kind's package is in the module's memory at its load address.
  void ExpectWritten(ModuleKind kind) const {
    const auto memory = m_Gateway->Recorder().Memory();
    for (size_t unit = 0; unit < m_Table[kind].m_Package.UnitCount(); ++unit) {
      const auto run = memory.find(m_Table[kind].m_Package.Unit(unit).LoadAddress());
      EXPECT_TRUE(run != memory.end() && run->second == Data(kind, unit)) << "kind " << kind << " unit " << unit;
    }
  }

  SimOptions m_Options;
  TempDir m_Dir;
  ScopedEnv m_TmpDir{"TMPDIR", m_Dir.Path().c_str()};
  RecordingList m_List;
  ModuleTable m_Table;
  std::unique_ptr<ScriptedGateway> m_Gateway;
  std::unique_ptr<UpgradeEngine> m_Engine;
};

}  // namespace testsupport
