#include "router/RouterControlPacket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "diag/Hdlc.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(RouterControlPacketTest, LayoutOfABeginPacket) {
  RouterControlPacket packet;
  memset(packet.m_Bytes, 0xEE, sizeof packet.m_Bytes);
  packet.Set("QEL ROUTER BEGIN DOWNLOAD PKT", 0x00123456);
  EXPECT_EQ(packet.m_Bytes[0], 0xFF);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(packet.m_Bytes + 1), 29), "QEL ROUTER BEGIN DOWNLOAD PKT");
  EXPECT_EQ(Bytes(packet.m_Bytes + 30, packet.m_Bytes + 34), (Bytes{0x56, 0x34, 0x12, 0x00}));
  EXPECT_EQ(Bytes(packet.m_Bytes + 34, packet.m_Bytes + 40), Bytes(6, 0));
  EXPECT_EQ(packet.Value(), 0x00123456u);
}

TEST(RouterControlPacketTest, ShortLongAndMissingMagic) {
  RouterControlPacket packet;
  packet.Set("abc", 1);
  EXPECT_EQ(Bytes(packet.m_Bytes + 1, packet.m_Bytes + 5), (Bytes{'a', 'b', 'c', 0}));
  EXPECT_EQ(Bytes(packet.m_Bytes + 4, packet.m_Bytes + 30), Bytes(26, 0));
  packet.Set("0123456789012345678901234567890123", 2);  // only 29 characters fit
  EXPECT_EQ(packet.m_Bytes[29], '8');
  EXPECT_EQ(packet.Value(), 2u);
  packet.Set(nullptr, 0xFFFFFFFF);
  EXPECT_EQ(Bytes(packet.m_Bytes + 1, packet.m_Bytes + 30), Bytes(29, 0));
  EXPECT_EQ(packet.Value(), 0xFFFFFFFFu);
}

TEST(RouterControlPacketTest, EscapedValueSurvivesTheFrame) {
  RouterControlPacket packet;
  packet.Set("QEL ROUTER BEGIN DOWNLOAD PKT", 0x7D7E7D7E);
  uint8_t frame[HdlcMaxEncodedLength(ROUTER_CONTROL_PACKET_SIZE)];
  const uint32_t size = HdlcEncode(packet.m_Bytes, ROUTER_CONTROL_PACKET_SIZE, frame, 1);
  // Between the flags no raw 7E remains.
  for (uint32_t i = 1; i + 1 < size; ++i) EXPECT_NE(frame[i], 0x7E) << i;
  uint8_t decoded[sizeof frame];
  ASSERT_EQ(HdlcDecode(frame, size, decoded), ROUTER_CONTROL_PACKET_SIZE);
  EXPECT_EQ(memcmp(decoded, packet.m_Bytes, ROUTER_CONTROL_PACKET_SIZE), 0);
  uint32_t value = 0;
  ASSERT_TRUE(ParseRouterResult(decoded, ROUTER_CONTROL_PACKET_SIZE, &value));
  EXPECT_EQ(value, 0x7D7E7D7Eu);
}

TEST(RouterControlPacketTest, ResultNeedsMarkerAndExactLength) {
  RouterControlPacket packet;
  packet.Set(nullptr, 5);
  uint32_t value = 99;
  EXPECT_FALSE(ParseRouterResult(packet.m_Bytes, 39, &value));
  Bytes longer(packet.m_Bytes, packet.m_Bytes + 40);
  longer.push_back(0);
  EXPECT_FALSE(ParseRouterResult(longer.data(), 41, &value));
  packet.m_Bytes[0] = 0xFE;
  EXPECT_FALSE(ParseRouterResult(packet.m_Bytes, 40, &value));
  EXPECT_EQ(value, 99u);
  packet.m_Bytes[0] = 0xFF;
  packet.m_Bytes[5] = 'x';  // the magic is not looked at
  ASSERT_TRUE(ParseRouterResult(packet.m_Bytes, 40, &value));
  EXPECT_EQ(value, 5u);
}

}  // namespace
