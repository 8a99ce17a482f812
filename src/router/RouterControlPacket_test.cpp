#include "router/RouterControlPacket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(RouterControlPacketTest, LayoutOfABeginPacket) {
  RouterControlPacket packet;
  memset(packet.m_Bytes, 0xEE, sizeof packet.m_Bytes);
  packet.Set("QEL ROUTER BEGIN DOWNLOAD PKT", 0x7D123456);
  Bytes expected = {0xFF};
  for (char c : std::string("QEL ROUTER BEGIN DOWNLOAD PKT")) expected.push_back(static_cast<uint8_t>(c));
  expected.insert(expected.end(), {0x56, 0x34, 0x12, 0x7D, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(Bytes(packet.m_Bytes, packet.m_Bytes + 40), expected);
  EXPECT_EQ(packet.Value(), 0x7D123456u);
  packet.Set("abc", 1);
  Bytes abc(29, 0);
  abc[0] = 'a', abc[1] = 'b', abc[2] = 'c';
  EXPECT_EQ(Bytes(packet.m_Bytes + 1, packet.m_Bytes + 30), abc);
  packet.Set("0123456789012345678901234567890123", 2);  // only 29 characters fit
  EXPECT_EQ(packet.m_Bytes[29], '8');
  EXPECT_EQ(packet.m_Bytes[30], 2);
  packet.Set(nullptr, 0xFFFFFFFF);
  EXPECT_EQ(Bytes(packet.m_Bytes + 1, packet.m_Bytes + 30), Bytes(29, 0));
  EXPECT_EQ(packet.Value(), 0xFFFFFFFFu);
}

TEST(RouterControlPacketTest, ResultNeedsMarkerAndExactLength) {
  RouterControlPacket packet;
  packet.Set(nullptr, 0x7E7D0005);
  Bytes longer(packet.m_Bytes, packet.m_Bytes + 40);
  longer.push_back(0);
  uint32_t value = 99;
  EXPECT_FALSE(ParseRouterResult(packet.m_Bytes, 39, &value));
  EXPECT_FALSE(ParseRouterResult(longer.data(), 41, &value));
  packet.m_Bytes[0] = 0xFE;
  EXPECT_FALSE(ParseRouterResult(packet.m_Bytes, 40, &value));
  EXPECT_EQ(value, 99u);
  packet.m_Bytes[0] = 0xFF;
  packet.m_Bytes[5] = 'x';  // the magic is not looked at
  ASSERT_TRUE(ParseRouterResult(packet.m_Bytes, 40, &value));
  EXPECT_EQ(value, 0x7E7D0005u);
}

}  // namespace
