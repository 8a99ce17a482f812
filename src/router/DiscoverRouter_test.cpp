#include "router/DiscoverRouter.h"

#include <gtest/gtest.h>

#include <set>

#include "net/testing/LoopbackPeers.h"
#include "router/RouterUdpClient.h"

namespace {

using testpeers::Bytes;
using testpeers::Frame;
using testpeers::UdpResponder;

Bytes Reply() {
  Bytes reply = {1, 127, 0, 0, 1, 0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  const std::string text = "3.1.4.1";
  reply.insert(reply.end(), text.begin(), text.end());
  reply.resize(32, 0);
  return reply;
}

class DiscoverRouterTest : public ::testing::Test {
 protected:
  void SetUp() override { Clock::SetScale(50); }
  uint8_t mac[6] = {};
  uint8_t ip[4] = {};
  std::string version = "untouched";
};

TEST_F(DiscoverRouterTest, ThirdTryFromItsOwnPortIsAnswered) {
  UdpResponder router([](const Bytes&, int index) {
    return index < 2 ? std::vector<Bytes>{} : std::vector<Bytes>{Frame(Reply())};
  });
  const uint64_t start = Clock::TickCount();
  ASSERT_TRUE(DiscoverRouter("127.255.255.255", router.Port(), mac, ip, &version));
  EXPECT_GE(Clock::TickCount() - start, 2u * (3000 + 100));
  EXPECT_EQ(FormatMac(mac), "02-11-22-33-44-55");
  EXPECT_EQ(FormatIp(ip), "127.0.0.1");
  EXPECT_EQ(version, "3.1.4.1");
  const std::vector<int> ports = router.SourcePorts();
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(std::set<int>(ports.begin(), ports.end()).size(), 3u);  // a new client each try
}

TEST_F(DiscoverRouterTest, NoRouterAfterThreeTries) {
  UdpResponder silent([](const Bytes&, int) { return std::vector<Bytes>{}; });
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(DiscoverRouter("127.255.255.255", silent.Port(), mac, ip, &version));
  EXPECT_GE(Clock::TickCount() - start, 3u * (3000 + 100));
  EXPECT_EQ(silent.Requests().size(), 3u);
  EXPECT_EQ(version, "untouched");
  EXPECT_EQ(FormatMac(mac), "00-00-00-00-00-00");
}

TEST_F(DiscoverRouterTest, TargetThatIsNoAddressFailsWithoutSending) {
  const uint64_t start = Clock::TickCount();
  EXPECT_FALSE(DiscoverRouter("gateway", 1280, mac, ip, &version));
  EXPECT_LT(Clock::TickCount() - start, 3000u);  // not even one try
}

}  // namespace
