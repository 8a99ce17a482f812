// The whole upgrade pass: which rows run in which order, what ends a pass
// early, and how every pass ends (forcing download mode left, connection
// closed, log written, completion reported).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "diag/Hdlc.h"
#include "e2e/UpgradeFixture.h"
#include "router/RouterUdpClient.h"

namespace upgradetest {
namespace {

constexpr uint32_t FIRMWARE_ADDRESS = 0x00100000;
constexpr uint32_t DASHBOARD_ADDRESS = 0x00800000;
const char* const SEPARATOR = "++++++++++++++++++++++++++++++++++++++++++++++++++";

class UpgradePassTest : public UpgradeFixture {
 protected:
  void AddRouter(ModuleKind kind, size_t length) { AddPackage(kind, length); }
  void AddFirmware(size_t length = 9000) { AddPackage(MODULE_FIRMWARE, length, FIRMWARE_ADDRESS); }
  void AddDashboard(size_t length = 5000) { AddPackage(MODULE_DASHBOARD, length, DASHBOARD_ADDRESS); }

  // Runs one pass on a worker thread, as the front ends do, and watches it.
  void RunPass() {
    UpgradeEngine& engine = m_Engine ? *m_Engine : MakeEngine();
    engine.m_Notify = [this](int code) {
      m_Notified.push_back(code);
      m_LogAtNotify = LogFile();
    };
    std::atomic<bool> done{false};
    std::thread worker([&] {
      engine.RunUpgrade();
      done = true;
    });
    while (!done) {
      if (engine.m_Busy.load() == BUSY_UPGRADING) m_SawBusy = true;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    worker.join();
  }

  // The lines of the log file, without their timestamps.
  std::vector<std::string> LogMessages() const { return testsupport::LogMessages(LogFile()); }

  // " (mm:ss)": the elapsed minutes within the hour and seconds.
  static bool IsElapsedTime(const std::string& text) {
    auto digit = [&](size_t i, char high) { return text[i] >= '0' && text[i] <= high; };
    return text.size() == 8 && text.compare(0, 2, " (") == 0 && digit(2, '5') && digit(3, '9') && text[4] == ':' &&
           digit(5, '5') && digit(6, '9') && text[7] == ')';
  }
  static bool IsSuccess(const std::string& status) {
    const std::string text = Text(IDS_DOWNLOAD_OK);
    return status.compare(0, text.size(), text) == 0 && IsElapsedTime(status.substr(text.size()));
  }
  void ExpectResult(int row, const std::string& text, uint32_t colour) {
    const std::string status = m_List.LastStatus(row);
    EXPECT_EQ(status.substr(0, text.size() + 2), text + " (") << "row " << row;
    EXPECT_TRUE(IsElapsedTime(status.substr(text.size()))) << status;
    EXPECT_EQ(m_List.LastColour(row), colour) << "row " << row;
  }
  void ExpectSucceeded(int row) {
    EXPECT_TRUE(IsSuccess(m_List.LastStatus(row))) << "row " << row << ": " << m_List.LastStatus(row);
    EXPECT_EQ(m_List.LastColour(row), COLOUR_BLUE) << "row " << row;
  }
  void ExpectUntouched(int row) {
    for (const ListChange& change : m_List.Changes()) EXPECT_NE(change.m_Row, row) << change.m_Text;
  }
  // The MAC line first and the separator last; notified once, after the flush.
  void ExpectPassEnded(const std::string& macText) {
    const std::vector<std::string> messages = LogMessages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages.front(), macText);
    EXPECT_EQ(messages.back(), SEPARATOR);
    EXPECT_EQ(m_Notified, (std::vector<int>{CTRL_UPGRADE_DONE}));
    EXPECT_NE(m_LogAtNotify.find(SEPARATOR), std::string::npos) << "the log is written before the notice";
    EXPECT_TRUE(m_Engine->m_Log.Pending().empty());
    EXPECT_EQ(m_Engine->m_Busy.load(), 0);
    EXPECT_FALSE(m_Engine->m_Channel.IsOpen());
  }
  std::vector<uint8_t> Memory(uint32_t address) const {
    const auto memory = m_Sim->WirelessMemory();
    const auto run = memory.find(address);
    return run == memory.end() ? std::vector<uint8_t>() : run->second;
  }

  std::vector<int> m_Notified;
  std::string m_LogAtNotify;
  bool m_SawBusy = false;
};

TEST_F(UpgradePassTest, AllFiveRowsAreUpgradedInOrder) {
  m_SimOptions.m_NewFirmwareVersion = "2.2.0.1";
  StartSim();
  AddRouter(MODULE_BOOT, 9000);
  AddRouter(MODULE_APP, 16000);
  AddRouter(MODULE_CUSTOMIZATION, 3000);
  AddFirmware(10000);
  AddDashboard(6000);
  RunPass();

  for (int row = 0; row < MODULE_COUNT; ++row) {
    ExpectSucceeded(row);
    EXPECT_EQ(m_List.LastPercent(row), "100%") << "row " << row;
  }
  // Byte for byte what the packages hold.
  const std::vector<std::vector<uint8_t>> images = m_Sim->RouterImages();
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[0], UnitBytes(MODULE_BOOT));
  EXPECT_EQ(images[1], UnitBytes(MODULE_APP));
  EXPECT_EQ(images[2], UnitBytes(MODULE_CUSTOMIZATION));
  EXPECT_EQ(Memory(FIRMWARE_ADDRESS), UnitBytes(MODULE_FIRMWARE));
  EXPECT_EQ(Memory(DASHBOARD_ADDRESS), UnitBytes(MODULE_DASHBOARD));
  EXPECT_EQ(m_Sim->FirmwareVersion(), "2.2.0.1");

  // One erase after the router images, before the wireless module is
  // touched; each wireless stage runs the full downloader sequence.
  const std::vector<std::string> names = EventNames();
  EXPECT_EQ(EventCount("erase-nvram"), 1u);
  int lastImage = -1;
  for (int i = 0; i < static_cast<int>(names.size()); ++i)
    if (names[i] == "rut-image") lastImage = i;
  EXPECT_GT(EventIndex("erase-nvram"), lastImage);
  EXPECT_LT(EventIndex("erase-nvram"), EventIndex("handshake"));
  EXPECT_EQ(EventCount("fwt-begin"), 2u);
  EXPECT_EQ(EventCount("switch-downloader"), 2u);
  EXPECT_EQ(EventCount("reset"), 2u);
  EXPECT_EQ(LastEvent(), "leave-force-load");
  EXPECT_EQ(m_Sim->TcpConnectionCount(), 1);

  EXPECT_TRUE(m_SawBusy);
  ExpectPassEnded("02-51-E1-00-00-01");
}

TEST_F(UpgradePassTest, NoRowSelectedConnectsAndEnds) {
  StartSim();
  MakeEngine();
  RunPass();
  EXPECT_EQ(m_Sim->TcpConnectionCount(), 1);
  EXPECT_EQ(EventCount("leave-force-load"), 0u);
  EXPECT_TRUE(m_List.Changes().empty());
  ExpectPassEnded("02-51-E1-00-00-01");

  // A second pass appends to the same file.
  m_Notified.clear();
  RunPass();
  EXPECT_EQ(CountOf(LogFile(), SEPARATOR), 2u);
  EXPECT_EQ(CountOf(LogFile(), "02-51-E1-00-00-01"), 2u);
}

TEST_F(UpgradePassTest, BootAloneErasesNothing) {
  StartSim();
  AddRouter(MODULE_BOOT, 3000);
  RunPass();
  ExpectSucceeded(MODULE_BOOT);
  EXPECT_EQ(EventCount("rut-image"), 1u);
  EXPECT_EQ(EventCount("erase-nvram"), 0u);
  ExpectPassEnded("02-51-E1-00-00-01");
}

TEST_F(UpgradePassTest, AppAndCustomizationAreFollowedByOneErase) {
  StartSim();
  AddRouter(MODULE_APP, 3000);
  AddRouter(MODULE_CUSTOMIZATION, 2000);
  RunPass();
  ExpectSucceeded(MODULE_APP);
  ExpectSucceeded(MODULE_CUSTOMIZATION);
  const std::vector<std::vector<uint8_t>> images = m_Sim->RouterImages();
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0], UnitBytes(MODULE_APP));
  EXPECT_EQ(images[1], UnitBytes(MODULE_CUSTOMIZATION));
  EXPECT_EQ(EventCount("erase-nvram"), 1u);
  EXPECT_GT(EventIndex("erase-nvram"), EventIndex("rut-image", EventIndex("rut-image") + 1));
  ExpectUntouched(MODULE_BOOT);
  // The erase runs with no row: its text reaches the log only.
  EXPECT_NE(LogFile().find(Text(111)), std::string::npos);
  for (int row = 0; row < MODULE_COUNT; ++row)
    for (const std::string& status : m_List.Statuses(row)) EXPECT_NE(status, Text(111));
}

TEST_F(UpgradePassTest, FailingAppEndsThePass) {
  m_SimOptions.m_Faults.m_RouterResultCode = 3;
  StartSim();
  AddRouter(MODULE_APP, 3000);
  AddRouter(MODULE_CUSTOMIZATION, 2000);
  AddFirmware();
  RunPass();
  ExpectResult(MODULE_APP, Text(122), COLOUR_RED);
  ExpectUntouched(MODULE_CUSTOMIZATION);
  ExpectUntouched(MODULE_FIRMWARE);
  EXPECT_EQ(m_Sim->RouterImages().size(), 1u);
  EXPECT_EQ(EventCount("erase-nvram"), 0u);
  EXPECT_EQ(EventCount("handshake"), 0u);
  // A wireless row was selected: the forcing mode is left all the same.
  EXPECT_EQ(LastEvent(), "leave-force-load");
  ExpectPassEnded("02-51-E1-00-00-01");
}

TEST_F(UpgradePassTest, FailingFirmwareSkipsTheDashboardButLeavesTheForcingMode) {
  m_SimOptions.m_Faults.m_ResetRefused = true;
  StartSim();
  AddFirmware(3000);
  AddDashboard(3000);
  RunPass();
  ExpectResult(MODULE_FIRMWARE, Text(130), COLOUR_RED);
  ExpectUntouched(MODULE_DASHBOARD);
  EXPECT_EQ(EventCount("iso-version"), 0u);
  EXPECT_EQ(EventCount("fwt-begin"), 1u);
  EXPECT_TRUE(Memory(DASHBOARD_ADDRESS).empty());
  EXPECT_EQ(LastEvent(), "leave-force-load");
  ExpectPassEnded("02-51-E1-00-00-01");
}

TEST_F(UpgradePassTest, DashboardAloneRunsNoRouterStage) {
  StartSim();
  AddDashboard(3000);
  RunPass();
  ExpectSucceeded(MODULE_DASHBOARD);
  EXPECT_EQ(EventCount("rut-begin") + EventCount("erase-nvram") + EventCount("nv-backup"), 0u);
  EXPECT_EQ(Memory(DASHBOARD_ADDRESS), UnitBytes(MODULE_DASHBOARD));
  EXPECT_EQ(LastEvent(), "leave-force-load");
  ExpectPassEnded("02-51-E1-00-00-01");
}

TEST_F(UpgradePassTest, StagesThatRecoverFromASilentFirstHandshakeShowSuccess) {
  // The firmware stage's first wait gets no handshake answer at all.
  m_SimOptions.m_Faults.m_HandshakeSilent = 6;
  StartSim();
  AddFirmware(3000);
  AddDashboard(3000);
  RunPass();
  ExpectSucceeded(MODULE_FIRMWARE);
  ExpectSucceeded(MODULE_DASHBOARD);
  for (int row : {MODULE_FIRMWARE, MODULE_DASHBOARD})
    for (const std::string& status : m_List.Statuses(row)) EXPECT_EQ(status.find(Text(124)), std::string::npos);
  EXPECT_EQ(Memory(FIRMWARE_ADDRESS), UnitBytes(MODULE_FIRMWARE));
  EXPECT_EQ(Memory(DASHBOARD_ADDRESS), UnitBytes(MODULE_DASHBOARD));
}

TEST_F(UpgradePassTest, RouterAddressStillZeroEndsWithoutTouchingARow) {
  StartSim();
  AddRouter(MODULE_BOOT, 1000);
  UpgradeEngine& engine = MakeEngine();
  memset(engine.m_RouterIp, 0, 4);
  memset(engine.m_RouterMac, 0, 6);
  RunPass();
  EXPECT_EQ(engine.m_ResultTextId, IDS_TCP_FAILED);
  EXPECT_TRUE(m_List.Changes().empty());
  EXPECT_EQ(m_Sim->TcpConnectionCount(), 0);
  ExpectPassEnded("00-00-00-00-00-00");
}

TEST_F(UpgradePassTest, ConnectionRefusedStillLeavesTheForcingMode) {
  // A UDP listener and no TCP service on its port.
  const int udp = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(udp, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  getsockname(udp, reinterpret_cast<sockaddr*>(&address), &length);
  AddFirmware();
  UpgradeEngine& engine = MakeEngine();
  engine.m_RouterPort = ntohs(address.sin_port);
  RunPass();
  EXPECT_EQ(engine.m_ResultTextId, IDS_TCP_FAILED);
  EXPECT_TRUE(m_List.Changes().empty());

  uint8_t datagram[512];
  const ssize_t n = recv(udp, datagram, sizeof datagram, MSG_DONTWAIT);
  close(udp);
  ASSERT_GT(n, 0) << "no leave-force-load request";
  uint8_t payload[512];
  const uint32_t payloadLength = HdlcDecode(datagram, static_cast<uint32_t>(n), payload);
  ASSERT_EQ(payloadLength, ROUTER_COMMAND_SIZE);
  EXPECT_EQ(payload[0], ROUTER_CMD_LEAVE_FORCE_LOAD);
  EXPECT_EQ(0, memcmp(payload + 1, engine.m_RouterIp, 4));
  EXPECT_EQ(0, memcmp(payload + 5, engine.m_RouterMac, 6));
  ExpectPassEnded("02-51-E1-00-00-01");
}

TEST_F(UpgradePassTest, ProgressIsKeptPerRow) {
  UpgradeEngine& engine = MakeEngine();
  engine.m_Row = MODULE_FIRMWARE;
  engine.ShowRowProgress(100);
  engine.m_Row = MODULE_DASHBOARD;
  engine.ShowRowProgress(100);  // the same value, in another row
  engine.ShowRowProgress(100);
  EXPECT_EQ(m_List.Percents(MODULE_FIRMWARE), (std::vector<std::string>{"100%"}));
  EXPECT_EQ(m_List.Percents(MODULE_DASHBOARD), (std::vector<std::string>{"100%"}));
}

}  // namespace
}  // namespace upgradetest
