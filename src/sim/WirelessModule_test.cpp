// The wireless module's modes and replies, on the wire.
#include "sim/WirelessModule.h"

#include "sim/SimTestFixture.h"

using namespace simtest;

namespace {

class ModuleTest : public SimTest {};

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> list) { return list; }

TEST_F(ModuleTest, NormalModeAnswersEveryQueryInItsLayout) {
  Launch();
  TcpClient tool(Port());
  ASSERT_TRUE(tool.Connected());

  std::vector<uint8_t> reply = tool.Exchange(Handshake(), false);
  ASSERT_GE(reply.size(), 16u);
  EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + 10),
            Bytes({0x26, 0, 0, 0x25, 0xA7, 0, 6, 0, 0, 0}));
  EXPECT_EQ(reply[14], 0);
  EXPECT_EQ(reply[15], 0);

  reply = tool.Exchange(BoardVersion(), false);
  ASSERT_EQ(reply.size(), 66u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&reply[4])), "2.1.0.7");

  reply = tool.Exchange(IsoVersion(), false);
  ASSERT_EQ(reply.size(), 260u);
  EXPECT_EQ(reply[4], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&reply[5])), "3.0.1.2");

  reply = tool.Exchange(RestoreStatus(), false);
  ASSERT_EQ(reply.size(), 36u);
  EXPECT_EQ(reply[5], 0) << "no backup yet";

  reply = tool.Exchange(NvBackup(), false);
  EXPECT_EQ(reply, NvBackup());
  reply = tool.Exchange(RestoreStatus(), false);
  EXPECT_EQ(reply[5], 1) << "a backup exists now";
  EXPECT_EQ(reply[6], 0);

  EXPECT_EQ(tool.Exchange(Bytes({0x29, 0x01, 0x00}), false), Bytes({0x29, 0x01, 0x00}));
  reply = tool.Exchange(Handshake(), false);
  ASSERT_GE(reply.size(), 16u);
  EXPECT_EQ(reply[15], 1) << "change mode 1 takes the module offline";

  // Downloader commands are unknown here: 13 followed by the request.
  EXPECT_EQ(tool.Exchange(Bytes({0x0A}), true), Bytes({0x13, 0x0A}));
  EXPECT_EQ(tool.Exchange(Bytes({0x55, 0x66}), false), Bytes({0x13, 0x55, 0x66}));
}

TEST_F(ModuleTest, DashboardWithoutVersionSaysSo) {
  SimOptions options = TestOptions();
  options.m_DashboardVersion = "";
  Launch(options);
  TcpClient tool(Port());
  const std::vector<uint8_t> reply = tool.Exchange(IsoVersion(), false);
  ASSERT_EQ(reply.size(), 260u);
  EXPECT_EQ(reply[4], 1);
}

// The whole firmware download as the module sees it: switch, restart into the
// downloader, unlock, blocks, reset, restart into normal mode with the new
// version and the NV backup restored.
TEST_F(ModuleTest, DownloadCycleChangesModesAndVersion) {
  SimOptions options = TestOptions();
  options.m_NewFirmwareVersion = "2.2.0.0";
  options.m_NewDashboardVersion = "3.1.0.0";
  options.m_RestartMs = 15000;  // 150 ms real: room to see the module restarting
  Launch(options);
  TcpClient tool(Port());
  ASSERT_EQ(tool.Exchange(NvBackup(), false), NvBackup());

  EXPECT_EQ(tool.Exchange(Bytes({0x3A}), false), Bytes({0x3A}));
  EXPECT_TRUE(m_Sim->Restarting());
  EXPECT_TRUE(tool.Exchange(Handshake(), false, QUIET_MS / 4).empty()) << "silent while restarting";
  ASSERT_TRUE(WaitRestarted());
  EXPECT_TRUE(m_Sim->InDownloader());

  tool.SendRaw({0x7E});  // the lone flag before the restart handshakes changes nothing
  std::vector<uint8_t> reply = tool.Exchange(Handshake(), false);
  ASSERT_GE(reply.size(), 16u);
  EXPECT_EQ(reply[14], 1);
  EXPECT_EQ(reply[15], 1);
  reply = tool.Exchange(Handshake(), true);
  ASSERT_GE(reply.size(), 16u) << "the downloader takes the handshake in either framing";

  tool.SendFrame({0x26}, true);  // sent before each unlock, never answered
  EXPECT_EQ(tool.Exchange(Unlock("WRONGCOD"), true).at(0), 0x03);
  EXPECT_EQ(tool.Exchange(Unlock(), true), Bytes({0x02}));

  std::vector<uint8_t> block(4096);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  EXPECT_EQ(tool.Exchange(Write(0x00100000, block), true), Bytes({0x02, 0x00, 0x10, 0x00, 0x00}));
  EXPECT_EQ(tool.Exchange(Write(0x00101000, {0x7E, 0x7D}), true),
            Bytes({0x02, 0x00, 0x10, 0x10, 0x00}));
  EXPECT_EQ(tool.Exchange(BoardVersion(), false), Bytes({0x13, 0x4B, 0xC9, 0x03, 0xFF}));

  EXPECT_EQ(tool.Exchange(Bytes({0x0A}), true), Bytes({0x02}));
  ASSERT_TRUE(WaitRestarted());
  EXPECT_FALSE(m_Sim->InDownloader());
  EXPECT_EQ(m_Sim->FirmwareVersion(), "2.2.0.0");
  EXPECT_EQ(m_Sim->DashboardVersion(), "3.1.0.0");
  reply = tool.Exchange(RestoreStatus(), false);
  ASSERT_EQ(reply.size(), 36u);
  EXPECT_EQ(reply[5], 1);
  EXPECT_EQ(reply[6], 0);

  const auto memory = m_Sim->WirelessMemory();
  ASSERT_EQ(memory.size(), 1u) << "two adjacent blocks make one run";
  std::vector<uint8_t> expected = block;
  expected.push_back(0x7E);
  expected.push_back(0x7D);
  EXPECT_EQ(memory.at(0x00100000), expected);
}

TEST_F(ModuleTest, WritesNeedAnUnlockAndAMatchingLength) {
  SimOptions options = TestOptions();
  options.m_Faults.m_StartInDownloader = true;
  Launch(options);
  TcpClient tool(Port());
  EXPECT_EQ(tool.Exchange(Write(0x2000, {1, 2, 3}), true).at(0), 0x03);
  ASSERT_EQ(tool.Exchange(Unlock(), true), Bytes({0x02}));
  std::vector<uint8_t> bad = Write(0x2000, {1, 2, 3});
  bad.pop_back();
  EXPECT_EQ(tool.Exchange(bad, true).size(), 3u);
  EXPECT_TRUE(m_Sim->WirelessMemory().empty());
}

TEST_F(ModuleTest, RestartWhileForcingFlagSetEndsInDownloader) {
  Launch();
  TcpClient tool(Port());
  // The FWT Force packet sets the router's flag; a reset-free route into a
  // restart is the forcing download request.
  tool.SendFrame(ControlPacket("Zyphex FWT Force Download Pkt", 0), true);
  ASSERT_TRUE(testsupport::WaitUntil([&] { return m_Sim->ForceLoad(); }, 1000));
  UdpClient udp;
  ASSERT_EQ(udp.Exchange(RouterRecord(7), Port()), RouterRecord(7));
  ASSERT_TRUE(WaitRestarted());
  EXPECT_TRUE(m_Sim->InDownloader());

  // Leaving the forcing mode before a reset brings the module back normal.
  ASSERT_EQ(udp.Exchange(RouterRecord(8), Port()), RouterRecord(8));
  EXPECT_FALSE(m_Sim->ForceLoad());
  ASSERT_EQ(tool.Exchange(Bytes({0x0A}), true), Bytes({0x02}));
  ASSERT_TRUE(WaitRestarted());
  EXPECT_FALSE(m_Sim->InDownloader());
  EXPECT_EQ(m_Sim->FirmwareVersion(), "2.1.0.7") << "no blocks written, no new version";
}

}  // namespace
