// qel discover against a peer on loopback.
#include <gtest/gtest.h>

#include <string>

#include "support/LoopbackPeers.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Bytes;

TEST(DiscoverCommandTest, PrintsTheRouterOrWhyNot) {
  testsupport::UdpPeer router, silent;
  router.Respond([](const Bytes&, int) {
    Bytes reply = {1, 127, 0, 0, 1, 0xA0, 0x0B, 0xC1, 0x0D, 0xE2, 0x0F, '2', '.', '1', '.', '0', '.', '7'};
    reply.resize(32, 0);
    return std::vector<Bytes>{testsupport::Frame(reply, true)};
  });
  silent.Respond([](const Bytes&, int) { return std::vector<Bytes>{}; });
  const std::string target = "discover --broadcast 127.255.255.255 --time-scale 50 --port ";
  struct Case {
    std::string arguments;
    int status;
    std::string output;  // parts between bars, each found in it
    bool whole;          // or all of it
  };
  const Case cases[] = {
      {target + std::to_string(router.Port()), 0, "A0-0B-C1-0D-E2-0F|127.0.0.1|2.1.0.7", false},
      {target + std::to_string(silent.Port()), 1, "No router is detected\n", true},
      {"discover --broadcast gateway --port 1280", 2, "--broadcast", false},
      {"discover --port 0 --broadcast 127.255.255.255", 105, "--port", false},  // refused before sending
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    std::string output;
    EXPECT_EQ(testsupport::RunCommand(testsupport::BinDir() + "/qel " + c.arguments + " 2>&1", &output), c.status);
    EXPECT_TRUE(!c.whole || output == c.output) << output;
    for (size_t at = 0, bar; !c.whole && at < c.output.size(); at = bar + 1) {
      bar = std::min(c.output.find('|', at), c.output.size());
      EXPECT_NE(output.find(c.output.substr(at, bar - at)), std::string::npos) << output;
    }
  }
  EXPECT_EQ(router.Requests().size(), 1u);
  EXPECT_EQ(silent.Requests().size(), 3u);
}

}  // namespace
