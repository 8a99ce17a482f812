// qel discover, and the discovery under it, against peers on loopback and,
// with its defaults (the limited broadcast 255.255.255.255, port 1280), on
// two cables of private network namespaces the test makes itself, so the
// broadcast never reaches the machine's own network. Needs root; fails, not
// skips, without.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "router/DiscoverRouter.h"
#include "support/LoopbackPeers.h"
#include "support/NetNamespaces.h"
#include "support/Packages.h"
#include "support/TestSupport.h"

namespace {

using testsupport::Bytes;
using testsupport::UdpPeer;

// A framed discovery reply: code, address, MAC ending in macEnd (or zeros),
// then the text bytes as given.
Bytes Reply(uint8_t code, bool zeroMac, const std::string& text, uint8_t macEnd = 0x0F) {
  Bytes reply = {code, 127, 0, 0, 1, 0xA0, 0x0B, 0xC1, 0x0D, 0xE2, macEnd};
  if (zeroMac) std::fill(reply.begin() + 5, reply.end(), 0);
  reply.insert(reply.end(), text.begin(), text.end());
  return testsupport::Frame(reply, true);
}

const std::string kHeader = "Interface  MAC                IPv4             Version\n";

// One line per router: the interface it answered on, MAC, address, version.
std::string Line(const std::string& interface, char macEnd, const std::string& version) {
  return interface + std::string(11 - interface.size(), ' ') + "A0-0B-C1-0D-E2-0" + macEnd + "  127.0.0.1        " +
         version + "\n";
}

struct Expected {
  std::string m_Command;
  int m_Status;
  std::string m_Output;  // whole; with a status above 1: a part of it
};

void Expect(const Expected& run) {
  SCOPED_TRACE(run.m_Command);
  std::string output;
  EXPECT_EQ(testsupport::RunCommand(run.m_Command + " 2>&1", &output), run.m_Status);
  if (run.m_Status < 2) EXPECT_EQ(output, run.m_Output);
  else EXPECT_NE(output.find(run.m_Output), std::string::npos) << output;
}

const std::string kQel = testsupport::BinDir() + "/qel discover --time-scale 50 ";

TEST(DiscoverCommandTest, PrintsTheRouterOrWhyNot) {
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
  const std::string target = kQel + "--broadcast 127.255.255.255 --port " + std::to_string(router.Port());
  const Expected runs[] = {
      {target, 0, kHeader + Line("lo", 'F', "QEL-ROUTER-2.10.300.4000-b\xEF\xBF\xBD")},
      {target, 1, "No router is detected\nNo answer through: lo\n"},
      {target + " --json", 0,
       R"({"routers":[{"interface":"lo","mac":"A0-0B-C1-0D-E2-0F","address":"127.0.0.1","version":"1.0"}]})" "\n"},
      {kQel + "--broadcast gateway --port 1280", 2, "--broadcast"},
      {kQel + "--port 0 --broadcast 127.255.255.255", 105, "--port"},  // refused before sending
      {kQel + "--interface qel-none --broadcast 127.255.255.255", 2, "no network interface called \"qel-none\""},
  };
  for (const Expected& run : runs) Expect(run);
  const std::vector<int> ports = router.Senders();
  ASSERT_EQ(ports.size(), 7u);
  EXPECT_EQ(std::set<int>(ports.begin(), ports.begin() + 3).size(), 3u) << "a new client each try";
  DiscoveryResult heard;
  EXPECT_FALSE(DiscoverRouters({.m_Target = "gateway", .m_Port = router.Port()}, &heard));
  EXPECT_EQ(heard.m_Tries, 0);
}

// The laptop: the default route on one cable (nobody there), two gateways
// on two others. The limited broadcast goes out of every cable and each
// answer names its own; an interface or a subnet's broadcast picks one.
TEST(DiscoverCommandTest, EveryCableIsAsked) {
  testsupport::NetNamespaces net("disc");
  const std::string wifi = net.Cable("qelwifi", "10.213.7.2", "10.213.7.1", true);
  const std::string first = net.Cable("qeleth", "192.168.1.2", "192.168.1.1");
  const std::string second = net.Cable("qelusb", "192.168.2.2", "192.168.2.1");
  ASSERT_TRUE(net.Ok()) << "this test needs to create network namespaces (run as root with ip(8) available): "
                        << net.Failure();
  std::unique_ptr<UdpPeer> gateways[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(net.Within(i ? second : first, [&] { gateways[i] = std::make_unique<UdpPeer>(1280); }));
    gateways[i]->Respond([i](const Bytes&, int) { return std::vector<Bytes>{Reply(1, false, "1.0", 0x0A + i)}; });
  }
  const Expected runs[] = {
      {net.InTool(kQel), 0, kHeader + Line("qeleth", 'A', "1.0") + Line("qelusb", 'B', "1.0")},
      {net.InTool(kQel + "--interface qelusb"), 0, kHeader + Line("qelusb", 'B', "1.0")},
      {net.InTool(kQel + "--broadcast 192.168.1.255"), 0, kHeader + Line("qeleth", 'A', "1.0")},
      {net.InTool(kQel + "--interface qelwifi"), 1, "No router is detected\nNo answer through: qelwifi\n"},
  };
  for (const Expected& run : runs) Expect(run);
  // The Check keeps the first answer and names it and the other in the log.
  testsupport::TempDir dir;
  testsupport::MakePackage(dir.Path(), MODULE_BOOT, "1.0.0.1");
  EXPECT_EQ(testsupport::RunCommand(net.InTool("env TMPDIR=" + dir.Path() + " " + testsupport::BinDir() +
                                                "/qel check --time-scale 50 --dir " + dir.Path()), nullptr), 0);
  const std::string log = testsupport::ReadText(dir.File("QelUpgradeLog.txt"));
  const size_t line = log.find(" Discovery: chose ");
  ASSERT_NE(line, std::string::npos) << log;
  for (const char* router : {"qeleth A0-0B-C1-0D-E2-0A (127.0.0.1)", "qelusb A0-0B-C1-0D-E2-0B (127.0.0.1)"})
    EXPECT_NE(log.substr(line, log.find('\r', line) - line).find(router), std::string::npos) << router;
  for (const char* cable : {"qeleth", "qelusb", "qelwifi"}) ASSERT_TRUE(net.SetLink(cable, false)) << cable;
  Expect({net.InTool(kQel), 1, "No router is detected\nNo network interface is up with an IPv4 address: is the cable "
                               "plugged in, and has this PC an address on the gateway's network?\n"});
}

}  // namespace
