// The wireless firmware stage, its downloader steps and the restart waits,
// against the simulated wireless module behind the simulated router.
#include "e2e/UpgradeFixture.h"

namespace upgradetest {
namespace {

constexpr uint32_t FIRMWARE_ADDRESS = 0x00100000;

class FirmwareStageTest : public UpgradeFixture {
 protected:
  // Starts the simulator, makes the firmware package and a connected engine.
  UpgradeEngine& Ready(size_t length = 10000) {
    StartSim();
    AddPackage(MODULE_FIRMWARE, length, FIRMWARE_ADDRESS);
    UpgradeEngine& engine = MakeEngine();
    EXPECT_TRUE(engine.Connect());
    return engine;
  }
  // The events without the router presence checks, which come and go with timing.
  std::vector<std::string> Conversation() const {
    std::vector<std::string> names;
    for (const std::string& name : EventNames())
      if (name != "ping") names.push_back(name);
    return names;
  }
  std::vector<std::string> WriteDetails() const {
    std::vector<std::string> details;
    for (const SimEvent& event : m_Sim->Events())
      if (event.m_Name == "write") details.push_back(event.m_Detail);
    return details;
  }
  std::vector<std::string> Texts(std::initializer_list<int> ids) const {
    std::vector<std::string> texts;
    for (int id : ids) texts.push_back(Text(id));
    return texts;
  }
  // What the module holds from the address on, as long as the data.
  std::vector<uint8_t> Memory(uint32_t address) const {
    const auto memory = m_Sim->WirelessMemory();
    const auto run = memory.find(address);
    return run == memory.end() ? std::vector<uint8_t>() : run->second;
  }
};

TEST_F(FirmwareStageTest, FromNormalModeRunsEveryStepInOrder) {
  m_SimOptions.m_NewFirmwareVersion = "2.1.0.8";
  UpgradeEngine& engine = Ready(10000);  // blocks of 4096, 4096, 1808
  ASSERT_TRUE(engine.UpgradeWirelessFirmware());
  EXPECT_EQ(engine.m_ResultTextId, IDS_DOWNLOAD_OK);

  EXPECT_EQ(m_List.Statuses(MODULE_FIRMWARE), Texts({107, 105, 106, 113, 110, 114, 102, 113, 109}));
  // The stage's 0 and the restart wait's 0 are one cell value.
  EXPECT_EQ(m_List.Percents(MODULE_FIRMWARE),
            (std::vector<std::string>{"0%", "30%", "50%", "70%", "100%", "40%", "81%", "100%", "0%", "30%",
                                      "50%", "70%", "100%"}));
  EXPECT_EQ(Conversation(),
            (std::vector<std::string>{"handshake", "nv-backup", "change-mode", "fwt-begin", "switch-downloader",
                                      "handshake", "flag", "unlock",
                                      "write", "write", "write", "reset", "handshake", "restore-status",
                                      "board-version"}));
  EXPECT_EQ(WriteDetails(), (std::vector<std::string>{"addr=0x00100000 len=4096", "addr=0x00101000 len=4096",
                                                      "addr=0x00102000 len=1808"}));
  EXPECT_EQ(Memory(FIRMWARE_ADDRESS), UnitBytes(MODULE_FIRMWARE));
  EXPECT_EQ(m_Sim->FirmwareVersion(), "2.1.0.8");
  EXPECT_EQ(engine.m_ForceLoad, 0);

  const std::string log = Log();
  EXPECT_EQ(Where(log, "Have Enter Downloader Mode"), std::string::npos);
  EXPECT_LT(Where(log, "Sending FWT Begin Pkt"), Where(log, Text(106)));
  EXPECT_NE(Where(log, "  Try1: Reading restored status ..."), std::string::npos);
  EXPECT_EQ(Where(log, "  Try2: "), std::string::npos) << "the first status read succeeded";
}

TEST_F(FirmwareStageTest, FromTheDownloaderSkipsBackupAndSwitch) {
  m_SimOptions.m_Faults.m_StartInDownloader = true;
  UpgradeEngine& engine = Ready(5000);
  ASSERT_TRUE(engine.UpgradeWirelessFirmware());
  EXPECT_EQ(engine.m_ResultTextId, IDS_DOWNLOAD_OK);
  EXPECT_EQ(m_List.Statuses(MODULE_FIRMWARE), Texts({110, 114, 102, 113, 109}));
  // The downloader reports the offline mode: no mode change, the Force
  // packet, no switch, and the forcing mode left right after the last block.
  EXPECT_EQ(Conversation(),
            (std::vector<std::string>{"handshake", "fwt-force", "flag", "unlock", "write", "write",
                                      "leave-force-load", "reset", "handshake", "restore-status",
                                      "board-version"}));
  EXPECT_EQ(engine.m_ForceLoad, 1);
  EXPECT_NE(Where(Log(), "Have Enter Downloader Mode"), std::string::npos);
  EXPECT_EQ(Memory(FIRMWARE_ADDRESS), UnitBytes(MODULE_FIRMWARE));
}

TEST_F(FirmwareStageTest, SilentModuleIsTakenForOneInItsDownloader) {
  // Both handshakes of the first wait (three tries each) go unanswered.
  m_SimOptions.m_Faults.m_HandshakeSilent = 6;
  UpgradeEngine& engine = Ready(3000);
  ASSERT_TRUE(engine.UpgradeWirelessFirmware());
  EXPECT_EQ(engine.m_ResultTextId, IDS_HANDSHAKE_FAILED) << "the stage leaves the id; the pass shows success";
  EXPECT_EQ(engine.m_ForceLoad, 1);
  EXPECT_EQ(m_List.Statuses(MODULE_FIRMWARE),
            (std::vector<std::string>{"Enter Forcing Download Mode ...", Text(110), Text(114), Text(102),
                                      Text(113), Text(109)}));
  const std::vector<std::string> events = Conversation();
  EXPECT_EQ(std::count(events.begin(), events.end(), "nv-backup"), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), "switch-downloader"), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), "fwt-force"), 1);
  EXPECT_EQ(CountOf(Log(), "DIAG_HandShake: Write or Read Fail"), 2u);
  EXPECT_EQ(Memory(FIRMWARE_ADDRESS), UnitBytes(MODULE_FIRMWARE));
}

TEST_F(FirmwareStageTest, SilentModuleBehindARouterRefusingTheForcingDownloadModeFailsTheWait) {
  m_SimOptions.m_Faults.m_HandshakeSilent = 100;
  m_SimOptions.m_Faults.m_ForceLoadRefused = true;
  UpgradeEngine& engine = Ready(2000);
  EXPECT_FALSE(engine.WaitHandshake());
  EXPECT_EQ(engine.m_ResultTextId, IDS_HANDSHAKE_FAILED);
  EXPECT_EQ(engine.m_InDownloader, 1);
  EXPECT_EQ(engine.m_Offline, 1);
  EXPECT_EQ(engine.m_ForceLoad, 0);
  EXPECT_EQ(EventCount("enter-force-load"), 1u);
  EXPECT_EQ(EventCount("handshake"), 3u) << "one handshake (three tries), no second one";
  EXPECT_EQ(CountOf(Log(), "DIAG_HandShake: Write or Read Fail"), 1u);
}

TEST_F(FirmwareStageTest, NvBackupRefusedFailsWith125) {
  m_SimOptions.m_Faults.m_NvBackupReason = 2;
  UpgradeEngine& engine = Ready();
  EXPECT_FALSE(engine.UpgradeWirelessFirmware());
  EXPECT_EQ(engine.m_ResultTextId, IDS_BACKUP_NV_FAILED);
  EXPECT_NE(Where(Log(), "Backup NV: 不存在有效的备份"), std::string::npos);
  EXPECT_EQ(EventCount("fwt-begin") + EventCount("switch-downloader"), 0u);
}

TEST_F(FirmwareStageTest, StillInTheDownloaderAfterTheRebootFailsWith132) {
  m_SimOptions.m_Faults.m_StaysInDownloader = true;
  UpgradeEngine& engine = Ready(2000);
  EXPECT_FALSE(engine.UpgradeWirelessFirmware());
  EXPECT_EQ(engine.m_ResultTextId, IDS_NV_RESTORE_FAILED);
  EXPECT_NE(Where(Log(), "Still in downloader after reboot"), std::string::npos);
  EXPECT_EQ(EventCount("restore-status"), 0u);
  EXPECT_EQ(m_List.LastStatus(MODULE_FIRMWARE), Text(113));
}

TEST_F(FirmwareStageTest, RouterSilentAfterTheSwitchFailsTheFirstCheck) {
  m_SimOptions.m_Faults.m_PingSilentMs = 200000;
  UpgradeEngine& engine = Ready();
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(engine.UpgradeWirelessFirmware());
  const uint64_t elapsed = Clock::TickCount() - start;
  EXPECT_EQ(engine.m_ResultTextId, IDS_RESTART_TIMEOUT);
  EXPECT_NE(Where(Log(), "Waiting: First Check Fail"), std::string::npos);
  EXPECT_EQ(m_List.Percents(MODULE_FIRMWARE), (std::vector<std::string>{"0%"})) << "the cell stays at 0";
  EXPECT_GT(elapsed, 60000u);
  EXPECT_LT(elapsed, 60000u + 30000u);
  EXPECT_EQ(EventCount("unlock"), 0u);
}

// DownloadImage on its own, with the module already in its downloader.
class DownloadImageTest : public FirmwareStageTest {
 protected:
  UpgradeEngine& Downloader(const std::vector<PackageUnit>& units) {
    m_SimOptions.m_Faults.m_StartInDownloader = true;
    StartSim();
    AddPackage(MODULE_FIRMWARE, units);
    UpgradeEngine& engine = MakeEngine();
    EXPECT_TRUE(engine.Connect());
    engine.m_Row = MODULE_FIRMWARE;
    return engine;
  }
};

TEST_F(DownloadImageTest, UnitOf4097BytesIsWrittenAs4096AndOne) {
  UpgradeEngine& engine = Downloader({PackageUnit{0x00200000, Pattern(4097, 5)}});
  ASSERT_TRUE(engine.DownloadImage(m_Table[MODULE_FIRMWARE].m_Package));
  EXPECT_EQ(WriteDetails(), (std::vector<std::string>{"addr=0x00200000 len=4096", "addr=0x00201000 len=1"}));
  EXPECT_EQ(Memory(0x00200000), UnitBytes(MODULE_FIRMWARE));
  EXPECT_EQ(m_List.Percents(MODULE_FIRMWARE), (std::vector<std::string>{"99%", "100%"}));
  EXPECT_EQ(m_List.Statuses(MODULE_FIRMWARE), Texts({110, 114}));
}

TEST_F(DownloadImageTest, TwoUnitsStartAtTheirOwnLoadAddresses) {
  UpgradeEngine& engine =
      Downloader({PackageUnit{0x00100000, Pattern(5000, 1)}, PackageUnit{0x00300000, Pattern(3000, 2)}});
  ASSERT_TRUE(engine.DownloadImage(m_Table[MODULE_FIRMWARE].m_Package));
  EXPECT_EQ(WriteDetails(), (std::vector<std::string>{"addr=0x00100000 len=4096", "addr=0x00101000 len=904",
                                                      "addr=0x00300000 len=3000"}));
  EXPECT_EQ(Memory(0x00100000), UnitBytes(MODULE_FIRMWARE, 0));
  EXPECT_EQ(Memory(0x00300000), UnitBytes(MODULE_FIRMWARE, 1));
  // Progress runs over both units: 4096, 5000 and 8000 of 8000 bytes.
  EXPECT_EQ(m_List.Percents(MODULE_FIRMWARE), (std::vector<std::string>{"51%", "62%", "100%"}));
}

TEST_F(DownloadImageTest, BlockRefusedThreeTimesFailsWith129) {
  m_SimOptions.m_Faults.m_BlockRefusedAt = 2;
  m_SimOptions.m_Faults.m_BlockRefusedTries = 3;
  UpgradeEngine& engine = Downloader({PackageUnit{0x00100000, Pattern(10000, 1)}});
  EXPECT_FALSE(engine.DownloadImage(m_Table[MODULE_FIRMWARE].m_Package));
  EXPECT_EQ(engine.m_ResultTextId, IDS_DOWNLOAD_FAILED);
  const std::string log = Log();
  const size_t first = Where(log, "DIAG_Write#1> Exec Fail");
  const size_t second = Where(log, "DIAG_Write#2> Exec Fail");
  const size_t third = Where(log, "DIAG_Write#3> Exec Fail");
  const size_t end = Where(log, "Unit1 Block2: Download Fail");
  ASSERT_NE(end, std::string::npos);
  EXPECT_TRUE(first < second && second < third && third < end);
  EXPECT_EQ(CountOf(log, "Exec Fail"), 3u);
  // Block 2 was tried three times and block 3 never.
  EXPECT_EQ(WriteDetails(), (std::vector<std::string>{"addr=0x00100000 len=4096", "addr=0x00101000 len=4096",
                                                      "addr=0x00101000 len=4096", "addr=0x00101000 len=4096"}));
  EXPECT_EQ(m_List.Percents(MODULE_FIRMWARE), (std::vector<std::string>{"40%"}));
}

TEST_F(DownloadImageTest, BlockRefusedTwiceIsWrittenOnTheThirdTry) {
  m_SimOptions.m_Faults.m_BlockRefusedAt = 1;
  m_SimOptions.m_Faults.m_BlockRefusedTries = 2;
  UpgradeEngine& engine = Downloader({PackageUnit{0x00100000, Pattern(6000, 1)}});
  ASSERT_TRUE(engine.DownloadImage(m_Table[MODULE_FIRMWARE].m_Package));
  EXPECT_EQ(CountOf(Log(), "Exec Fail"), 2u);
  EXPECT_EQ(Memory(0x00100000), UnitBytes(MODULE_FIRMWARE));
}

TEST_F(DownloadImageTest, UnlockRefusedIsRetriedAfterTheForcingDownloadMode) {
  m_SimOptions.m_Faults.m_UnlockRefused = 3;  // every try of the first unlock
  UpgradeEngine& engine = Downloader({PackageUnit{0x00100000, Pattern(2000, 1)}});
  ASSERT_TRUE(engine.DownloadImage(m_Table[MODULE_FIRMWARE].m_Package));
  EXPECT_EQ(m_List.Statuses(MODULE_FIRMWARE),
            (std::vector<std::string>{Text(110), "Enter Forcing Download Mode ...", Text(114)}));
  EXPECT_EQ(CountOf(Log(), "DIAG_Unlock: Write or Read Fail"), 1u);
  const int force = EventIndex("enter-force-load");
  ASSERT_GE(force, 0);
  EXPECT_LT(EventIndex("unlock"), force);
  EXPECT_GT(EventIndex("write"), force);
  // The forcing mode was entered, so it is left after the last block.
  EXPECT_EQ(engine.m_ForceLoad, 1);
  EXPECT_GT(EventIndex("leave-force-load"), EventIndex("write"));
  EXPECT_EQ(Memory(0x00100000), UnitBytes(MODULE_FIRMWARE));
}

TEST_F(DownloadImageTest, UnlockRefusedTwiceFailsWith128) {
  m_SimOptions.m_Faults.m_UnlockRefused = 6;
  UpgradeEngine& engine = Downloader({PackageUnit{0x00100000, Pattern(2000, 1)}});
  EXPECT_FALSE(engine.DownloadImage(m_Table[MODULE_FIRMWARE].m_Package));
  EXPECT_EQ(engine.m_ResultTextId, IDS_UNLOCK_FAILED);
  EXPECT_EQ(EventCount("write"), 0u);
}

// The NV restore check: up to two status reads, then a restore request, twice.
TEST_F(FirmwareStageTest, RestoreCheckGivesUpAfterFourReadsAndTwoRestores) {
  m_SimOptions.m_Faults.m_RestoreStatus5 = 2;
  m_SimOptions.m_Faults.m_RestoreStatusForced = true;
  m_SimOptions.m_Faults.m_RestoreRefused = 2;
  UpgradeEngine& engine = Ready();
  engine.m_Row = MODULE_FIRMWARE;
  EXPECT_FALSE(engine.CheckNvRestore());
  EXPECT_EQ(m_List.Statuses(MODULE_FIRMWARE), Texts({109}));
  EXPECT_EQ(Conversation(), (std::vector<std::string>{"restore-status", "restore-status", "nv-restore",
                                                      "restore-status", "restore-status", "nv-restore"}));
  // Try1, Try2, the restore's line; and once more.
  const std::string log = Log();
  size_t at = 0;
  for (int round = 0; round < 2; ++round) {
    for (const char* line : {"  Try1: Reading restored status ...", "DIAG_NV_QueryRestoreStatus: Restore Fail",
                             "  Try2: Reading restored status ...", "DIAG_NV_QueryRestoreStatus: Restore Fail",
                             "Restore NV: NV操作失败"}) {
      at = Where(log, line, at);
      ASSERT_NE(at, std::string::npos) << "round " << round << ": " << line;
      ++at;
    }
  }
}

TEST_F(FirmwareStageTest, RestoreCheckSucceedsWhenTheSecondRestoreIsAccepted) {
  m_SimOptions.m_Faults.m_RestoreStatus5 = 2;
  m_SimOptions.m_Faults.m_RestoreStatusForced = true;
  m_SimOptions.m_Faults.m_RestoreRefused = 1;
  UpgradeEngine& engine = Ready();
  EXPECT_TRUE(engine.CheckNvRestore());
  EXPECT_EQ(EventCount("restore-status"), 4u);
  EXPECT_EQ(EventCount("nv-restore"), 2u);
}

// The restart waits.
TEST_F(FirmwareStageTest, RestartWaitSucceedsOnTheThirdHandshake) {
  m_SimOptions.m_Faults.m_HandshakeSilent = 6;  // two handshakes of three tries
  UpgradeEngine& engine = Ready();
  engine.m_Row = MODULE_FIRMWARE;
  const uint64_t start = Clock::TickCount();
  ASSERT_TRUE(engine.WaitModuleRestart());
  const uint64_t elapsed = Clock::TickCount() - start;
  EXPECT_EQ(m_List.Percents(MODULE_FIRMWARE), (std::vector<std::string>{"0%", "30%", "50%", "70%", "100%"}));
  EXPECT_EQ(CountOf(Log(), "DIAG_HandShake: Write or Read Fail"), 2u);
  EXPECT_EQ(EventCount("handshake"), 7u);
  EXPECT_EQ(engine.m_InDownloader, 0);
  // Two router checks 6 s apart, then the handshakes.
  EXPECT_GE(elapsed, 2000u + 6000u + 2000u);
}

TEST_F(FirmwareStageTest, RestartWaitFailsAfterThreeHandshakes) {
  m_SimOptions.m_Faults.m_HandshakeSilent = 9;
  UpgradeEngine& engine = Ready();
  engine.m_Row = MODULE_FIRMWARE;
  EXPECT_FALSE(engine.WaitModuleRestart());
  EXPECT_EQ(engine.m_ResultTextId, IDS_RESTART_TIMEOUT);
  EXPECT_NE(Where(Log(), "Waiting: Handshake failed"), std::string::npos);
  EXPECT_EQ(m_List.LastPercent(MODULE_FIRMWARE), "70%");
  // The lone flag went out before the handshakes.
  EXPECT_EQ(EventCount("handshake"), 9u);
}

TEST_F(FirmwareStageTest, RestartWaitWithNoRouterFailsTheFirstCheck) {
  StartSim();
  UpgradeEngine& engine = MakeEngine();
  engine.m_RouterPort = testsupport::FreePort();  // no router there
  engine.m_Row = MODULE_FIRMWARE;
  EXPECT_FALSE(engine.WaitModuleRestart());
  EXPECT_EQ(engine.m_ResultTextId, IDS_RESTART_TIMEOUT);
  EXPECT_NE(Where(Log(), "Waiting: First Check Fail"), std::string::npos);
  EXPECT_EQ(Where(Log(), "Second Check"), std::string::npos);
  EXPECT_EQ(m_List.Percents(MODULE_FIRMWARE), (std::vector<std::string>{"0%"}));
}

TEST_F(FirmwareStageTest, ResetRefusedFailsWith130) {
  m_SimOptions.m_Faults.m_StartInDownloader = true;
  m_SimOptions.m_Faults.m_ResetRefused = true;
  UpgradeEngine& engine = Ready(1000);
  EXPECT_FALSE(engine.UpgradeWirelessFirmware());
  EXPECT_EQ(engine.m_ResultTextId, IDS_RESTART_FAILED);
  EXPECT_NE(Where(Log(), "DIAG_Reset: Write or Read Fail"), std::string::npos);
  EXPECT_EQ(m_List.LastStatus(MODULE_FIRMWARE), Text(102));
}

}  // namespace
}  // namespace upgradetest
