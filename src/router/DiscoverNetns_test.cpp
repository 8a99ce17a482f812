// Discovery through the real limited broadcast 255.255.255.255 on the
// default port. It runs only between two private network namespaces that
// the test makes itself (joined by a veth pair, a default route on the
// tool's side), so the broadcast never reaches the machine's own network.
// Needs root; fails, not skips, without.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

#include "router/DiscoverRouter.h"
#include "router/RouterUdpClient.h"
#include "support/LoopbackPeers.h"
#include "support/NetNamespaces.h"

namespace {

using testsupport::Bytes;

const uint8_t PEER_MAC[6] = {0x02, 0x51, 0x45, 0x4C, 0x00, 0x02};

// Runs body on a thread of its own inside the namespace; a socket made
// there stays in it. A namespace belongs to the thread, not the process.
bool InNamespace(const std::string& name, const std::function<void()>& body) {
  bool entered = false;
  std::thread([&] {
    entered = testsupport::EnterNetNamespace(name);
    if (entered) body();
  }).join();
  return entered;
}

TEST(DiscoverNetnsTest, FindsTheRouterThroughTheLimitedBroadcast) {
  testsupport::NetNamespaces namespaces("disc");
  ASSERT_TRUE(namespaces.Ok()) << "this test needs to create network namespaces (run as root "
                                  "with ip(8) available): "
                               << namespaces.Failure();
  uint8_t address[4];
  ASSERT_TRUE(ParseIp(namespaces.GatewayAddress(), address));
  std::unique_ptr<testsupport::UdpPeer> router;
  ASSERT_TRUE(InNamespace(namespaces.Gateway(), [&] { router = std::make_unique<testsupport::UdpPeer>(ROUTER_UDP_PORT); }));
  ASSERT_TRUE(router->Bound());
  router->Respond([&](const Bytes&, int) {
    Bytes reply = {1, address[0], address[1], address[2], address[3]};
    reply.insert(reply.end(), PEER_MAC, PEER_MAC + 6);
    reply.insert(reply.end(), {'9', '.', '8', '.', '7', '.', '6'});
    reply.resize(32, 0);
    return std::vector<Bytes>{testsupport::Frame(reply, true)};
  });
  Clock::SetScale(10);
  uint8_t mac[6] = {}, ip[4] = {};
  std::string version;
  bool found = false;
  ASSERT_TRUE(InNamespace(namespaces.Tool(), [&] {
    found = DiscoverRouter(FormatIp(BROADCAST_IP), ROUTER_UDP_PORT, mac, ip, &version);
  }));
  ASSERT_TRUE(found);
  EXPECT_EQ(memcmp(mac, PEER_MAC, 6), 0);
  EXPECT_EQ(memcmp(ip, address, 4), 0);
  EXPECT_EQ(version, "9.8.7.6");
  EXPECT_EQ(router->Requests().size(), 1u);
}

}  // namespace
