// qel discover against a small responder on loopback.
#include <gtest/gtest.h>

#include <string>

#include "net/testing/LoopbackPeers.h"
#include "support/TestSupport.h"

namespace {

using testpeers::Bytes;
using testpeers::UdpResponder;

std::string Qel(const std::string& arguments, int* status) {
  std::string output;
  *status = testsupport::RunCommand(testsupport::BinDir() + "/qel " + arguments + " 2>&1", &output);
  return output;
}

std::string Target(int port) {
  return "discover --broadcast 127.255.255.255 --port " + std::to_string(port) + " --time-scale 50";
}

TEST(DiscoverCommandTest, PrintsWhatTheRouterReported) {
  UdpResponder router([](const Bytes&, int) {
    Bytes reply(32, 0);
    const uint8_t head[11] = {1, 127, 0, 0, 1, 0xA0, 0x0B, 0xC1, 0x0D, 0xE2, 0x0F};
    std::copy(head, head + 11, reply.begin());
    const std::string text = "2.1.0.7";
    std::copy(text.begin(), text.end(), reply.begin() + 11);
    return std::vector<Bytes>{testpeers::Frame(reply)};
  });
  int status = -1;
  const std::string output = Qel(Target(router.Port()), &status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("A0-0B-C1-0D-E2-0F"), std::string::npos) << output;
  EXPECT_NE(output.find("127.0.0.1"), std::string::npos) << output;
  EXPECT_NE(output.find("2.1.0.7"), std::string::npos) << output;
  EXPECT_EQ(router.Requests().size(), 1u);
}

TEST(DiscoverCommandTest, NoAnswerInThreeTriesIsReported) {
  UdpResponder silent([](const Bytes&, int) { return std::vector<Bytes>{}; });
  int status = -1;
  const std::string output = Qel(Target(silent.Port()), &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(output, "No router is detected\n");
  EXPECT_EQ(silent.Requests().size(), 3u);
}

TEST(DiscoverCommandTest, TargetMustBeAnAddress) {
  int status = -1;
  const std::string output = Qel("discover --broadcast gateway --port 1280", &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(output.find("--broadcast"), std::string::npos) << output;
  Qel("discover --port 0 --broadcast 127.255.255.255", &status);
  EXPECT_NE(status, 0);  // refused by the option check, nothing sent
}

}  // namespace
