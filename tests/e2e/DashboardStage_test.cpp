// The dashboard stage on its own: the downloader steps of the firmware
// stage without NV backup and restore, confirmed by the dashboard version.
#include "e2e/UpgradeFixture.h"

namespace upgradetest {
namespace {

constexpr uint32_t DASHBOARD_ADDRESS = 0x00800000;

class DashboardStageTest : public UpgradeFixture {
 protected:
  UpgradeEngine& Ready(size_t length = 6000) {
    StartSim();
    AddPackage(MODULE_DASHBOARD, length, DASHBOARD_ADDRESS);
    UpgradeEngine& engine = MakeEngine();
    EXPECT_TRUE(engine.Connect());
    return engine;
  }
  std::vector<uint8_t> Memory() const {
    const auto memory = m_Sim->WirelessMemory();
    const auto run = memory.find(DASHBOARD_ADDRESS);
    return run == memory.end() ? std::vector<uint8_t>() : run->second;
  }
};

TEST_F(DashboardStageTest, FromNormalModeWritesAndChecksTheVersion) {
  UpgradeEngine& engine = Ready(6000);  // 4096 + 1904
  ASSERT_TRUE(engine.UpgradeDashboard());
  EXPECT_EQ(engine.m_ResultTextId, IDS_DOWNLOAD_OK);
  std::vector<std::string> expected;
  for (int id : {105, 106, 113, 110, 115, 102, 113}) expected.push_back(Text(id));
  EXPECT_EQ(m_List.Statuses(MODULE_DASHBOARD), expected);
  // No reset at the start: the first value comes from the restart wait.
  EXPECT_EQ(m_List.Percents(MODULE_DASHBOARD),
            (std::vector<std::string>{"0%", "30%", "50%", "70%", "100%", "68%", "100%", "0%", "30%", "50%",
                                      "70%", "100%"}));
  EXPECT_EQ(Memory(), UnitBytes(MODULE_DASHBOARD));
  EXPECT_EQ(EventCount("nv-backup") + EventCount("nv-restore") + EventCount("restore-status"), 0u);
  const std::vector<std::string> names = EventNames();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), "iso-version");
}

TEST_F(DashboardStageTest, NoVersionReplyStillSucceeds) {
  m_SimOptions.m_DashboardVersion = "";
  UpgradeEngine& engine = Ready(100);
  EXPECT_TRUE(engine.UpgradeDashboard());
  EXPECT_EQ(EventCount("iso-version"), 1u);
}

TEST_F(DashboardStageTest, FromTheDownloaderSendsTheForcePacketAndLeavesAfterTheBlocks) {
  m_SimOptions.m_Faults.m_StartInDownloader = true;
  UpgradeEngine& engine = Ready(6000);
  ASSERT_TRUE(engine.UpgradeDashboard());
  EXPECT_EQ(EventCount("fwt-force"), 1u);
  EXPECT_EQ(EventCount("fwt-begin") + EventCount("switch-downloader"), 0u);
  EXPECT_GT(EventIndex("leave-force-load"), EventIndex("write"));
  EXPECT_LT(EventIndex("leave-force-load"), EventIndex("reset"));
  // The first value of the cell is the first block's.
  ASSERT_FALSE(m_List.Percents(MODULE_DASHBOARD).empty());
  EXPECT_EQ(m_List.Percents(MODULE_DASHBOARD).front(), "68%");
  EXPECT_EQ(Memory(), UnitBytes(MODULE_DASHBOARD));
}

TEST_F(DashboardStageTest, StillInTheDownloaderAfterTheRebootFailsWith126) {
  m_SimOptions.m_Faults.m_StaysInDownloader = true;
  UpgradeEngine& engine = Ready(100);
  EXPECT_FALSE(engine.UpgradeDashboard());
  EXPECT_EQ(engine.m_ResultTextId, IDS_VERSION_CHECK_FAILED);
  EXPECT_EQ(EventCount("iso-version"), 0u);
  EXPECT_EQ(Where(Log(), "Still in downloader after reboot"), std::string::npos);
}

}  // namespace
}  // namespace upgradetest
