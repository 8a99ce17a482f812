// The upgrade pass over a scripted gateway: which rows run and in which
// order, what ends a pass early, and how every pass ends (forcing download
// mode left when a wireless row took part, connection closed, log written,
// completion reported after it).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

#include "support/ScriptedGateway.h"

namespace {

enum Reach { CONNECTS, NO_ADDRESS, REFUSED };

struct PassCase {
  const char* m_Name;
  std::vector<ModuleKind> m_Selected;
  SimFaults m_Faults;
  std::array<int, MODULE_COUNT> m_Results;  // each row's result id; 0: the pass leaves the row alone
  const char* m_Milestones;                 // the requests of kMilestones, in order
  Reach m_Reach = CONNECTS;
};

const std::set<std::string> kMilestones = {"rut-image", "erase-nvram", "enter-force-load", "nv-backup", "fwt-begin",
                                           "fwt-force", "board-version", "iso-version", "leave-force-load"};

constexpr ModuleKind BOOT = MODULE_BOOT, APP = MODULE_APP, CUSTOM = MODULE_CUSTOMIZATION, FW = MODULE_FIRMWARE,
                     DASH = MODULE_DASHBOARD;

const PassCase kCases[] = {
    {"AllFiveRowsInOrder", {BOOT, APP, CUSTOM, FW, DASH}, {}, {103, 103, 103, 103, 103},
     "rut-image*3 erase-nvram nv-backup fwt-begin board-version fwt-begin iso-version leave-force-load"},
    {"NoRowSelected", {}, {}, {}, ""},
    {"BootAloneErasesNothing", {BOOT}, {}, {103}, "rut-image"},
    {"AppAndCustomizationThenOneErase", {APP, CUSTOM}, {}, {0, 103, 103}, "rut-image*2 erase-nvram"},
    {"FailingAppEndsThePass", {APP, CUSTOM, FW}, {.m_RouterResultCode = 3}, {0, 122}, "rut-image leave-force-load"},
    {"FailingEraseEndsThePass", {APP, FW}, {.m_EraseNotAnswered = true}, {0, 103},
     "rut-image erase-nvram*3 leave-force-load"},
    {"FailingFirmwareSkipsTheDashboard", {FW, DASH}, {.m_ResetRefused = true}, {0, 0, 0, 130},
     "nv-backup fwt-begin leave-force-load"},
    {"DashboardAlone", {DASH}, {}, {0, 0, 0, 0, 103}, "fwt-begin iso-version leave-force-load"},
    {"StagesRecoveringFromASilentHandshakeShowSuccess", {FW, DASH}, {.m_HandshakeSilent = 6}, {0, 0, 0, 103, 103},
     "enter-force-load fwt-force leave-force-load board-version fwt-begin leave-force-load iso-version "
     "leave-force-load"},
    {"NoRouterAddressTouchesNoRow", {BOOT, FW}, {}, {}, "leave-force-load", NO_ADDRESS},
    {"RefusedConnectionStillLeavesTheForcingMode", {DASH}, {}, {}, "leave-force-load", REFUSED},
};

void PrintTo(const PassCase& c, std::ostream* out) { *out << c.m_Name; }

class PassTest : public testsupport::GatewayTest, public ::testing::WithParamInterface<PassCase> {};

TEST_P(PassTest, RunsTheSelectedRows) {
  const PassCase& c = GetParam();
  m_Options.m_Faults = c.m_Faults;
  for (ModuleKind kind : c.m_Selected) AddPackage(kind, {{0x00100000u * kind, 3000}});
  UpgradeEngine& engine = Start();
  if (c.m_Reach == NO_ADDRESS) {
    memset(engine.m_RouterIp, 0, 4);
    memset(engine.m_RouterMac, 0, 6);
  }
  if (c.m_Reach == REFUSED) m_Gateway->Link().RefuseConnects(1);
  const std::string logFile = m_Dir.File(UpgradeLog::FILE_NAME), separator(50, '+');
  int notices = 0;
  engine.m_Notify = [&](int code) {
    EXPECT_EQ(code, CTRL_UPGRADE_DONE);
    EXPECT_NE(testsupport::ReadText(logFile).find(separator), std::string::npos) << "the log is written first";
    ++notices;
  };
  // On a worker thread, as the front ends run it, watching the busy state.
  std::atomic<bool> done{false};
  std::thread worker([&] {
    EXPECT_EQ(engine.RunUpgrade(), 0);
    done = true;
  });
  bool sawBusy = false;
  while (!done) {
    sawBusy = sawBusy || engine.m_Busy == BUSY_UPGRADING;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  worker.join();

  for (int row = 0; row < MODULE_COUNT; ++row) {
    SCOPED_TRACE(row);
    const int id = c.m_Results[row];
    const std::vector<std::string> statuses = m_List.Statuses(row);
    // The erase runs with no row: its text reaches the log only.
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), LoadStringId(IDS_ERASING_NVRAM)), 0);
    if (id == 0) {
      EXPECT_TRUE(statuses.empty() && m_List.Cells(row, COL_PERCENT).empty());
      continue;
    }
    const std::string result = std::string(LoadStringId(id)) + " (";
    EXPECT_EQ(m_List.LastStatus(row).substr(0, result.size()), result);
    EXPECT_EQ(m_List.LastColour(row), id == IDS_DOWNLOAD_OK ? COLOUR_BLUE : COLOUR_RED);
    EXPECT_TRUE(id != IDS_DOWNLOAD_OK || m_List.LastPercent(row) == "100%") << m_List.LastPercent(row);
  }
  EXPECT_EQ(m_Gateway->Conversation(kMilestones), c.m_Milestones);
  // Each image the pass sent, and each wireless image it wrote, byte for byte.
  std::vector<std::vector<uint8_t>> images;
  for (ModuleKind kind : {BOOT, APP, CUSTOM})
    if (c.m_Results[kind]) images.push_back(Data(kind));
  EXPECT_EQ(m_Gateway->Recorder().RouterImages(), images);
  for (ModuleKind kind : {FW, DASH})
    if (c.m_Results[kind] == IDS_DOWNLOAD_OK) ExpectWritten(kind);
  EXPECT_EQ(m_Gateway->Link().Connections(), c.m_Reach == CONNECTS ? 1 : 0);

  // The MAC line first, the separator last.
  const std::vector<std::string> log = testsupport::LogMessages(testsupport::ReadText(logFile));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.front(), c.m_Reach == NO_ADDRESS ? "00-00-00-00-00-00" : "02-51-E1-00-00-01");
  EXPECT_EQ(log.back(), separator);
  EXPECT_EQ(notices, 1);
  EXPECT_TRUE(engine.m_Log.Pending().empty());
  EXPECT_EQ(engine.m_Busy.load(), 0);
  EXPECT_FALSE(engine.m_Channel.IsOpen());
  EXPECT_TRUE(sawBusy || c.m_Reach != CONNECTS || c.m_Selected.empty());
}

INSTANTIATE_TEST_SUITE_P(Passes, PassTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.m_Name); });

}  // namespace
