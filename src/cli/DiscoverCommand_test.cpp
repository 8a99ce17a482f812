// qel discover, and the discovery under it, against peers on loopback and,
// with its defaults (the limited broadcast 255.255.255.255, port 1280),
// between two private network namespaces the test makes itself, so the
// broadcast never reaches the machine's own network. Needs root; fails, not
// skips, without.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "router/DiscoverRouter.h"
#include "support/LoopbackPeers.h"
#include "support/NetNamespaces.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Bytes;
using testsupport::UdpPeer;

// A framed discovery reply: code, address, MAC (or zeros), then the text bytes as given.
Bytes Reply(uint8_t code, bool zeroMac, const std::string& text) {
  Bytes reply = {code, 127, 0, 0, 1, 0xA0, 0x0B, 0xC1, 0x0D, 0xE2, 0x0F};
  if (zeroMac) std::fill(reply.begin() + 5, reply.end(), 0);
  reply.insert(reply.end(), text.begin(), text.end());
  return testsupport::Frame(reply, true);
}

TEST(DiscoverCommandTest, PrintsTheRouterOrWhyNot) {
  testsupport::NetNamespaces namespaces("disc");
  ASSERT_TRUE(namespaces.Ok()) << "this test needs to create network namespaces (run as root with ip(8) available): "
                               << namespaces.Failure();
  std::unique_ptr<UdpPeer> inside;
  ASSERT_TRUE(namespaces.Within(namespaces.Gateway(), [&] { inside = std::make_unique<UdpPeer>(1280); }));
  inside->Respond([](const Bytes&, int) { return std::vector<Bytes>{Reply(1, false, {"2.1.0.7\0tail", 12})}; });
  // A bad check value ends the first try; the second gets nothing; the third
  // ignores a foreign code, a zero MAC and a reply too short for a MAC, then
  // takes a text that runs past the record without NUL, made valid UTF-8.
  // The next three get nothing, later ones an answer.
  UdpPeer router;
  router.Respond([](const Bytes&, int index) {
    Bytes bad = Reply(1, false, "1.0");
    bad[12] ^= 0x01;
    const std::vector<Bytes> tries[] = {
        {bad, Reply(1, false, "1.0")}, {},
        {Reply(2, false, "x"), Reply(1, true, "0"), testsupport::Frame({1, 127, 0, 0, 1, 0xA0, 0, 0, 0, 0}, true),
         Reply(1, false, "QEL-ROUTER-2.10.300.4000-b\xE9")}};
    return index < 3 ? tries[index] : std::vector<Bytes>(index >= 6, Reply(1, false, "1.0"));
  });
  const std::string qel = testsupport::BinDir() + "/qel discover --time-scale 50 ";
  const std::string target = qel + "--broadcast 127.255.255.255 --port ";
  const std::string found = "MAC:     A0-0B-C1-0D-E2-0F\nIPv4:    127.0.0.1\n";
  // The command, its status and its output (statuses above 1: a part of it).
  const std::tuple<std::string, int, std::string> cases[] = {
      {target + std::to_string(router.Port()), 0, found + "Version: QEL-ROUTER-2.10.300.4000-b\xEF\xBF\xBD\n"},
      {"ip netns exec " + namespaces.Tool() + " " + qel, 0, found + "Version: 2.1.0.7\n"},
      {target + std::to_string(router.Port()), 1, "No router is detected\n"},
      {qel + "--broadcast gateway --port 1280", 2, "--broadcast"},
      {qel + "--port 0 --broadcast 127.255.255.255", 105, "--port"},  // refused before sending
  };
  for (const auto& [command, status, expected] : cases) {
    SCOPED_TRACE(command);
    std::string output;
    EXPECT_EQ(testsupport::RunCommand(command + " 2>&1", &output), status);
    EXPECT_TRUE(status < 2 ? output == expected : output.find(expected) != std::string::npos) << output;
  }
  const std::vector<int> ports = router.Senders();
  ASSERT_EQ(ports.size(), 6u);
  EXPECT_EQ(std::set<int>(ports.begin(), ports.begin() + 3).size(), 3u) << "a new client each try";
  struct { uint8_t mac[6], after, ip[4], end; } got{};  // the bytes after the MAC and the address stay 0
  EXPECT_FALSE(DiscoverRouter("gateway", router.Port(), got.mac, got.ip, nullptr));
  ASSERT_TRUE(DiscoverRouter("127.255.255.255", router.Port(), got.mac, got.ip, nullptr));
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&got);
  EXPECT_EQ(Bytes(bytes, bytes + sizeof got), (Bytes{0xA0, 0x0B, 0xC1, 0x0D, 0xE2, 0x0F, 0, 127, 0, 0, 1, 0}));
}

}  // namespace
