// The Check end to end: packages on disk, discovery, the wireless module
// behind the router, and the rows it leaves.
#include <gtest/gtest.h>

#include <cstring>

#include "CheckFixture.h"

namespace checktest {
namespace {

const char* const TYPE_NAMES[5] = {"BOOT of router module", "APP of router module", "Customization of router module",
                                   "Firmware of wireless module", "Dashboard of wireless module"};

class CheckTest : public CheckFixture {};

TEST_F(CheckTest, AllFiveRowsFit) {
  StartSim();
  AddPackage(MODULE_BOOT, "1.2.3.9");
  AddPackage(MODULE_APP, "1.2.3.4");
  AddPackage(MODULE_CUSTOMIZATION, "1.2.3.0");
  AddPackage(MODULE_FIRMWARE, "2.1.0.8");
  AddPackage(MODULE_DASHBOARD, "3.0.2.0");
  EXPECT_TRUE(Check());
  const char* const installed[5] = {"1.2.3.4", "1.2.3.4", "1.2.3.4", "2.1.0.7", "3.0.1.2"};
  const char* const upgrade[5] = {"1.2.3.9", "1.2.3.4", "1.2.3.0", "2.1.0.8", "3.0.2.0"};
  ASSERT_EQ(m_List.Rows().size(), 5u);
  for (int row = 0; row < 5; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(Cell(row, COL_TYPE), TYPE_NAMES[row]);
    EXPECT_EQ(Cell(row, COL_CURRENT), installed[row]);
    EXPECT_EQ(Cell(row, COL_UPGRADE), upgrade[row]);
    EXPECT_EQ(Cell(row, COL_PERCENT), "");
    EXPECT_EQ(Cell(row, COL_STATUS), "Waiting for the upgrade");
    EXPECT_EQ(Colour(row), COLOUR_BLUE);
    EXPECT_TRUE(m_Table[row].IsSelected());
  }
  EXPECT_TRUE(m_Notices.Texts().empty());
  EXPECT_EQ(memcmp(m_Engine->m_RouterMac, m_SimOptions.m_Mac, 6), 0);
  const uint8_t loopback[4] = {127, 0, 0, 1};
  EXPECT_EQ(memcmp(m_Engine->m_RouterIp, loopback, 4), 0);
  EXPECT_EQ(m_Engine->m_InDownloader, 0);
  EXPECT_EQ(m_Sim->TcpConnectionCount(), 1);
  EXPECT_EQ(EventCount("handshake"), 1u);
  EXPECT_EQ(EventCount("board-version"), 1u);
  EXPECT_EQ(EventCount("iso-version"), 1u);
  EXPECT_FALSE(m_Engine->m_Channel.IsOpen()) << "the Check disconnects";
  EXPECT_TRUE(Logged("DIAG_HandShake: (0,0)"));
  EXPECT_TRUE(Logged("Firmware Version: 2.1.0.7"));
  EXPECT_TRUE(Logged("Dashboard Version: 3.0.1.2"));
}

TEST_F(CheckTest, ConflictingFirmwareVersionFails) {
  StartSim();
  AddPackage(MODULE_APP, "1.2.3.5");
  AddPackage(MODULE_FIRMWARE, "2.2.0.7");
  EXPECT_FALSE(Check());
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_CURRENT), "2.1.0.7");
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_STATUS), "Version does not match");
  EXPECT_EQ(Colour(MODULE_FIRMWARE), COLOUR_RED);
  EXPECT_EQ(m_Table[MODULE_FIRMWARE].m_VersionMatch, 0);
  EXPECT_FALSE(m_Table[MODULE_FIRMWARE].IsSelected());
  EXPECT_EQ(Cell(MODULE_APP, COL_STATUS), "Waiting for the upgrade");
  EXPECT_EQ(Cell(MODULE_DASHBOARD, COL_STATUS), "Not found");
  EXPECT_EQ(EventCount("iso-version"), 0u) << "no dashboard package, no dashboard query";
}

TEST_F(CheckTest, ConflictingRouterVersionFails) {
  StartSim();
  AddPackage(MODULE_BOOT, "1.3.3.4");
  EXPECT_FALSE(Check());
  EXPECT_EQ(Cell(MODULE_BOOT, COL_STATUS), "Version does not match");
  EXPECT_EQ(Colour(MODULE_BOOT), COLOUR_RED);
}

TEST_F(CheckTest, DashboardPackageAlwaysWaits) {
  m_SimOptions.m_DashboardVersion = "7.7.7.7";
  StartSim();
  AddPackage(MODULE_DASHBOARD, "0.0.0.1");
  m_Table[MODULE_DASHBOARD].m_VersionMatch = 0;
  EXPECT_TRUE(Check());
  EXPECT_EQ(Cell(MODULE_DASHBOARD, COL_CURRENT), "7.7.7.7");
  EXPECT_EQ(Cell(MODULE_DASHBOARD, COL_STATUS), "Waiting for the upgrade");
  EXPECT_EQ(Colour(MODULE_DASHBOARD), COLOUR_BLUE);
  EXPECT_EQ(m_Table[MODULE_DASHBOARD].m_VersionMatch, 1);
  EXPECT_EQ(EventCount("board-version"), 0u) << "no firmware package, no firmware query";
}

TEST_F(CheckTest, DashboardWithoutVersionAndPackageWithoutVersion) {
  m_SimOptions.m_DashboardVersion = "";
  StartSim();
  AddPackage(MODULE_DASHBOARD, "3.0.0.0");
  AddPackage(MODULE_FIRMWARE, "");
  EXPECT_TRUE(Check());
  EXPECT_EQ(Cell(MODULE_DASHBOARD, COL_CURRENT), "No version");
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_UPGRADE), "No version");
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_STATUS), "Waiting for the upgrade");
}

TEST_F(CheckTest, OnlyRouterPackagesLeaveTheWirelessModuleAlone) {
  StartSim();
  AddPackage(MODULE_CUSTOMIZATION, "1.2.3.4");
  m_Table[MODULE_FIRMWARE].m_CurrentVersion = "stale";
  EXPECT_TRUE(Check());
  EXPECT_EQ(m_Sim->TcpConnectionCount(), 0);
  for (int row : {MODULE_BOOT, MODULE_APP, MODULE_FIRMWARE, MODULE_DASHBOARD}) {
    SCOPED_TRACE(row);
    EXPECT_EQ(Cell(row, COL_STATUS), "Not found");
    EXPECT_EQ(Colour(row), COLOUR_GREY_TEXT);
    EXPECT_EQ(Cell(row, COL_CURRENT), "");
    EXPECT_EQ(Cell(row, COL_UPGRADE), "");
  }
  // The router's version still fills the hidden rows.
  EXPECT_EQ(m_Table[MODULE_BOOT].m_CurrentVersion, "1.2.3.4");
  EXPECT_EQ(m_Table[MODULE_APP].m_CurrentVersion, "1.2.3.4");
  EXPECT_EQ(m_Table[MODULE_FIRMWARE].m_CurrentVersion, "");
  EXPECT_EQ(Cell(MODULE_CUSTOMIZATION, COL_STATUS), "Waiting for the upgrade");
}

TEST_F(CheckTest, NoRouterAfterThreeTries) {
  m_SimOptions.m_Faults.m_NoDiscoveryAnswer = true;
  StartSim();
  AddPackage(MODULE_APP, "1.2.3.4");
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(Check());
  const uint64_t elapsed = Clock::TickCount() - start;
  // Three receive time-outs of 3000 ms and three pauses of 100 ms.
  EXPECT_GE(elapsed, 3u * 3100);
  EXPECT_LT(elapsed, 3u * 3100 + 60 * TIME_SCALE);
  EXPECT_EQ(EventCount("discover"), 3u);
  EXPECT_EQ(m_Notices.Texts(), std::vector<std::string>{"No router is detected"});
  EXPECT_TRUE(Logged("没有检测到路由器"));
  EXPECT_TRUE(m_List.Rows().empty());
  EXPECT_TRUE(m_Table[MODULE_APP].m_Package.m_Loaded) << "the scan's packages stay";
  EXPECT_EQ(m_Sim->TcpConnectionCount(), 0);
}

TEST_F(CheckTest, DiscoveryAnsweredOnTheThirdTry) {
  DiscoveryResponder responder(m_Port, 3, "1.2.3.4");
  ASSERT_TRUE(responder.Bound());
  AddPackage(MODULE_BOOT, "1.2.3.5");
  const uint64_t start = Clock::TickCount();
  EXPECT_TRUE(Check());
  EXPECT_GE(Clock::TickCount() - start, 2u * 3100);
  EXPECT_EQ(responder.Requests(), 3);
  EXPECT_EQ(memcmp(m_Engine->m_RouterMac, DiscoveryResponder::MAC, 6), 0);
  EXPECT_EQ(Cell(MODULE_BOOT, COL_CURRENT), "1.2.3.4");
  EXPECT_TRUE(m_Notices.Texts().empty());
}

TEST_F(CheckTest, RouterVersionNotValidKeepsEarlierVersions) {
  for (const char* version : {"V1.2.3.4", "", "1.2.3"}) {
    SCOPED_TRACE(version);
    m_SimOptions.m_RouterVersion = version;
    StartSim();
    AddPackage(MODULE_APP, "1.0.0.5");
    m_Table.SetRouterVersion("1.0.0.1");
    EXPECT_TRUE(Check());
    for (int row : {MODULE_BOOT, MODULE_APP, MODULE_CUSTOMIZATION}) EXPECT_EQ(m_Table[row].m_CurrentVersion, "1.0.0.1");
    EXPECT_EQ(Cell(MODULE_APP, COL_CURRENT), "1.0.0.1");
    m_Sim->Stop();
  }
}

TEST_F(CheckTest, TcpConnectionRefused) {
  // A router that answers discovery but takes no TCP connection.
  DiscoveryResponder responder(m_Port, 1, "1.2.3.4");
  ASSERT_TRUE(responder.Bound());
  AddPackage(MODULE_FIRMWARE, "2.1.0.8");
  AddPackage(MODULE_APP, "1.2.3.4");
  m_Table[MODULE_FIRMWARE].m_CurrentVersion = "2.0.0.1";
  EXPECT_TRUE(Check()) << "the Check goes on with the rows";
  EXPECT_EQ(m_Notices.Texts(), std::vector<std::string>{"Creating the TCP connection failed"});
  EXPECT_EQ(m_Engine->m_ResultTextId, IDS_TCP_FAILED);
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_CURRENT), "");
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_STATUS), "Waiting for the upgrade");
  EXPECT_EQ(Cell(MODULE_APP, COL_CURRENT), "1.2.3.4");
}

TEST_F(CheckTest, FirstHandshakeFails) {
  m_SimOptions.m_Faults.m_HandshakeSilent = 3;
  StartSim();
  AddPackage(MODULE_FIRMWARE, "9.0.0.0");
  AddPackage(MODULE_DASHBOARD, "9.0.0.0");
  EXPECT_TRUE(Check());
  EXPECT_TRUE(m_Notices.Texts().empty()) << "a log line only";
  EXPECT_TRUE(Logged("DIAG_HandShake: Write or Read Fail"));
  EXPECT_TRUE(Logged("初次和无线模块握手失败"));
  EXPECT_EQ(EventCount("handshake"), 3u);
  EXPECT_EQ(EventCount("board-version"), 0u);
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_CURRENT), "");
  EXPECT_EQ(Cell(MODULE_DASHBOARD, COL_CURRENT), "");
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_STATUS), "Waiting for the upgrade");
  EXPECT_FALSE(m_Engine->m_Channel.IsOpen());
}

TEST_F(CheckTest, ModuleInItsDownloader) {
  m_SimOptions.m_Faults.m_StartInDownloader = true;
  StartSim();
  AddPackage(MODULE_FIRMWARE, "9.0.0.0");
  AddPackage(MODULE_DASHBOARD, "9.0.0.0");
  EXPECT_TRUE(Check());
  EXPECT_EQ(m_Engine->m_InDownloader, 1);
  for (int row : {MODULE_FIRMWARE, MODULE_DASHBOARD}) {
    EXPECT_EQ(Cell(row, COL_CURRENT), "Can't read in force-load mode");
    EXPECT_EQ(Cell(row, COL_STATUS), "Waiting for the upgrade");
  }
  EXPECT_EQ(EventCount("board-version"), 0u);
  EXPECT_EQ(EventCount("iso-version"), 0u);
  EXPECT_FALSE(m_Engine->m_Channel.IsOpen());
}

TEST_F(CheckTest, ScanFailureEndsTheCheckBeforeDiscovery) {
  StartSim();
  EXPECT_FALSE(Check());
  EXPECT_EQ(m_Notices.Texts(), std::vector<std::string>{"No valid .bin file is found in the current directory"});
  EXPECT_EQ(EventCount("discover"), 0u);
  EXPECT_TRUE(m_List.Rows().empty());
}

TEST_F(CheckTest, EmbeddedPackagesSkipTheScan) {
  StartSim();
  AddPackage(MODULE_APP, "1.2.3.4");
  // Loaded as the window would from its own resources; the directory is not read.
  ModuleEntry& entry = m_Table[MODULE_APP];
  entry.m_Package.m_Path = m_PackageDir.File("module1.bin");
  ASSERT_TRUE(entry.m_Package.Load());
  AddPackage(MODULE_BOOT, "1.2.3.4");  // would be found by a scan
  m_Engine = std::make_unique<UpgradeEngine>(&m_List, &m_Table);
  m_Engine->m_RouterPort = m_Port;
  CheckOptions options;
  options.m_PackageDir = m_PackageDir.Path();
  options.m_Broadcast = LOOPBACK_BROADCAST;
  options.m_PackagesEmbedded = true;
  EXPECT_TRUE(RunCheck(*m_Engine, m_List, options));
  EXPECT_EQ(Cell(MODULE_APP, COL_STATUS), "Waiting for the upgrade");
  EXPECT_EQ(Cell(MODULE_BOOT, COL_STATUS), "Not found");
}

TEST_F(CheckTest, SecondCheckForgetsAMissingPackage) {
  StartSim();
  AddPackage(MODULE_FIRMWARE, "2.1.0.9");
  ASSERT_TRUE(Check());
  ASSERT_TRUE(m_Table[MODULE_FIRMWARE].IsSelected());
  ASSERT_EQ(unlink(m_PackageDir.File("module3.bin").c_str()), 0);
  AddPackage(MODULE_APP, "1.2.3.4");
  EXPECT_TRUE(Check());
  EXPECT_FALSE(m_Table[MODULE_FIRMWARE].IsSelected());
  EXPECT_EQ(m_Table[MODULE_FIRMWARE].m_VersionMatch, 1) << "kept from the Check before";
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_STATUS), "Not found");
  EXPECT_EQ(m_Sim->TcpConnectionCount(), 1) << "the second Check needs no connection";
}

}  // namespace
}  // namespace checktest
