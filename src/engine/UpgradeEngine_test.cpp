#include "engine/UpgradeEngine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

#include "engine/ScopedTmpDir.h"
#include "net/Clock.h"
#include "support/TestSupport.h"

namespace {

// A loopback listener the engine can connect to.
class Listener {
 public:
  Listener() {
    m_Socket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(m_Socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(m_Socket, reinterpret_cast<sockaddr*>(&address), &length);
    m_Port = ntohs(address.sin_port);
    listen(m_Socket, 2);
  }
  ~Listener() {
    if (m_Peer >= 0) close(m_Peer);
    close(m_Socket);
  }
  int Accept() {
    pollfd ready{m_Socket, POLLIN, 0};
    if (poll(&ready, 1, 2000) != 1) return -1;
    m_Peer = accept(m_Socket, nullptr, nullptr);
    return m_Peer;
  }
  // True when the peer sees the connection end within realMs.
  bool PeerSeesEnd(int realMs) {
    pollfd ready{m_Peer, POLLIN, 0};
    if (poll(&ready, 1, realMs) != 1) return false;
    char byte;
    return read(m_Peer, &byte, 1) == 0;
  }
  int m_Socket = -1;
  int m_Peer = -1;
  int m_Port = 0;
};

class UpgradeEngineTest : public testing::Test {
 protected:
  UpgradeEngineTest() { Clock::SetScale(50); }
  ScopedTmpDir m_Dir;  // where the engine's log goes
};

TEST_F(UpgradeEngineTest, StartsIdle) {
  UpgradeEngine engine(nullptr);
  EXPECT_EQ(engine.m_Row, MODULE_NONE);
  EXPECT_EQ(engine.m_StageStart, 0);
  EXPECT_EQ(engine.m_ResultTextId, IDS_DOWNLOAD_OK);
  EXPECT_EQ(engine.m_ForceLoad, 0);
  EXPECT_EQ(engine.m_Busy.load(), 0);
  EXPECT_EQ(engine.m_RouterPort, 1280);
  EXPECT_EQ(engine.m_Table, &TheModuleTable());
  EXPECT_EQ(engine.m_InDownloader, 0);
  EXPECT_EQ(engine.m_Offline, 0);
  const uint8_t zero[6] = {};
  EXPECT_EQ(memcmp(engine.m_RouterMac, zero, 6), 0);
  EXPECT_EQ(memcmp(engine.m_RouterIp, zero, 4), 0);
  EXPECT_EQ(engine.m_DiagCaller.m_pChannel, &engine.m_Channel);
  EXPECT_EQ(engine.m_DiagCaller.m_pLog, &engine.m_Log);
  EXPECT_EQ(engine.m_Log.FilePath(), m_Dir.File("QelUpgradeLog.txt"));
  ModuleTable table;
  UpgradeEngine own(nullptr, &table);
  EXPECT_EQ(own.m_Table, &table);
}

TEST_F(UpgradeEngineTest, ConnectWithoutARouterAddressFails) {
  Listener listener;
  UpgradeEngine engine(nullptr);
  engine.m_RouterPort = listener.m_Port;
  engine.m_Row = MODULE_APP;
  EXPECT_FALSE(engine.Connect());
  EXPECT_EQ(engine.m_ResultTextId, IDS_TCP_FAILED);
  EXPECT_EQ(engine.m_Row, MODULE_NONE);
  EXPECT_FALSE(engine.m_Channel.IsOpen());
}

TEST_F(UpgradeEngineTest, ConnectRefusedFails) {
  UpgradeEngine engine(nullptr);
  engine.m_RouterPort = testsupport::FreePort();
  const uint8_t loopback[4] = {127, 0, 0, 1};
  memcpy(engine.m_RouterIp, loopback, 4);
  EXPECT_FALSE(engine.Connect());
  EXPECT_EQ(engine.m_ResultTextId, IDS_TCP_FAILED);
}

TEST_F(UpgradeEngineTest, ConnectStartsTheReceiveThreadAndDisconnectCloses) {
  Listener listener;
  UpgradeEngine engine(nullptr);
  engine.m_RouterPort = listener.m_Port;
  const uint8_t loopback[4] = {127, 0, 0, 1};
  memcpy(engine.m_RouterIp, loopback, 4);
  ASSERT_TRUE(engine.Connect());
  EXPECT_EQ(engine.m_ResultTextId, IDS_DOWNLOAD_OK);
  EXPECT_TRUE(engine.m_Channel.IsOpen());
  EXPECT_TRUE(engine.m_Channel.ReceiveThreadRunning());
  ASSERT_GE(listener.Accept(), 0);
  engine.Disconnect();
  EXPECT_FALSE(engine.m_Channel.IsOpen());
  EXPECT_FALSE(engine.m_Channel.ReceiveThreadRunning());
  EXPECT_TRUE(listener.PeerSeesEnd(2000));
  engine.Disconnect();  // already closed: harmless
  EXPECT_FALSE(engine.m_Channel.IsOpen());
}

TEST_F(UpgradeEngineTest, DestructionWritesTheLogAndCloses) {
  Listener listener;
  {
    UpgradeEngine engine(nullptr);
    engine.m_RouterPort = listener.m_Port;
    const uint8_t loopback[4] = {127, 0, 0, 1};
    memcpy(engine.m_RouterIp, loopback, 4);
    ASSERT_TRUE(engine.Connect());
    ASSERT_GE(listener.Accept(), 0);
    LogPrintf(&engine.m_Log, "%s", "没有检测到路由器");
    EXPECT_EQ(testsupport::ReadText(m_Dir.File("QelUpgradeLog.txt")), "") << "nothing before the end";
  }
  const std::string text = testsupport::ReadText(m_Dir.File("QelUpgradeLog.txt"));
  EXPECT_NE(text.find(" 没有检测到路由器\r\n"), std::string::npos);
  EXPECT_TRUE(listener.PeerSeesEnd(2000));
}

TEST(StringTableTest, EveryIdOfTheProgram) {
  const int ids[] = {102, 103, 105, 106, 107, 109, 110, 111, 112, 113, 114, 115, 116, 119, 120, 121, 122, 123,
                     124, 125, 126, 127, 128, 129, 130, 131, 132, 134, 135, 136, 137, 139, 140, 141, 143,
                     144, 145, 146, 147, 148, 149, 150, 151, 153, 155, 156, 157, 158};
  for (int id : ids) EXPECT_STRNE(LoadStringId(id), "") << id;
  for (int id : {0, 101, 104, 108, 117, 118, 133, 138, 142, 152, 154, 159, 1000}) EXPECT_STREQ(LoadStringId(id), "") << id;
  EXPECT_STREQ(LoadStringId(103), "Download successfully");
  EXPECT_STREQ(LoadStringId(126), "Failed to check the version after the upgrade.");
  EXPECT_STREQ(LoadStringId(136), "Help.chm is not exist in the current directory!");
  EXPECT_STREQ(LoadStringId(146), "%");
  EXPECT_STREQ(LoadStringId(153), "Version does not match");
  EXPECT_STREQ(LoadStringId(155), "Waiting for the upgrade");
  EXPECT_STREQ(LoadStringId(158), "Not found");
}

}  // namespace
