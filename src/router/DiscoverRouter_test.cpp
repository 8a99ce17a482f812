#include "router/DiscoverRouter.h"

#include <gtest/gtest.h>

#include <set>

#include "router/RouterUdpClient.h"
#include "support/LoopbackPeers.h"

namespace {

using testsupport::Bytes;

// On loopback: the broadcast target 127.255.255.255 and a free port.
TEST(DiscoverRouterTest, ThirdTryFromItsOwnPortIsAnswered) {
  Clock::SetScale(50);
  testsupport::UdpPeer router;
  router.Respond([](const Bytes&, int index) {
    Bytes reply = {1, 127, 0, 0, 1, 0x02, 0x11, 0x22, 0x33, 0x44, 0x55, '3', '.', '1', '.', '4', '.', '1'};
    reply.resize(32, 0);
    return index < 2 ? std::vector<Bytes>{} : std::vector<Bytes>{testsupport::Frame(reply, true)};
  });
  uint8_t mac[6] = {}, ip[4] = {};
  std::string version;
  const uint64_t start = Clock::TickCount();
  ASSERT_TRUE(DiscoverRouter("127.255.255.255", router.Port(), mac, ip, &version));
  EXPECT_GE(Clock::TickCount() - start, 2u * (3000 + 100));
  EXPECT_EQ(FormatMac(mac), "02-11-22-33-44-55");
  EXPECT_EQ(FormatIp(ip), "127.0.0.1");
  EXPECT_EQ(version, "3.1.4.1");
  const std::vector<int> ports = router.SourcePorts();
  EXPECT_EQ(std::set<int>(ports.begin(), ports.end()).size(), 3u) << "a new client each try";
  const uint64_t refused = Clock::TickCount();
  EXPECT_FALSE(DiscoverRouter("gateway", router.Port(), mac, ip, &version));
  EXPECT_LT(Clock::TickCount() - refused, 3000u) << "no address: not even one try";
  EXPECT_EQ(router.Requests().size(), 3u);
}

}  // namespace
