// The Check against a scripted gateway: discovery over UDP, the wireless
// module's handshake and version queries over the TCP connection.
#include "app/CheckProcedure.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>

#include "engine/UpgradeEngine.h"
#include "log/Notice.h"
#include "support/Packages.h"
#include "support/Recorders.h"
#include "support/ScriptedPort.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Bytes;
using testsupport::Message;

const uint8_t MAC[6] = {0x02, 0x51, 0xE1, 0x0A, 0x0B, 0x0C};

struct Situation {
  const char* what;
  std::vector<std::pair<ModuleKind, std::string>> packages = {};  // version texts of the packages found
  std::function<void(ModuleTable&)> before = {};             // what an earlier Check left
  int answerFrom = 1;                                        // discovery answers from this try on; 0 never
  std::string router = "1.2.3.4";
  bool refuseTcp = false, silentHandshake = false, downloader = false;
  std::string firmware = "2.1.0.7", dashboard = "3.0.1.2";  // "": the module reports no dashboard version
  // What the Check leaves:
  bool ok = true;
  std::string statuses = "";  // per row: W waiting (blue), M mismatch (red), N not found (grey); "": no rows
  std::string routerRows = "1.2.3.4", firmwareNow = "", dashboardNow = "";  // current versions
  std::vector<std::string> notices = {}, logged = {};
  std::array<int, 5> requests = {};  // discoveries, connections, handshakes, board and ISO version queries
  uint64_t minMs = 0;
};

void PrintTo(const Situation& s, std::ostream* out) { *out << s.what; }

Bytes Padded(Bytes head, size_t length) {
  head.resize(length, 0);
  return head;
}

Bytes WithText(Bytes head, const std::string& text, size_t length) {
  head.insert(head.end(), text.begin(), text.end());
  return Padded(head, std::max(length, head.size() + 1));
}

class CheckProcedureTest : public ::testing::TestWithParam<Situation> {
 protected:
  void SetUp() override {
    Clock::SetScale(100);
    SetNoticeSink(&notices);
    table.LoadTypeNames();
    link.SetScript([this](const Message& m) { Answer(m); });
  }
  void TearDown() override { SetNoticeSink(nullptr); }

  void Answer(const Message& m) {
    const Situation& g = gateway;
    if (m.m_Kind == PORT_UDP) {
      if (g.answerFrom > 0 && ++discoveries >= g.answerFrom) {
        link.Answer(WithText({1, 127, 0, 0, 1, MAC[0], MAC[1], MAC[2], MAC[3], MAC[4], MAC[5]}, g.router, 32));
      }
    } else if (m.Payload(0) == 0x26 && !g.silentHandshake) {
      link.Answer(Padded({0x26, 0, 0, 0x25, 0xA7, 0, 6, 0, 0, 0, 0, 0, 0, 0, g.downloader}, 16));
    } else if (m.Payload(0) == 0x4B && m.Payload(2) == 0x03) {
      link.Answer(WithText({0x4B, 0xC9, 0x03, 0xFF}, g.firmware, 66));
    } else if (m.Payload(0) == 0x4B && m.Payload(2) == 0x24) {
      link.Answer(WithText({0x4B, 0xC9, 0x24, 0xFF, g.dashboard.empty()}, g.dashboard, 260));
    }
  }
  void AddPackage(ModuleKind kind, const std::string& version) {
    ASSERT_NE(testsupport::MakePackage(packages.Path(), kind, version, 64), "");
  }
  bool Check(bool embedded = false) {
    engine = std::make_unique<UpgradeEngine>(&list, &table);
    CheckOptions options;
    options.m_PackageDir = packages.Path();
    options.m_Broadcast = "127.255.255.255";
    options.m_PackagesEmbedded = embedded;
    return RunCheck(*engine, list, options);
  }
  int Requests(int first, int third = -1) const {
    int count = 0;
    for (const Bytes& p : link.Payloads(PORT_TCP)) count += p[0] == first && (third < 0 || p.at(2) == third);
    return count;
  }

  Situation gateway{"default"};
  int discoveries = 0;
  testsupport::TempDir logDir, packages;
  testsupport::ScopedEnv tmpDir{"TMPDIR", logDir.Path().c_str()};  // where the engine's log goes
  ModuleTable table;
  testsupport::RecordingList list;
  testsupport::RecordingNotices notices;
  testsupport::ScriptedLink link;
  std::unique_ptr<UpgradeEngine> engine;
};

TEST_P(CheckProcedureTest, Situation) {
  gateway = GetParam();
  const Situation& s = gateway;
  for (const auto& [kind, version] : s.packages) AddPackage(kind, version);
  if (s.before) s.before(table);
  if (s.refuseTcp) link.RefuseConnects(1);
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ(Check(), s.ok);
  EXPECT_GE(Clock::TickCount() - start, s.minMs);

  const std::array<int, 5> requests = {static_cast<int>(link.Payloads(PORT_UDP).size()), link.Connections(),
                                       Requests(0x26), Requests(0x4B, 0x03), Requests(0x4B, 0x24)};
  EXPECT_EQ(requests, s.requests);
  for (const Message& m : link.Messages()) EXPECT_TRUE(m.Payload(0) != 0x26 || m.m_Wire[0] != 0x7E) << "no leading flag";
  EXPECT_EQ(notices.Texts(), s.notices);
  const std::vector<std::string> log = testsupport::LogMessages(engine->m_Log.Pending());
  for (const std::string& line : s.logged) EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
  EXPECT_FALSE(engine->m_Channel.IsOpen()) << "the Check disconnects";
  EXPECT_EQ(engine->m_InDownloader, s.downloader || s.silentHandshake);
  for (const auto& [kind, version] : s.packages) EXPECT_TRUE(table[kind].m_Package.m_Loaded) << "the scan's packages stay";

  ASSERT_EQ(list.Rows(), s.statuses.empty() ? 0 : 5);
  if (s.statuses.empty()) return;
  EXPECT_EQ(memcmp(engine->m_RouterMac, MAC, 6), 0);
  EXPECT_EQ(memcmp(engine->m_RouterIp, "\x7F\0\0\x01", 4), 0);
  EXPECT_TRUE(!s.refuseTcp || engine->m_ResultTextId == IDS_TCP_FAILED);
  const std::string now[5] = {s.routerRows, s.routerRows, s.routerRows, s.firmwareNow, s.dashboardNow};
  std::string upgrade[5];
  for (const auto& [kind, version] : s.packages) upgrade[kind] = version.empty() ? "No version" : version;
  for (int row = 0; row < 5; ++row) {
    SCOPED_TRACE(row);
    const char status = s.statuses[row];
    const ModuleEntry& entry = table[row];
    EXPECT_EQ(entry.m_CurrentVersion, now[row]);
    EXPECT_EQ(list.Last(row, COL_CURRENT), status == 'N' ? "" : now[row]);
    EXPECT_EQ(list.Last(row, COL_UPGRADE), upgrade[row]);
    EXPECT_EQ(list.LastPercent(row), "");
    EXPECT_EQ(list.LastStatus(row), status == 'W'   ? "Waiting for the upgrade"
                                     : status == 'M' ? "Version does not match"
                                                     : "Not found");
    EXPECT_EQ(list.LastColour(row), status == 'W' ? COLOUR_BLUE : status == 'M' ? COLOUR_RED : COLOUR_GREY_TEXT);
    EXPECT_EQ(entry.IsSelected(), status == 'W');
  }
}

const std::string FORCE_LOAD = "Can't read in force-load mode";
const auto INVALID_ROUTER = [](const char* version) {
  return Situation{.what = version, .packages = {{MODULE_APP, "1.0.0.5"}},
                   .before = [](ModuleTable& t) { t.SetRouterVersion("1.0.0.1"); }, .router = version,
                   .statuses = "NWNNN", .routerRows = "1.0.0.1", .requests = {1}};
};

INSTANTIATE_TEST_SUITE_P(
    Gateways, CheckProcedureTest,
    ::testing::Values(
        Situation{.what = "all five fit",
                  .packages = {{MODULE_BOOT, "1.2.3.9"}, {MODULE_APP, "1.2.3.4"}, {MODULE_CUSTOMIZATION, "1.2.3.0"},
                               {MODULE_FIRMWARE, "2.1.0.8"}, {MODULE_DASHBOARD, "3.0.2.0"}},
                  .statuses = "WWWWW", .firmwareNow = "2.1.0.7", .dashboardNow = "3.0.1.2",
                  .logged = {"DIAG_HandShake: (0,0)", "Firmware Version: 2.1.0.7", "Dashboard Version: 3.0.1.2"},
                  .requests = {1, 1, 1, 1, 1}},
        Situation{.what = "firmware conflicts", .packages = {{MODULE_APP, "1.2.3.5"}, {MODULE_FIRMWARE, "2.2.0.7"}},
                  .ok = false, .statuses = "NWNMN", .firmwareNow = "2.1.0.7", .requests = {1, 1, 1, 1, 0}},
        Situation{.what = "router conflicts", .packages = {{MODULE_BOOT, "1.3.3.4"}}, .ok = false,
                  .statuses = "MNNNN", .requests = {1}},
        Situation{.what = "a dashboard package always waits", .packages = {{MODULE_DASHBOARD, "0.0.0.1"}},
                  .before = [](ModuleTable& t) { t[MODULE_DASHBOARD].m_VersionMatch = 0; }, .dashboard = "7.7.7.7",
                  .statuses = "NNNNW", .dashboardNow = "7.7.7.7", .requests = {1, 1, 1, 0, 1}},
        Situation{.what = "no versions", .packages = {{MODULE_FIRMWARE, ""}, {MODULE_DASHBOARD, "3.0.0.0"}},
                  .dashboard = "", .statuses = "NNNWW", .firmwareNow = "2.1.0.7", .dashboardNow = "No version",
                  .requests = {1, 1, 1, 1, 1}},
        Situation{.what = "router packages only: the module is left alone",
                  .packages = {{MODULE_CUSTOMIZATION, "1.2.3.4"}},
                  .before = [](ModuleTable& t) { t[MODULE_FIRMWARE].m_CurrentVersion = "stale"; },
                  .statuses = "NNWNN", .requests = {1}},
        Situation{.what = "no router in three tries", .packages = {{MODULE_APP, "1.2.3.4"}}, .answerFrom = 0,
                  .ok = false, .routerRows = "", .notices = {"No router is detected"},
                  .logged = {"没有检测到路由器"}, .requests = {3}, .minMs = 3 * 3100},
        Situation{.what = "router answers the third try", .packages = {{MODULE_BOOT, "1.2.3.5"}}, .answerFrom = 3,
                  .statuses = "WNNNN", .requests = {3}, .minMs = 2 * 3100},
        INVALID_ROUTER("V1.2.3.4"), INVALID_ROUTER(""), INVALID_ROUTER("1.2.3"),
        Situation{.what = "no TCP connection", .packages = {{MODULE_APP, "1.2.3.4"}, {MODULE_FIRMWARE, "2.1.0.8"}},
                  .before = [](ModuleTable& t) { t[MODULE_FIRMWARE].m_CurrentVersion = "2.0.0.1"; },
                  .refuseTcp = true, .statuses = "NWNWN", .notices = {"Creating the TCP connection failed"},
                  .requests = {1}},
        Situation{.what = "first handshake fails",
                  .packages = {{MODULE_FIRMWARE, "9.0.0.0"}, {MODULE_DASHBOARD, "9.0.0.0"}},
                  .silentHandshake = true, .statuses = "NNNWW",
                  .logged = {"DIAG_HandShake: Write or Read Fail", "初次和无线模块握手失败"}, .requests = {1, 1, 3}},
        Situation{.what = "module in its downloader",
                  .packages = {{MODULE_FIRMWARE, "9.0.0.0"}, {MODULE_DASHBOARD, "9.0.0.0"}}, .downloader = true,
                  .statuses = "NNNWW", .firmwareNow = FORCE_LOAD, .dashboardNow = FORCE_LOAD, .requests = {1, 1, 1}},
        Situation{.what = "no package", .ok = false, .routerRows = "",
                  .notices = {"No valid .bin file is found in the current directory"}}));

class CheckSequenceTest : public CheckProcedureTest {};

TEST_F(CheckSequenceTest, EmbeddedPackagesSkipTheScan) {
  AddPackage(MODULE_APP, "1.2.3.4");
  ModuleEntry& app = table[MODULE_APP];  // loaded as the window does from its resources
  app.m_Package.m_Path = packages.File("pkg1.bin");
  ASSERT_TRUE(app.m_Package.Load());
  AddPackage(MODULE_BOOT, "1.2.3.4");  // a scan would find it
  EXPECT_TRUE(Check(true));
  EXPECT_EQ(list.LastStatus(MODULE_APP), "Waiting for the upgrade");
  EXPECT_EQ(list.LastStatus(MODULE_BOOT), "Not found");
}

TEST_F(CheckSequenceTest, SecondCheckForgetsAMissingPackage) {
  AddPackage(MODULE_FIRMWARE, "2.1.0.9");
  ASSERT_TRUE(Check());
  ASSERT_TRUE(table[MODULE_FIRMWARE].IsSelected());
  ASSERT_EQ(unlink(packages.File("pkg3.bin").c_str()), 0);
  AddPackage(MODULE_APP, "1.2.3.4");
  EXPECT_TRUE(Check());
  EXPECT_FALSE(table[MODULE_FIRMWARE].IsSelected());
  EXPECT_EQ(table[MODULE_FIRMWARE].m_VersionMatch, 1) << "kept from the Check before";
  EXPECT_EQ(list.LastStatus(MODULE_FIRMWARE), "Not found");
  EXPECT_EQ(link.Connections(), 1) << "the second Check needs no connection";
}

}  // namespace
