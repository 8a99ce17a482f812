#include "engine/UpgradeEngine.h"

#include <gtest/gtest.h>

#include <cstring>

#include "net/Clock.h"
#include "support/ScriptedPort.h"
#include "support/TestSupport.h"

namespace {

class UpgradeEngineTest : public testing::Test {
 protected:
  UpgradeEngineTest() { Clock::SetScale(1000); }
  void Aim(UpgradeEngine& engine) {
    const uint8_t ip[4] = {127, 1, 2, 3};  // each octet in its place
    memcpy(engine.m_RouterIp, ip, 4);
  }

  testsupport::TempDir m_Dir;  // where the engine's log goes
  testsupport::ScopedEnv m_TmpDir{"TMPDIR", m_Dir.Path().c_str()};
  testsupport::ScriptedLink m_Link;
};

TEST_F(UpgradeEngineTest, StartsIdle) {
  UpgradeEngine engine(nullptr);
  EXPECT_EQ(engine.m_Row, MODULE_NONE);
  EXPECT_EQ(engine.m_StageStart, 0);
  EXPECT_EQ(engine.m_ResultTextId, IDS_DOWNLOAD_OK);
  EXPECT_EQ(engine.m_ForceLoad + engine.m_Busy.load() + engine.m_InDownloader + engine.m_Offline, 0);
  const uint8_t zero[6] = {};
  EXPECT_EQ(memcmp(engine.m_RouterMac, zero, 6), 0);
  EXPECT_EQ(memcmp(engine.m_RouterIp, zero, 4), 0);
  EXPECT_EQ(engine.m_Table, &TheModuleTable());
  EXPECT_FALSE(engine.m_Channel.IsOpen());
  EXPECT_EQ(engine.m_DiagCaller.m_pChannel, &engine.m_Channel);
  EXPECT_EQ(engine.m_DiagCaller.m_pLog, &engine.m_Log);
  EXPECT_EQ(engine.m_Log.FilePath(), m_Dir.File("QelUpgradeLog.txt"));
  ModuleTable table;
  EXPECT_EQ(UpgradeEngine(nullptr, &table).m_Table, &table);
}

TEST_F(UpgradeEngineTest, ConnectFailsWithoutARouterAddressAndWhenRefused) {
  for (bool refused : {false, true}) {
    SCOPED_TRACE(refused ? "refused" : "no address");
    UpgradeEngine engine(nullptr);
    if (refused) {
      Aim(engine);
      m_Link.RefuseConnects(1);
    }
    engine.m_Row = MODULE_APP;
    EXPECT_FALSE(engine.Connect());
    EXPECT_EQ(engine.m_ResultTextId, IDS_TCP_FAILED);
    EXPECT_EQ(engine.m_Row, MODULE_NONE);
    EXPECT_FALSE(engine.m_Channel.IsOpen());
    EXPECT_EQ(m_Link.OpenPorts(), 0);
  }
}

TEST_F(UpgradeEngineTest, ConnectsToTheRouterPortWithItsReceiveThreadAndDisconnects) {
  UpgradeEngine engine(nullptr);
  Aim(engine);
  engine.m_Row = MODULE_APP;
  ASSERT_TRUE(engine.Connect());
  EXPECT_EQ(engine.m_ResultTextId, IDS_DOWNLOAD_OK);
  EXPECT_EQ(engine.m_Row, MODULE_NONE);
  EXPECT_TRUE(engine.m_Channel.ReceiveThreadRunning());
  const uint8_t flag = 0x7E;
  ASSERT_EQ(engine.m_Channel.SendRaw(&flag, 1, 3000), 1);
  const testsupport::Message sent = m_Link.Messages().at(0);
  EXPECT_EQ(sent.m_Kind, PORT_TCP);
  EXPECT_EQ(sent.m_Address + ":" + std::to_string(sent.m_Port), "127.1.2.3:1280");
  for (int time = 0; time < 2; ++time) {  // a second time does no harm
    engine.Disconnect();
    EXPECT_FALSE(engine.m_Channel.IsOpen());
    EXPECT_FALSE(engine.m_Channel.ReceiveThreadRunning());
    EXPECT_EQ(m_Link.OpenPorts(), 0);
  }
}

TEST_F(UpgradeEngineTest, DestructionWritesTheLogAndCloses) {
  const std::string file = m_Dir.File("QelUpgradeLog.txt");
  {
    UpgradeEngine engine(nullptr);
    Aim(engine);
    ASSERT_TRUE(engine.Connect());
    LogPrintf(&engine.m_Log, "%s", "没有检测到路由器");
    EXPECT_EQ(testsupport::ReadText(file), "") << "nothing before the end";
  }
  EXPECT_NE(testsupport::ReadText(file).find(" 没有检测到路由器\r\n"), std::string::npos);
  EXPECT_EQ(m_Link.OpenPorts(), 0);
}

}  // namespace
