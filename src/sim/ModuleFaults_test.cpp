// Each fault of the wireless module, seen on the wire.
#include "sim/SimTestFixture.h"

using namespace simtest;

namespace {

class ModuleFaultTest : public SimTest {
 protected:
  void LaunchWith(void (*set)(SimFaults*)) {
    SimOptions options = TestOptions();
    set(&options.m_Faults);
    Launch(options);
    m_Tool = std::make_unique<TcpClient>(Port());
  }
  std::vector<uint8_t> Ask(const std::vector<uint8_t>& request, bool lead, int timeoutMs = 1000) {
    return m_Tool->Exchange(request, lead, timeoutMs);
  }
  std::unique_ptr<TcpClient> m_Tool;
};

const std::vector<uint8_t> ACCEPTED{0x02};

TEST_F(ModuleFaultTest, HandshakeSilentForTheFirstN) {
  LaunchWith([](SimFaults* f) { f->m_HandshakeSilent = 2; });
  EXPECT_TRUE(Ask(Handshake(), false, QUIET_MS).empty());
  EXPECT_TRUE(Ask(Handshake(), true, QUIET_MS).empty());
  EXPECT_GE(Ask(Handshake(), false).size(), 16u);
  EXPECT_EQ(Ask(BoardVersion(), false).size(), 66u) << "other requests are answered throughout";
}

TEST_F(ModuleFaultTest, StartInDownloaderAndOffline) {
  LaunchWith([](SimFaults* f) { f->m_StartInDownloader = true; });
  std::vector<uint8_t> reply = Ask(Handshake(), false);
  ASSERT_GE(reply.size(), 16u);
  EXPECT_EQ(reply[14], 1);
  m_Sim->Stop();

  LaunchWith([](SimFaults* f) { f->m_Offline = true; });
  reply = Ask(Handshake(), false);
  ASSERT_GE(reply.size(), 16u);
  EXPECT_EQ(reply[14], 0);
  EXPECT_EQ(reply[15], 1);
}

TEST_F(ModuleFaultTest, NvBackupReason) {
  LaunchWith([](SimFaults* f) { f->m_NvBackupReason = 3; });
  const std::vector<uint8_t> reply = Ask(NvBackup(), false);
  ASSERT_EQ(reply.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + 4), std::vector<uint8_t>({0x4B, 0xC8, 0x1E, 0xFF}));
  EXPECT_NE(reply[5], 0);
  EXPECT_EQ(reply[6], 3);
  EXPECT_EQ(Ask(RestoreStatus(), false).at(5), 0) << "a refused backup leaves none";
}

TEST_F(ModuleFaultTest, RestoreStatusAndRestoreRefused) {
  LaunchWith([](SimFaults* f) {
    f->m_RestoreStatus5 = 1;
    f->m_RestoreStatus6 = 1;
    f->m_RestoreStatusForced = true;
    f->m_RestoreRefused = 2;
  });
  std::vector<uint8_t> reply = Ask(RestoreStatus(), false);
  ASSERT_EQ(reply.size(), 36u);
  EXPECT_EQ(reply[5], 1) << "forced even without a backup";
  EXPECT_EQ(reply[6], 1);
  for (int i = 0; i < 2; ++i) {
    reply = Ask(NvRestore(), false);
    ASSERT_EQ(reply.size(), 8u);
    EXPECT_EQ(reply[6], 4);
  }
  reply = Ask(NvRestore(), false);
  EXPECT_EQ(reply[5], 0);
  EXPECT_EQ(reply[6], 0);
}

TEST_F(ModuleFaultTest, UnlockRefusedNTimes) {
  LaunchWith([](SimFaults* f) {
    f->m_StartInDownloader = true;
    f->m_UnlockRefused = 2;
  });
  for (int i = 0; i < 2; ++i) {
    const std::vector<uint8_t> reply = Ask(Unlock(), true);
    ASSERT_EQ(reply.size(), 3u);
    EXPECT_EQ(reply[0], 0x03);
  }
  EXPECT_EQ(Ask(Unlock(), true), ACCEPTED);
}

TEST_F(ModuleFaultTest, BlockRefusedAtNForTries) {
  LaunchWith([](SimFaults* f) {
    f->m_StartInDownloader = true;
    f->m_BlockRefusedAt = 2;
    f->m_BlockRefusedTries = 2;
  });
  ASSERT_EQ(Ask(Unlock(), true), ACCEPTED);
  EXPECT_EQ(Ask(Write(0x100, {1}), true).size(), 5u);
  EXPECT_EQ(Ask(Write(0x101, {2}), true).size(), 3u);
  EXPECT_EQ(Ask(Write(0x101, {2}), true).size(), 3u);
  EXPECT_EQ(Ask(Write(0x101, {2}), true), std::vector<uint8_t>({0x02, 0, 0, 0x01, 0x01}));
  EXPECT_EQ(Ask(Write(0x102, {3}), true).size(), 5u);
  EXPECT_EQ(m_Sim->WirelessMemory().at(0x100), std::vector<uint8_t>({1, 2, 3}));
}

TEST_F(ModuleFaultTest, ResetRefused) {
  LaunchWith([](SimFaults* f) {
    f->m_StartInDownloader = true;
    f->m_ResetRefused = true;
  });
  const std::vector<uint8_t> reply = Ask({0x0A}, true);
  ASSERT_EQ(reply.size(), 3u);
  EXPECT_EQ(reply[0], 0x03);
  EXPECT_FALSE(m_Sim->Restarting());
  EXPECT_TRUE(m_Sim->InDownloader());
}

TEST_F(ModuleFaultTest, StaysInDownloaderAfterReset) {
  LaunchWith([](SimFaults* f) {
    f->m_StartInDownloader = true;
    f->m_StaysInDownloader = true;
  });
  ASSERT_EQ(Ask({0x0A}, true), ACCEPTED);
  ASSERT_TRUE(WaitRestarted());
  EXPECT_TRUE(m_Sim->InDownloader());
  const std::vector<uint8_t> reply = Ask(Handshake(), false);
  ASSERT_GE(reply.size(), 16u);
  EXPECT_EQ(reply[14], 1);
}

}  // namespace
