// The wireless stages (firmware and dashboard) and the waits around them,
// against the simulator's wireless module behind a scripted router: one row
// per path or fault, each judged by the row's status texts and "%" cells,
// the requests the gateway received, the result id and key log lines.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/ScriptedGateway.h"

namespace {

constexpr auto FIRMWARE = &UpgradeEngine::UpgradeWirelessFirmware;
constexpr auto DASHBOARD = &UpgradeEngine::UpgradeDashboard;
constexpr auto RESTART_WAIT = &UpgradeEngine::WaitModuleRestart;
constexpr auto HANDSHAKE_WAIT = &UpgradeEngine::WaitHandshake;
constexpr int FORCE = 0;  // the forcing download mode's status, which has no id

struct StageCase {
  const char* m_Name;
  bool (UpgradeEngine::*m_Run)();
  SimFaults m_Faults;
  testsupport::ScriptedFaults m_Scripted;
  bool m_Ok;
  int m_Result;                  // m_ResultTextId afterwards
  std::vector<int> m_Statuses;   // the row's status texts by id, in order
  std::vector<int> m_Percents;   // the row's "%" cells, in order
  const char* m_Conversation;    // the requests the gateway received
  std::vector<std::string> m_Log = {};  // lines the log holds in this order
  uint64_t m_AtLeastMs = 0;      // program time the step takes at least
};

// The firmware package is written as blocks of 4096 and 1 bytes at 0x100000
// (49 %, 50 %) and one of 4096 at 0x300000 (100 %); the dashboard's as 4096
// and 1904 bytes (68 %, 100 %).
const StageCase kCases[] = {
    {"FirmwareFromNormalMode", FIRMWARE, {}, {}, true, 103, {107, 105, 106, 113, 110, 114, 102, 113, 109},
     {0, 30, 50, 70, 100, 49, 50, 100, 0, 30, 50, 70, 100},
     "handshake nv-backup change-mode fwt-begin switch-downloader handshake flag unlock write*3 reset handshake "
     "restore-status board-version",
     {"Sending FWT Begin Pkt", "Switching to the downloading mode", "  Try1: Reading restored status ...",
      "DIAG_NV_QueryRestoreStatus: Restore Success"}},
    {"FirmwareFromTheDownloaderRetryingABlockAndTheRestore", FIRMWARE,
     {.m_StartInDownloader = true, .m_RestoreStatus5 = 2, .m_RestoreStatusForced = true, .m_RestoreRefused = 1,
      .m_BlockRefusedAt = 1, .m_BlockRefusedTries = 2},
     {}, true, 103, {110, 114, 102, 113, 109}, {0, 49, 50, 100, 0, 30, 50, 70, 100},
     "handshake fwt-force flag unlock write*5 leave-force-load reset handshake restore-status*2 nv-restore "
     "restore-status*2 nv-restore board-version",
     {"Have Enter Downloader Mode", "Sending FWT Force Pkt", "DIAG_Write#1> Exec Fail", "DIAG_Write#2> Exec Fail",
      "Restore NV: NV操作失败"}},
    {"SilentModuleIsTakenForOneInItsDownloader", FIRMWARE, {.m_HandshakeSilent = 6}, {}, true, 124,
     {FORCE, 110, 114, 102, 113, 109}, {0, 49, 50, 100, 0, 30, 50, 70, 100},
     "handshake*3 enter-force-load handshake*3 fwt-force flag unlock write*3 leave-force-load reset handshake "
     "restore-status board-version",
     {"DIAG_HandShake: Write or Read Fail", "Enter Forcing Download Mode ...", "DIAG_HandShake: Write or Read Fail",
      "Have Enter Downloader Mode"}},
    {"NvBackupRefused", FIRMWARE, {.m_NvBackupReason = 2}, {}, false, 125, {107}, {0}, "handshake nv-backup",
     {"Backup NV: 不存在有效的备份"}},
    {"BeginPacketNotSent", FIRMWARE, {}, {.m_FailWritesAfter = {{"change-mode", {PORT_TCP, 3}}}}, false, 120,
     {107, 105}, {0}, "handshake nv-backup change-mode", {"Sending FWT Begin Pkt"}},
    {"SwitchNotAnswered", FIRMWARE, {}, {.m_Silent = {{"switch-downloader", 3}}}, false, 127, {107, 105, 106}, {0},
     "handshake nv-backup change-mode fwt-begin switch-downloader*3", {"DIAG_SwitchToDownloader: Write or Read Fail"}},
    {"RouterSilentAfterTheSwitch", FIRMWARE, {.m_PingSilentMs = 200000}, {}, false, 131, {107, 105, 106, 113}, {0},
     "handshake nv-backup change-mode fwt-begin switch-downloader", {"Waiting: First Check Fail"}, 60000},
    {"UnlockRefusedTwice", FIRMWARE, {.m_StartInDownloader = true, .m_UnlockRefused = 6}, {}, false, 128,
     {110, FORCE}, {0}, "handshake fwt-force flag unlock*3 enter-force-load flag unlock*3",
     {"DIAG_Unlock: Write or Read Fail", "Enter Forcing Download Mode ...", "DIAG_Unlock: Write or Read Fail"}},
    {"BlockRefusedThreeTimes", FIRMWARE, {.m_StartInDownloader = true, .m_BlockRefusedAt = 3, .m_BlockRefusedTries = 3},
     {}, false, 129, {110, 114}, {0, 49, 50}, "handshake fwt-force flag unlock write*5",
     {"DIAG_Write#1> Exec Fail", "DIAG_Write#2> Exec Fail", "DIAG_Write#3> Exec Fail", "Unit2 Block1: Download Fail"}},
    {"ResetRefused", FIRMWARE, {.m_StartInDownloader = true, .m_ResetRefused = true}, {}, false, 130,
     {110, 114, 102}, {0, 49, 50, 100}, "handshake fwt-force flag unlock write*3 leave-force-load reset*3",
     {"DIAG_Reset: Write or Read Fail"}},
    {"StillInTheDownloaderAfterTheReboot", FIRMWARE, {.m_StartInDownloader = true, .m_StaysInDownloader = true}, {},
     false, 132, {110, 114, 102, 113}, {0, 49, 50, 100, 0, 30, 50, 70, 100},
     "handshake fwt-force flag unlock write*3 leave-force-load reset handshake", {"Still in downloader after reboot"}},
    {"RestoreCheckGivesUp", FIRMWARE,
     {.m_StartInDownloader = true, .m_RestoreStatus5 = 2, .m_RestoreStatusForced = true, .m_RestoreRefused = 2}, {},
     false, 132, {110, 114, 102, 113, 109}, {0, 49, 50, 100, 0, 30, 50, 70, 100},
     "handshake fwt-force flag unlock write*3 leave-force-load reset handshake restore-status*2 nv-restore "
     "restore-status*2 nv-restore",
     {"  Try1: Reading restored status ...", "DIAG_NV_QueryRestoreStatus: Restore Fail",
      "  Try2: Reading restored status ...", "DIAG_NV_QueryRestoreStatus: Restore Fail", "Restore NV: NV操作失败",
      "  Try1: Reading restored status ...", "  Try2: Reading restored status ...", "Restore NV: NV操作失败"}},
    {"VersionNotReadAfterTheUpgrade", FIRMWARE, {.m_StartInDownloader = true}, {.m_Silent = {{"board-version", 3}}},
     false, 126, {110, 114, 102, 113, 109}, {0, 49, 50, 100, 0, 30, 50, 70, 100},
     "handshake fwt-force flag unlock write*3 leave-force-load reset handshake restore-status board-version*3",
     {"DIAG_QueryBoardVersion: Write or Read Fail"}},
    {"DashboardFromNormalMode", DASHBOARD, {}, {}, true, 103, {105, 106, 113, 110, 115, 102, 113},
     {0, 30, 50, 70, 100, 68, 100, 0, 30, 50, 70, 100},
     "handshake change-mode fwt-begin switch-downloader handshake flag unlock write*2 reset handshake iso-version"},
    {"DashboardFromTheDownloaderUnlockedOnTheSecondTry", DASHBOARD,
     {.m_StartInDownloader = true, .m_UnlockRefused = 3}, {}, true, 103, {110, FORCE, 115, 102, 113},
     {68, 100, 0, 30, 50, 70, 100},
     "handshake fwt-force flag unlock*3 enter-force-load flag unlock write*2 leave-force-load reset handshake "
     "iso-version"},
    {"DashboardStillInTheDownloaderAfterTheReboot", DASHBOARD,
     {.m_StartInDownloader = true, .m_StaysInDownloader = true}, {}, false, 126, {110, 115, 102, 113},
     {68, 100, 0, 30, 50, 70, 100}, "handshake fwt-force flag unlock write*2 leave-force-load reset handshake"},
    {"RestartWaitAnsweredByTheThirdHandshake", RESTART_WAIT, {.m_HandshakeSilent = 6}, {}, true, 103, {113},
     {0, 30, 50, 70, 100}, "handshake*7",
     {"DIAG_HandShake: Write or Read Fail", "DIAG_HandShake: Write or Read Fail", "DIAG_HandShake: (0,0)"},
     2000 + 6000 + 2000},
    {"RestartWaitWithoutHandshake", RESTART_WAIT, {.m_HandshakeSilent = 9}, {}, false, 131, {113},
     {0, 30, 50, 70}, "handshake*9", {"Waiting: Handshake failed"}},
    {"RestartWaitRouterSilentAtTheSecondCheck", RESTART_WAIT, {}, {.m_FailWritesAfter = {{"ping", {PORT_UDP, 100}}}},
     false, 131, {113}, {0, 30, 50}, "", {"Waiting: Second Check Fail"}, 6000 + 60000},
    {"HandshakeWaitBehindARouterRefusingTheForcingMode", HANDSHAKE_WAIT,
     {.m_HandshakeSilent = 100, .m_ForceLoadRefused = true}, {}, false, 124, {FORCE}, {},
     "handshake*3 enter-force-load", {"DIAG_HandShake: Write or Read Fail"}},
};

void PrintTo(const StageCase& c, std::ostream* out) { *out << c.m_Name; }

class StageTest : public testsupport::GatewayTest, public ::testing::WithParamInterface<StageCase> {};

TEST_P(StageTest, FollowsItsPath) {
  const StageCase& c = GetParam();
  m_Options.m_Faults = c.m_Faults;
  AddPackage(MODULE_FIRMWARE, {{0x00100000, 4097}, {0x00300000, 4096}});
  AddPackage(MODULE_DASHBOARD, {{0x00800000, 6000}});
  UpgradeEngine& engine = Start(c.m_Scripted);
  ASSERT_TRUE(engine.Connect());
  engine.m_Row = MODULE_FIRMWARE;  // the waits report into the row of their stage
  const uint64_t start = Clock::TickCount();
  EXPECT_EQ((engine.*c.m_Run)(), c.m_Ok);
  EXPECT_GE(Clock::TickCount() - start, c.m_AtLeastMs);
  EXPECT_EQ(engine.m_ResultTextId, c.m_Result);

  const ModuleKind row = c.m_Run == DASHBOARD ? MODULE_DASHBOARD : MODULE_FIRMWARE;
  std::vector<std::string> statuses, percents;
  for (int id : c.m_Statuses) statuses.push_back(id == FORCE ? "Enter Forcing Download Mode ..." : LoadStringId(id));
  for (int percent : c.m_Percents) percents.push_back(std::to_string(percent) + "%");
  EXPECT_EQ(m_List.Statuses(row), statuses);
  EXPECT_EQ(m_List.Cells(row, COL_PERCENT), percents);
  EXPECT_EQ(m_Gateway->Conversation(), c.m_Conversation);
  if (c.m_Ok && (c.m_Run == FIRMWARE || c.m_Run == DASHBOARD)) ExpectWritten(row);

  const std::vector<std::string> log = testsupport::LogMessages(engine.m_Log.Pending());
  auto at = log.begin();
  for (const std::string& line : c.m_Log) {
    at = std::find(at, log.end(), line);
    ASSERT_NE(at, log.end()) << "missing or out of order: " << line;
    ++at;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, StageTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.m_Name); });

}  // namespace
