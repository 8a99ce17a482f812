// The Check against a scripted gateway: discovery over UDP, the wireless
// module's handshake and version queries over the TCP connection.
#include "app/CheckProcedure.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>

#include "engine/UpgradeEngine.h"
#include "log/Notice.h"
#include "support/Packages.h"
#include "support/Recorders.h"
#include "support/ScriptedPort.h"
#include "support/TestSupport.h"

namespace {

using namespace testsupport;

struct Situation {
  const char* what;
  std::vector<std::pair<ModuleKind, std::string>> packages = {};  // version texts of the packages found
  std::function<void(ModuleTable&)> before = {};                  // what an earlier Check left
  std::string router = "1.2.3.4";  // its version text
  bool noRouter = false, embedded = false, refuseTcp = false, silentHandshake = false, downloader = false;
  // What the Check leaves: per row W waiting (blue), M mismatch (red), N not found (grey) ("": no rows), current versions.
  bool ok = true;
  std::string statuses = "", routerRows = "1.2.3.4", firmwareNow = "", dashboardNow = "";
  std::vector<std::string> notices = {}, logged = {};
  std::array<int, 5> requests = {};  // discoveries, connections, handshakes, board and ISO version queries
  uint64_t minMs = 0;
};

void PrintTo(const Situation& s, std::ostream* out) { *out << s.what; }

// head, then text, zero-padded to length bytes (at least one NUL after the text).
Bytes With(Bytes head, const std::string& text, size_t length) {
  head.insert(head.end(), text.begin(), text.end());
  head.resize(std::max(length, head.size() + 1), 0);
  return head;
}

struct CheckProcedureTest : ::testing::TestWithParam<Situation> {
  CheckProcedureTest() {
    table.LoadTypeNames();
    link.SetScript([this](const Message& m) {
      const Situation& g = GetParam();
      if (m.m_Kind == PORT_UDP && !g.noRouter)
        link.Answer(With({1, 127, 0, 0, 1, 0x02, 0x51, 0xE1, 0x0A, 0x0B, 0x0C}, g.router, 32));
      else if (m.Payload(0) == 0x26 && !g.silentHandshake)
        link.Answer(With({0x26, 0, 0, 0x25, 0xA7, 0, 6, 0, 0, 0, 0, 0, 0, 0, g.downloader}, "", 16));
      else if (m.Payload(0) == 0x4B && m.Payload(2) == 0x03)
        link.Answer(With({0x4B, 0xC9, 0x03, 0xFF}, "2.1.0.7", 66));
      else if (m.Payload(0) == 0x4B && m.Payload(2) == 0x24)
        link.Answer(With({0x4B, 0xC9, 0x24, 0xFF, 0}, "3.0.1.2", 260));
    });
  }

  testsupport::ScopedClockScale clock{100};
  testsupport::TempDir logDir, packages;
  testsupport::ScopedLogFolder tmpDir{logDir.Path()};  // where the engine's log goes
  ModuleTable table;
  testsupport::RecordingList list;
  testsupport::RecordingNotices notices;
  testsupport::ScriptedLink link;
};

TEST_P(CheckProcedureTest, Situation) {
  const Situation& s = GetParam();
  for (const auto& [kind, version] : s.packages) {
    table[kind].m_Package.SetPath(testsupport::MakePackage(packages.Path(), kind, version, 64));
    if (s.embedded) { ASSERT_TRUE(table[kind].m_Package.Load()); }  // as the window loads its own
  }
  if (s.before) s.before(table);
  link.RefuseConnects(s.refuseTcp);
  UpgradeEngine engine({.m_List = &list, .m_Table = &table, .m_MakePort = link.Maker(), .m_Notices = &notices});
  const uint64_t start = Clock::TickCount();
  // Embedded packages: a scan (of a folder that does not exist) would fail the Check.
  EXPECT_EQ(RunCheck(engine, list, {s.embedded ? "/nonexistent" : packages.Path(), {.m_Target = "127.255.255.255"}, s.embedded}), s.ok);
  EXPECT_GE(Clock::TickCount() - start, s.minMs);

  std::array<int, 5> requests{int(link.Payloads(PORT_UDP).size()), link.Connections()};
  for (const Bytes& p : link.Payloads(PORT_TCP)) requests[p[0] == 0x26 ? 2 : p.at(2) == 0x03 ? 3 : 4]++;
  EXPECT_EQ(requests, s.requests);
  EXPECT_EQ(notices.Texts(), s.notices);
  const std::vector<std::string> log = testsupport::LogMessages(testsupport::ReadLog(engine.Log().FilePath()));
  for (const std::string& line : s.logged)  // each a line's start
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(line, 0) == 0; })) << line;
  EXPECT_EQ(link.OpenPorts(), 0) << "the Check disconnects";

  ASSERT_EQ(list.Rows(), s.statuses.empty() ? 0 : 5);
  if (s.statuses.empty()) return;
  // Per row: current version (table|cell), upgrade cell, "%" cell, status, colour, selected.
  const std::string now[5] = {s.routerRows, s.routerRows, s.routerRows, s.firmwareNow, s.dashboardNow};
  std::string upgrade[5];
  for (const auto& [kind, version] : s.packages) upgrade[kind] = version.empty() ? "No version" : version;
  const std::map<char, std::string> look = {{'W', "Waiting for the upgrade|" + std::to_string(COLOUR_BLUE) + "|1"},
                                            {'M', "Version does not match|" + std::to_string(COLOUR_RED) + "|0"},
                                            {'N', "Not found|" + std::to_string(COLOUR_GREY_TEXT) + "|0"}};
  for (int row = 0; row < 5; ++row)
    EXPECT_EQ(table[row].m_CurrentVersion + "|" + list.Last(row, COL_CURRENT) + "|" + list.Last(row, COL_UPGRADE) + "|" +
                  list.LastPercent(row) + "|" + list.LastStatus(row) + "|" + std::to_string(list.LastColour(row)) + "|" +
                  std::to_string(table[row].IsSelected()),
              now[row] + "|" + (s.statuses[row] == 'N' ? "" : now[row]) + "|" + upgrade[row] + "||" + look.at(s.statuses[row]))
        << row;
}

const std::string FORCE_LOAD = "Can't read in force-load mode";
const auto OLD_FIRMWARE = [](ModuleTable& t) { t[MODULE_FIRMWARE].m_CurrentVersion = "2.0.0.1"; };  // an earlier Check's
constexpr ModuleKind BOOT = MODULE_BOOT, APP = MODULE_APP, FW = MODULE_FIRMWARE, DASH = MODULE_DASHBOARD;

const Situation kSituations[] = {
    {.what = "all five fit", .packages = {{BOOT, "1.2.3.9"}, {APP, "1.2.3.4"}, {MODULE_CUSTOMIZATION, "1.2.3.0"},
     {FW, "2.1.0.8"}, {DASH, "3.0.2.0"}}, .statuses = "WWWWW", .firmwareNow = "2.1.0.7", .dashboardNow = "3.0.1.2",
     .logged = {"DIAG_HandShake: (0,0)", "Firmware Version: 2.1.0.7", "Dashboard Version: 3.0.1.2"}, .requests = {1, 1, 1, 1, 1}},
    {.what = "router packages only (one conflicts): the module is left alone", .packages = {{BOOT, "1.3.3.4"},
     {MODULE_CUSTOMIZATION, "1.2.3.4"}}, .before = OLD_FIRMWARE, .ok = false, .statuses = "MNWNN", .requests = {1}},
    {.what = "no router in three tries", .packages = {{APP, "1.2.3.4"}}, .noRouter = true, .ok = false, .routerRows = "",
     .notices = {"No router is detected"}, .logged = {"没有检测到路由器"}, .requests = {3}, .minMs = 3 * 3100},
    {.what = "embedded packages, router version unreadable: no scan; the rows keep theirs", .packages = {{BOOT, "1.0.0.5"}},
     .before = [](ModuleTable& t) { t.SetRouterVersion("1.0.0.1"); }, .router = "1.2.3", .embedded = true,
     .statuses = "WNNNN", .routerRows = "1.0.0.1", .requests = {1}},
    {.what = "no TCP connection", .packages = {{APP, "1.2.3.4"}, {FW, "2.1.0.8"}}, .before = OLD_FIRMWARE, .refuseTcp = true,
     .statuses = "NWNWN", .notices = {"Creating the TCP connection failed"}, .requests = {1}},
    {.what = "first handshake fails", .packages = {{FW, "9.0.0.0"}, {DASH, "9.0.0.0"}}, .silentHandshake = true,
     .statuses = "NNNWW", .logged = {"DIAG_HandShake: Write or Read Fail", "初次和无线模块握手失败"}, .requests = {1, 1, 3}},
    {.what = "module in its downloader; a package without a version", .packages = {{FW, ""}, {DASH, "9.0.0.0"}},
     .downloader = true, .statuses = "NNNWW", .firmwareNow = FORCE_LOAD, .dashboardNow = FORCE_LOAD, .requests = {1, 1, 1}},
    {.what = "no package", .ok = false, .routerRows = "", .notices = {"No valid .bin file is found in the current directory"},
     .logged = {"RunCheck: no valid .bin file in "}}};

INSTANTIATE_TEST_SUITE_P(Gateways, CheckProcedureTest, ::testing::ValuesIn(kSituations));

}  // namespace
