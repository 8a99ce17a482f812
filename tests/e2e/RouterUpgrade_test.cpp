// The router image transfer and the router's short commands, against the
// simulator on loopback (and, for a connection lost mid-image, a small peer
// that resets the stream).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "e2e/UpgradeFixture.h"

namespace upgradetest {
namespace {

class RouterUpgradeTest : public UpgradeFixture {
 protected:
  // Connects and runs the image stage of the kind; returns its result.
  bool Upgrade(ModuleKind kind) {
    UpgradeEngine& engine = m_Engine ? *m_Engine : MakeEngine();
    EXPECT_TRUE(engine.Connect());
    const bool ok = engine.UpgradeRouterImage(m_Table[kind].m_Package);
    m_StageMs = Clock::TickCount();
    return ok;
  }
  uint64_t m_StageMs = 0;
};

TEST_F(RouterUpgradeTest, ImageOf7300BytesGoesOutAsOneBlock) {
  StartSim();
  AddPackage(MODULE_BOOT, 7300);
  ASSERT_TRUE(Upgrade(MODULE_BOOT));
  // Transfer 0 -> 100 in one step, then the result wait 0 -> 100.
  EXPECT_EQ(m_List.Percents(MODULE_BOOT), (std::vector<std::string>{"0%", "100%", "0%", "100%"}));
  EXPECT_EQ(m_List.Statuses(MODULE_BOOT), (std::vector<std::string>{Text(116), Text(112)}));
  ASSERT_EQ(m_Sim->RouterImages().size(), 1u);
  EXPECT_EQ(m_Sim->RouterImages()[0], UnitBytes(MODULE_BOOT));
  EXPECT_EQ(m_Engine->m_ResultTextId, IDS_DOWNLOAD_OK);
  const std::string log = Log();
  EXPECT_LT(Where(log, "Sending RUT Begin Pkt"), Where(log, Text(116)));
  EXPECT_NE(Where(log, "TCP_GetRouterResult's ElapsedTime = "), std::string::npos);
  EXPECT_EQ(Where(log, ", Result = "), std::string::npos);
}

TEST_F(RouterUpgradeTest, ImageOf7301BytesGoesOutAsTwoBlocks) {
  StartSim();
  AddPackage(MODULE_CUSTOMIZATION, 7301);
  ASSERT_TRUE(Upgrade(MODULE_CUSTOMIZATION));
  // 7300 of 7301 bytes is 99%, the last byte completes it.
  EXPECT_EQ(m_List.Percents(MODULE_CUSTOMIZATION),
            (std::vector<std::string>{"0%", "99%", "100%", "0%", "100%"}));
  ASSERT_EQ(m_Sim->RouterImages().size(), 1u);
  EXPECT_EQ(m_Sim->RouterImages()[0], UnitBytes(MODULE_CUSTOMIZATION));
}

TEST_F(RouterUpgradeTest, LargerImageIsCutInto7300ByteBlocks) {
  StartSim();
  AddPackage(MODULE_APP, 20000);  // 7300 + 7300 + 5400
  ASSERT_TRUE(Upgrade(MODULE_APP));
  EXPECT_EQ(m_List.Percents(MODULE_APP), (std::vector<std::string>{"0%", "36%", "73%", "100%", "0%", "100%"}));
  ASSERT_EQ(m_Sim->RouterImages().size(), 1u);
  EXPECT_EQ(m_Sim->RouterImages()[0], UnitBytes(MODULE_APP));
}

TEST_F(RouterUpgradeTest, BeginPacketAnnouncesAllUnitsButOnlyTheFirstIsSent) {
  StartSim();
  AddPackage(MODULE_BOOT, {PackageUnit{0x1000, Pattern(5000, 3)}, PackageUnit{0x9000, Pattern(3000, 9)}});
  ASSERT_TRUE(Upgrade(MODULE_BOOT));
  // 5000 of the announced 8000 bytes: the transfer stops at 62%.
  EXPECT_EQ(m_List.Percents(MODULE_BOOT), (std::vector<std::string>{"0%", "62%", "0%", "100%"}));
  ASSERT_EQ(m_Sim->RouterImages().size(), 1u);
  EXPECT_EQ(m_Sim->RouterImages()[0], UnitBytes(MODULE_BOOT, 0));
  bool announced = false;
  for (const SimEvent& event : m_Sim->Events())
    if (event.m_Name == "rut-begin") announced = event.m_Detail.find("8000") != std::string::npos;
  EXPECT_TRUE(announced) << "the begin packet must announce 8000 bytes";
}

TEST_F(RouterUpgradeTest, ResultCodeOtherThan4FailsWith122) {
  m_SimOptions.m_Faults.m_RouterResultCode = 3;
  StartSim();
  AddPackage(MODULE_BOOT, 1000);
  EXPECT_FALSE(Upgrade(MODULE_BOOT));
  EXPECT_EQ(m_Engine->m_ResultTextId, IDS_ROUTER_RESULT_FAIL);
  EXPECT_EQ(m_List.LastPercent(MODULE_BOOT), "100%");
  const std::string log = Log();
  const size_t line = Where(log, "TCP_GetRouterResult's ElapsedTime = ");
  ASSERT_NE(line, std::string::npos);
  EXPECT_NE(Where(log, " ms, Result = 3\r\n", line), std::string::npos);
}

TEST_F(RouterUpgradeTest, BeginPacketThatCannotBeSentFailsWith120AndSendsNoBlock) {
  StartSim();
  AddPackage(MODULE_BOOT, 1000);
  UpgradeEngine& engine = MakeEngine();  // never connected: every send fails
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(engine.UpgradeRouterImage(m_Table[MODULE_BOOT].m_Package));
  const uint64_t elapsed = Clock::TickCount() - start;
  EXPECT_EQ(engine.m_ResultTextId, IDS_BEGIN_FAILED);
  EXPECT_EQ(CountOf(Log(), "Sending RUT Begin Pkt"), 1u);
  EXPECT_TRUE(m_List.Statuses(MODULE_BOOT).empty()) << "no transfer status without a begin packet";
  EXPECT_EQ(m_List.Percents(MODULE_BOOT), (std::vector<std::string>{"0%"}));
  EXPECT_EQ(EventCount("rut-begin") + EventCount("rut-image"), 0u);
  EXPECT_TRUE(m_Sim->RouterImages().empty());
  EXPECT_GE(elapsed, 300u) << "three attempts, 100 ms apart";
  EXPECT_LT(elapsed, 2500u) << "no pause of a sent packet";
}

// A result after the limit fails with 123: the limit is 240 s for APP and
// 120 s for the others, polled in 8-second slices.
class RouterResultLimitTest : public RouterUpgradeTest {
 protected:
  void SetUp() override {
    RouterUpgradeTest::SetUp();
    UseScale(500);
  }
  // The result arrives after install time + delay = seconds.
  void ResultAfter(uint32_t seconds) {
    m_SimOptions.m_InstallMs = 1000;
    m_SimOptions.m_Faults.m_ResultDelayMs = seconds * 1000 - 1000;
  }
};

TEST_F(RouterResultLimitTest, AppResultAfter200SecondsSucceeds) {
  ResultAfter(200);
  StartSim();
  AddPackage(MODULE_APP, 100);
  ASSERT_TRUE(Upgrade(MODULE_APP));
  // The wait shows the elapsed share of 240 s, rising, then 100.
  const std::vector<std::string> percents = m_List.Percents(MODULE_APP);
  ASSERT_GE(percents.size(), 5u);
  EXPECT_EQ(percents.back(), "100%");
  // After the transfer's "100%", the wait starts again from "0%".
  size_t wait = 0;
  while (wait < percents.size() && percents[wait] != "100%") ++wait;
  ASSERT_LT(wait + 2, percents.size());
  EXPECT_EQ(percents[wait + 1], "0%");
  for (size_t i = wait + 2; i + 1 < percents.size(); ++i)
    EXPECT_GT(atoi(percents[i].c_str()), atoi(percents[i - 1].c_str()));
  const int beforeLast = atoi(percents[percents.size() - 2].c_str());
  EXPECT_GE(beforeLast, 70);  // about 192 s of 240
  EXPECT_LE(beforeLast, 90);
}

TEST_F(RouterResultLimitTest, BootResultAfter95SecondsSucceeds) {
  ResultAfter(95);
  StartSim();
  AddPackage(MODULE_BOOT, 100);
  ASSERT_TRUE(Upgrade(MODULE_BOOT));
  EXPECT_EQ(m_Engine->m_ResultTextId, IDS_DOWNLOAD_OK);
}

TEST_F(RouterResultLimitTest, BootResultAfter200SecondsTimesOutWith123) {
  ResultAfter(200);
  StartSim();
  AddPackage(MODULE_BOOT, 100);
  UpgradeEngine& engine = MakeEngine();
  ASSERT_TRUE(engine.Connect());
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(engine.UpgradeRouterImage(m_Table[MODULE_BOOT].m_Package));
  const uint64_t elapsed = Clock::TickCount() - start;
  EXPECT_EQ(engine.m_ResultTextId, IDS_ROUTER_RESULT_TIMEOUT);
  // 2.5 s after the begin packet, then the 120 s limit and at most one slice.
  EXPECT_GE(elapsed, 122500u);
  EXPECT_LT(elapsed, 122500u + 8000u + 4000u);
  EXPECT_EQ(Where(Log(), "TCP_GetRouterResult"), std::string::npos) << "a time-out logs nothing";
  EXPECT_NE(m_List.LastPercent(MODULE_BOOT), "100%");
}

TEST_F(RouterResultLimitTest, AppResultAfterItsLimitTimesOutWith123) {
  ResultAfter(260);
  StartSim();
  AddPackage(MODULE_APP, 100);
  EXPECT_FALSE(Upgrade(MODULE_APP));
  EXPECT_EQ(m_Engine->m_ResultTextId, IDS_ROUTER_RESULT_TIMEOUT);
}

// A peer that takes the begin packet and then resets the connection.
class ResettingPeer {
 public:
  ResettingPeer() {
    m_Listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    setsockopt(m_Listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    bind(m_Listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_Listener, 4);
    socklen_t length = sizeof address;
    getsockname(m_Listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_Port = ntohs(address.sin_port);
    m_Thread = std::thread([this] { Serve(); });
  }
  ~ResettingPeer() {
    shutdown(m_Listener, SHUT_RDWR);
    close(m_Listener);
    m_Thread.join();
  }
  int Port() const { return m_Port; }

 private:
  void Serve() {
    const int connection = accept(m_Listener, nullptr, nullptr);
    if (connection < 0) return;
    // The begin packet is one frame of at least 42 bytes ending in a flag.
    std::vector<uint8_t> received;
    uint8_t buffer[256];
    while (received.size() < 42 || received.back() != 0x7E) {
      const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      received.insert(received.end(), buffer, buffer + n);
    }
    const linger reset{1, 0};
    setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    close(connection);
  }

  int m_Listener = -1;
  int m_Port = 0;
  std::thread m_Thread;
};

TEST_F(RouterUpgradeTest, ConnectionLostDuringTheImageFailsWith121) {
  ResettingPeer peer;
  AddPackage(MODULE_BOOT, 100 * 7300);
  UpgradeEngine& engine = MakeEngine();
  engine.m_RouterPort = peer.Port();
  ASSERT_TRUE(engine.Connect());
  EXPECT_FALSE(engine.UpgradeRouterImage(m_Table[MODULE_BOOT].m_Package));
  EXPECT_EQ(engine.m_ResultTextId, IDS_TRANSMIT_FAILED);
  const std::string log = Log();
  const size_t line = Where(log, "Router Block");
  ASSERT_NE(line, std::string::npos);
  EXPECT_NE(Where(log, " Transfer Fail: ", line), std::string::npos);
  EXPECT_EQ(Where(log, "Unknow Error Code"), std::string::npos) << "the socket error is named";
  EXPECT_FALSE(engine.m_Channel.ReceiveThreadRunning()) << "the receive thread stays stopped";
  EXPECT_NE(m_List.LastStatus(MODULE_BOOT), Text(112)) << "no result wait";
}

// The router's UDP commands.
TEST_F(RouterUpgradeTest, EraseNotAcknowledgedIsTriedThreeTimes) {
  m_SimOptions.m_Faults.m_EraseNotAnswered = true;
  StartSim();
  UpgradeEngine& engine = MakeEngine();
  engine.m_Row = MODULE_APP;
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(engine.EraseRouterNvram());
  const uint64_t elapsed = Clock::TickCount() - start;
  EXPECT_EQ(EventCount("erase-nvram"), 3u);
  EXPECT_EQ(engine.m_Row, MODULE_NONE);
  EXPECT_EQ(engine.m_ResultTextId, IDS_DOWNLOAD_OK) << "no result text of its own";
  EXPECT_GE(elapsed, 3u * (4000 + 1000));
  EXPECT_NE(Where(Log(), Text(111)), std::string::npos);
  for (int row = 0; row < MODULE_COUNT; ++row) EXPECT_TRUE(m_List.Statuses(row).empty());
}

TEST_F(RouterUpgradeTest, EraseAcknowledgedAtOnce) {
  StartSim();
  UpgradeEngine& engine = MakeEngine();
  EXPECT_TRUE(engine.EraseRouterNvram());
  EXPECT_EQ(EventCount("erase-nvram"), 1u);
}

TEST_F(RouterUpgradeTest, ForcingDownloadModeIsEnteredAndLeft) {
  StartSim();
  UpgradeEngine& engine = MakeEngine();
  engine.m_Row = MODULE_FIRMWARE;
  ASSERT_TRUE(engine.EnterForceLoad());
  EXPECT_EQ(engine.m_ForceLoad, 1);
  EXPECT_TRUE(m_Sim->ForceLoad());
  EXPECT_EQ(m_List.LastStatus(MODULE_FIRMWARE), "Enter Forcing Download Mode ...");
  ASSERT_TRUE(engine.LeaveForceLoad());
  EXPECT_EQ(engine.m_ForceLoad, 1) << "only a new pass clears the flag";
  EXPECT_FALSE(m_Sim->ForceLoad());
  EXPECT_NE(Where(Log(), "Leave Forcing Download Mode ..."), std::string::npos);
  EXPECT_EQ(m_List.LastStatus(MODULE_FIRMWARE), "Enter Forcing Download Mode ...") << "leaving shows no row text";
}

TEST_F(RouterUpgradeTest, WaitForRouterPollsEveryTwoSecondsUntilItsLimit) {
  StartSim();
  UpgradeEngine& engine = MakeEngine();
  uint64_t start = Clock::TickCount();
  EXPECT_TRUE(engine.WaitForRouter(10000));
  EXPECT_GE(Clock::TickCount() - start, 2000u) << "the first check comes after 2 s";
  EXPECT_EQ(EventCount("ping"), 1u);

  engine.m_RouterPort = testsupport::FreePort();  // nobody answers there
  start = Clock::TickCount();
  EXPECT_FALSE(engine.WaitForRouter(10000));
  const uint64_t elapsed = Clock::TickCount() - start;
  EXPECT_GT(elapsed, 10000u);
  EXPECT_LT(elapsed, 10000u + 4000u + 1500u);
}

}  // namespace
}  // namespace upgradetest
