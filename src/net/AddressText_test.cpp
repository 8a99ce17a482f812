#include "net/AddressText.h"

#include <gtest/gtest.h>

#include <string>

#include "net/PeerAddress.h"

namespace {

TEST(AddressTextTest, ReadsTheClassicFormsAndNothingAfterThem) {
  const struct {
    std::string m_Text;
    bool m_Valid;
    std::string m_Formatted;
  } cases[] = {
      {"10.1.2.3", true, "10.1.2.3"},
      {"127.1", true, "127.0.0.1"},
      {"0x7f.0.0.010", true, "127.0.0.8"},
      {"255.255.255.255", true, "255.255.255.255"},
      {"", false, ""},
      {"router.local", false, ""},
      {"1.2.3.4.5", false, ""},
      {"1.2.3.4 junk", true, "1.2.3.4"},
      {" 1.2.3.4", false, ""},
      {std::string("1.2.3.4\0", 8), false, ""},
      {"010.001.002.003          ", false, ""},  // 25 characters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.m_Text);
    uint8_t ip[4] = {9, 9, 9, 9};
    EXPECT_EQ(ParseIp(c.m_Text, ip), c.m_Valid);
    EXPECT_EQ(FormatIp(ip), c.m_Valid ? c.m_Formatted : "9.9.9.9");  // untouched on failure
  }
}

TEST(AddressTextTest, PortPeersRefuseTheLimitedBroadcastInAnyForm) {
  sockaddr_in peer{};
  for (const char* text : {"255.255.255.255", "0xffffffff", "255.255.255.255 x"}) {
    SCOPED_TRACE(text);
    errno = 0;
    EXPECT_FALSE(MakePeer(text, 1280, &peer));
    EXPECT_EQ(errno, EINVAL);
  }
  ASSERT_TRUE(MakePeer("127.255.255.255", 1280, &peer));
  EXPECT_EQ(ntohl(peer.sin_addr.s_addr), 0x7FFFFFFFu);
  EXPECT_EQ(ntohs(peer.sin_port), 1280);
}

}  // namespace
