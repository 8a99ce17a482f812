// qel station on a bench of gateways, each a simulator in a private network
// namespace of its own at the factory address 192.168.1.1, each cabled by a
// veth into the tool's namespace, where every cable has the same address:
// every gateway is reached through its own cable. Needs root; fails, not
// skips, without.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "net/ProtocolTimes.h"
#include "router/RouterUdpClient.h"
#include "support/NetNamespaces.h"
#include "support/Packages.h"
#include "support/SimFixture.h"

namespace {

using namespace testsupport;
using Json = nlohmann::json;

constexpr double kScale = 50;

std::string Mac(int gateway) { return "02-51-E1-00-00-0" + std::to_string(gateway); }
std::string Cable(int gateway) { return "qelgw" + std::to_string(gateway); }

// The tool's namespace, the gateways cabled to it, the packages, and qel
// station running there in the background.
class Bench {
 public:
  Bench() : m_Net("st") { m_Data = MakeFittingPackages(m_Dir.Path()); }
  ~Bench() {
    if (m_Station.joinable()) m_Station.join();
  }

  // Cables gateway n and starts its simulator.
  void Add(int n, SimFaults faults = {}, uint32_t installMs = 3000) {
    const std::string name = m_Net.Cable(Cable(n), "192.168.1.2", "192.168.1.1");
    SimOptions options = FastSimOptions(kScale);
    options.m_Port = ROUTER_UDP_PORT;
    options.m_Interface = NetNamespaces::GATEWAY_DEVICE;
    options.m_Mac[5] = static_cast<uint8_t>(n);
    options.m_Faults = faults;
    options.m_InstallMs = installMs;
    ASSERT_FALSE(name.empty()) << "this test needs to create network namespaces (run as root with ip(8)): " << m_Net.Failure();
    ASSERT_TRUE(m_Net.Within(name, [&] { m_Sims[n] = StartSim(options); }));
  }
  // Starts qel station with these options; Status() waits for its end.
  void Run(const std::string& options) {
    const std::string qel = BinDir() + "/qel station --json --dir " + m_Dir.Path() + " --time-scale 50 " + options;
    const std::string command = m_Net.InTool("env TMPDIR=" + m_Dir.Path() + " sh -c 'echo $$ >" + m_Dir.File("pid") +
                                             "; exec " + qel + "' >" + m_Dir.File("out.json") + " 2>&1");
    m_Station = std::thread([this, command] { m_Status = RunCommand(command, nullptr); });
  }
  int Status() {
    m_Station.join();
    return m_Status;
  }
  void Interrupt() const { RunCommand("kill -INT $(cat " + m_Dir.File("pid") + ")", nullptr); }

  // The events so far, one JSON object each.
  std::vector<Json> Events() const {
    std::vector<Json> events;
    std::istringstream lines(ReadText(m_Dir.File("out.json")));
    for (std::string line; std::getline(lines, line);) {
      const Json event = Json::parse(line, nullptr, false);
      if (!event.is_discarded()) events.push_back(event);
    }
    return events;
  }
  // How many events of that kind the gateway has had.
  int Count(const std::string& kind, int gateway) const {
    int count = 0;
    for (const Json& event : Events()) count += event["event"] == kind && event["mac"] == Mac(gateway);
    return count;
  }
  bool WaitFor(const std::string& kind, int gateway) const {
    return WaitUntil([&] { return Count(kind, gateway) > 0; }, 30000);
  }
  // The MACs in one list of the summary, with each one's text.
  std::map<std::string, std::string> Summary(const std::string& list) const {
    std::map<std::string, std::string> entries;
    for (const Json& event : Events()) {
      if (event["event"] != "summary") continue;
      for (const Json& entry : event[list]) entries[entry["mac"]] = entry.value("text", "");
    }
    return entries;
  }
  // What gateway n received equals the packages, and its log file holds its own pass.
  void ExpectUpgraded(int n) const {
    const auto& sim = m_Sims.at(n);
    std::vector<std::vector<uint8_t>> received = sim->RouterImages();
    for (const auto& [address, bytes] : sim->WirelessMemory()) received.push_back(bytes);
    EXPECT_EQ(received, m_Data) << "gateway " << n;
    const std::vector<std::string> log = LogMessages(ReadText(m_Dir.File("QelUpgradeLog-" + Mac(n) + ".txt")));
    EXPECT_EQ(std::count(log.begin(), log.end(), Mac(n)), 1) << "gateway " << n;
    EXPECT_EQ(log.empty() ? "" : log.back(), std::string(50, '+'));
  }

  NetNamespaces m_Net;
  std::map<int, std::unique_ptr<GatewaySim>> m_Sims;

 private:
  TempDir m_Dir;
  std::vector<std::vector<uint8_t>> m_Data;
  std::thread m_Station;
  int m_Status = -1;
};

// Four at once: two pass; the third's router refuses its image and fails
// alone with that row's text; the fourth's cable is pulled while the tool
// waits for its router's result, and its pass ends within that wait's
// time-out while the others go on.
TEST(StationTest, OnceUpgradesEveryGatewayEachFailingAlone) {
  Bench bench;
  bench.Add(1);
  bench.Add(2);
  bench.Add(3, {.m_RouterResultCode = 3});
  bench.Add(4, {}, 60000);
  ASSERT_TRUE(bench.m_Net.Ok()) << bench.m_Net.Failure();
  bench.Run("--once");
  auto& fourth = *bench.m_Sims[4];
  ASSERT_TRUE(WaitUntil([&] { return fourth.RouterImages().size() == 1; }, 30000));
  ASSERT_TRUE(bench.m_Net.SetLink(Cable(4), false));
  const auto pulled = std::chrono::steady_clock::now();
  ASSERT_TRUE(bench.WaitFor("passEnd", 4));
  using RealMs = std::chrono::duration<double, std::milli>;
  const double bound = (RESULT_LIMIT_OTHER_MS + COMMAND_REPLY_TIMEOUT_MS + 5000) / kScale;
  EXPECT_LE(RealMs(std::chrono::steady_clock::now() - pulled).count(), bound + 2000);
  EXPECT_EQ(bench.Status(), 1);
  for (const Json& event : bench.Events()) EXPECT_NE(event.value("text", ""), "No router is detected") << "gateways answered";
  EXPECT_EQ(bench.Summary("upgraded"), (std::map<std::string, std::string>{{Mac(1), ""}, {Mac(2), ""}}));
  const auto failed = bench.Summary("failed");
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(failed.at(Mac(3)).rfind("BOOT of router module: Upgrading result of the router module is fail (", 0), 0u);
  EXPECT_EQ(failed.at(Mac(4)).rfind("BOOT of router module: Returning the upgrading result of the router module timed out (", 0), 0u);
  bench.ExpectUpgraded(1);
  bench.ExpectUpgraded(2);
}

// Watching: a gateway cabled while the station watches gets its pass; one
// that has had its pass is not started again while it stays on its cable;
// Ctrl-C ends the watching with the summary.
TEST(StationTest, WatchingStartsEachNewGatewayOnce) {
  Bench bench;
  bench.Add(1);
  ASSERT_TRUE(bench.m_Net.Ok()) << bench.m_Net.Failure();
  bench.Run("");
  ASSERT_TRUE(bench.WaitFor("passEnd", 1));
  bench.Add(5);
  ASSERT_TRUE(bench.WaitFor("passEnd", 5));
  // Two more rounds reach the first gateway after its pass.
  const auto discoveries = [&] {
    const auto events = bench.m_Sims[1]->Events();
    return std::count_if(events.begin(), events.end(), [](const SimEvent& e) { return e.m_Name == "discover"; });
  };
  const auto seen = discoveries();
  EXPECT_TRUE(WaitUntil([&] { return discoveries() >= seen + 2; }, 30000));
  bench.Interrupt();
  EXPECT_EQ(bench.Status(), 0);
  EXPECT_EQ(bench.Count("found", 1), 1);
  EXPECT_EQ(bench.Summary("upgraded"), (std::map<std::string, std::string>{{Mac(1), ""}, {Mac(5), ""}}));
  bench.ExpectUpgraded(5);
}

}  // namespace
