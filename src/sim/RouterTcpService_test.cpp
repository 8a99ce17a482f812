// The router's TCP service: control packets, the raw image phase and its
// result, and the connection handling.
#include "sim/RouterTcpService.h"

#include "sim/SimTestFixture.h"

using namespace simtest;

namespace {

class RouterTcpTest : public SimTest {};

const char RUT[] = "Zyphex RUT Begin Download Pkt";

std::vector<uint8_t> Image(size_t size) {
  std::vector<uint8_t> image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>((i * 31) ^ (i >> 8));
  return image;
}

uint32_t ResultCode(const std::vector<uint8_t>& packet) {
  return packet[30] | (packet[31] << 8) | (packet[32] << 16) | (uint32_t{packet[33]} << 24);
}

TEST_F(RouterTcpTest, FullImageIsInstalledAndAnsweredWithCode4) {
  Launch();
  TcpClient tool(Port());
  const std::vector<uint8_t> image = Image(20000);  // holds 7E and 7D bytes, sent unescaped
  ASSERT_TRUE(tool.SendFrame(ControlPacket(RUT, 20000), true));
  ASSERT_TRUE(tool.SendRaw(image));
  const auto sent = std::chrono::steady_clock::now();
  const std::vector<uint8_t> result = tool.Receive(2000);
  ASSERT_EQ(result.size(), 40u);
  EXPECT_EQ(result[0], 0xFF);
  EXPECT_EQ(std::vector<uint8_t>(result.begin() + 1, result.begin() + 30), std::vector<uint8_t>(29, 0));
  EXPECT_EQ(ResultCode(result), 4u);
  EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(25)) << "installs first";
  ASSERT_EQ(m_Sim->RouterImages().size(), 1u);
  EXPECT_EQ(m_Sim->RouterImages()[0], image);

  // The stream is back to frames afterwards.
  EXPECT_GE(tool.Exchange(Handshake(), false).size(), 16u);
}

TEST_F(RouterTcpTest, ShorterImageThanAnnouncedEndsWhenIdle) {
  Launch();
  TcpClient tool(Port());
  const std::vector<uint8_t> image = Image(7301);
  ASSERT_TRUE(tool.SendFrame(ControlPacket(RUT, 50000), true));
  // The tool waits after the begin packet; no image byte yet means no idle cut.
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  EXPECT_TRUE(m_Sim->RouterImages().empty());
  ASSERT_TRUE(tool.SendRaw(image));
  const std::vector<uint8_t> result = tool.Receive(2000);
  ASSERT_EQ(result.size(), 40u);
  EXPECT_EQ(ResultCode(result), 4u);
  ASSERT_EQ(m_Sim->RouterImages().size(), 1u);
  EXPECT_EQ(m_Sim->RouterImages()[0], image);
}

TEST_F(RouterTcpTest, ResultFaults) {
  SimOptions options = TestOptions();
  options.m_Faults.m_RouterResultCode = 3;
  Launch(options);
  {
    TcpClient tool(Port());
    tool.SendFrame(ControlPacket(RUT, 100), true);
    tool.SendRaw(Image(100));
    const std::vector<uint8_t> result = tool.Receive(2000);
    ASSERT_EQ(result.size(), 40u);
    EXPECT_EQ(ResultCode(result), 3u);
  }
  m_Sim->Stop();

  options = TestOptions();
  options.m_Faults.m_NoRouterResult = true;
  Launch(options);
  {
    TcpClient tool(Port());
    tool.SendFrame(ControlPacket(RUT, 100), true);
    tool.SendRaw(Image(100));
    EXPECT_TRUE(tool.Receive(300).empty());
    EXPECT_EQ(m_Sim->RouterImages().size(), 1u) << "the image was received all the same";
  }
  m_Sim->Stop();

  options = TestOptions();
  options.m_Faults.m_ResultDelayMs = 20000;  // 200 ms real on top of 30 ms
  Launch(options);
  TcpClient tool(Port());
  tool.SendFrame(ControlPacket(RUT, 100), true);
  tool.SendRaw(Image(100));
  const auto sent = std::chrono::steady_clock::now();
  EXPECT_TRUE(tool.Receive(150).empty()) << "not before the delay";
  EXPECT_EQ(tool.Receive(2000).size(), 40u);
  EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(220));
}

TEST_F(RouterTcpTest, FwtPacketsAreRecordedAndForceSetsTheFlag) {
  Launch();
  TcpClient tool(Port());
  tool.SendFrame(ControlPacket("Zyphex FWT Begin Download Pkt", 0), true);
  tool.SendFrame(ControlPacket("Zyphex FWT Force Download Pkt", 0), true);
  ASSERT_TRUE(testsupport::WaitUntil([&] { return m_Sim->Events().size() == 2; }, 1000));
  EXPECT_EQ(m_Sim->Events()[0].m_Name, "fwt-begin");
  EXPECT_EQ(m_Sim->Events()[1].m_Name, "fwt-force");
  EXPECT_TRUE(m_Sim->ForceLoad());
  // Another 40-byte 0xFF frame is no router packet: the module calls it unknown.
  const std::vector<uint8_t> other = ControlPacket("Something else entirely......", 0);
  EXPECT_EQ(tool.Exchange(other, true).at(0), 0x13);
}

TEST_F(RouterTcpTest, ConnectionsFollowOneAnotherAndBadFramesAreDropped) {
  Launch();
  {
    TcpClient first(Port());
    std::vector<uint8_t> spoiled = Encode(BoardVersion(), true);
    spoiled[2] ^= 0x01;
    first.SendRaw(spoiled);
    EXPECT_EQ(first.Exchange(BoardVersion(), false).size(), 66u);
  }
  TcpClient second(Port());
  EXPECT_EQ(second.Exchange(BoardVersion(), false).size(), 66u);
  EXPECT_EQ(m_Sim->TcpConnectionCount(), 2);
  EXPECT_TRUE(Logged("bad check value"));
}

TEST_F(RouterTcpTest, ResetAtBlockFault) {
  SimOptions options = TestOptions();
  options.m_Faults.m_StartInDownloader = true;
  options.m_Faults.m_ConnectionResetAtBlock = 2;
  Launch(options);
  {
    TcpClient tool(Port());
    ASSERT_EQ(tool.Exchange(Unlock(), true), std::vector<uint8_t>({0x02}));
    ASSERT_EQ(tool.Exchange(Write(0x1000, {1}), true).size(), 5u);
    EXPECT_TRUE(tool.Exchange(Write(0x1001, {2}), true).empty());
    EXPECT_TRUE(tool.Closed()) << "the connection was reset at block 2";
  }
  TcpClient again(Port());
  ASSERT_EQ(again.Exchange(Unlock(), true), std::vector<uint8_t>({0x02}));
  EXPECT_EQ(again.Exchange(Write(0x1001, {2}), true).size(), 5u) << "only once";
  EXPECT_EQ(m_Sim->WirelessMemory().at(0x1000), std::vector<uint8_t>({1, 2}));
}

}  // namespace
