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
#include "support/Tmux.h"

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
    m_Cables[n] = m_Net.Cable(Cable(n), "192.168.1.2", "192.168.1.1");
    ASSERT_FALSE(m_Cables[n].empty()) << "this test needs to create network namespaces (run as root with ip(8)): "
                                      << m_Net.Failure();
    Start(n, n, faults, installMs);
  }
  // Gateway n's cable now leads to another gateway, numbered next.
  void Swap(int n, int next) {
    m_Sims.erase(n);
    m_Cables[next] = m_Cables[n];
    Start(next, next);
  }
  // qel station (with these options) in a terminal of that size.
  std::unique_ptr<Tmux> RunInTerminal(const std::string& options, int columns, int rows) const {
    return std::make_unique<Tmux>(m_Net.InTool("env TMPDIR=" + m_Dir.Path() + " " + BinDir() + "/qel station --dir " +
                                               m_Dir.Path() + " --time-scale 50 " + options),
                                  columns, rows);
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
  void Start(int n, int mac, SimFaults faults = {}, uint32_t installMs = 3000) {
    SimOptions options = FastSimOptions(kScale);
    options.m_Port = ROUTER_UDP_PORT;
    options.m_Interface = NetNamespaces::GATEWAY_DEVICE;
    options.m_Mac[5] = static_cast<uint8_t>(mac);
    options.m_Faults = faults;
    options.m_InstallMs = installMs;
    ASSERT_TRUE(m_Net.Within(m_Cables[n], [&] { m_Sims[n] = StartSim(options); }));
  }

  std::map<int, std::string> m_Cables;  // each gateway's namespace
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
  // The tally as its own event whenever it changes: four found, one by one
  // in flight, and where they ended.
  std::vector<Json> tallies;
  for (const Json& event : bench.Events())
    if (event["event"] == "tally") tallies.push_back(event);
  ASSERT_GE(tallies.size(), 8u);
  EXPECT_EQ(tallies[3], (Json{{"event", "tally"}, {"upgraded", 0}, {"failed", 0}, {"inFlight", 4}, {"notStarted", 0}}));
  EXPECT_EQ(tallies.back(), (Json{{"event", "tally"}, {"upgraded", 2}, {"failed", 2}, {"inFlight", 0}, {"notStarted", 0}}));
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

// The station's table in a real terminal, as an operator on a production
// line sees it: one tally, one header and one line per cable, redrawn in
// place and never wider than the terminal, whatever its size does; a
// failed gateway, one unplugged and one swapped for the next; after Ctrl-C
// the summary whole under the table.
class StationTerminalTest : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(StationTerminalTest, OneTableRedrawnInPlaceUntilTheSummary) {
  const int columns = GetParam().first, rows = GetParam().second;
  Bench bench;
  bench.Add(1);
  bench.Add(2, {.m_RouterResultCode = 3});
  bench.Add(3, {}, 60000);
  bench.Add(4);
  ASSERT_TRUE(bench.m_Net.Ok()) << bench.m_Net.Failure();
  const auto terminal = bench.RunInTerminal("", columns, rows);
  ASSERT_TRUE(terminal->Started());
  // Tables above the screen come from resizes only (the terminal rewraps
  // and scrolls, a clear pushes the screen up): redraws add none.
  const auto tables = [&] { return Tmux::Starting(terminal->Lines(false, true), "Interface "); };
  int tablesAfterResize = 1;
  const auto expectOneTable = [&](const std::string& when) {
    const std::vector<std::string> lines = terminal->Lines();
    EXPECT_EQ(Tmux::Wider(lines, columns - 1), "") << when;
    // Nothing but the station's message, the tally and the table's lines.
    for (const std::string& line : lines) {
      EXPECT_TRUE(line.empty() || Tmux::Starting({line}, "Watching for") + Tmux::Starting({line}, "Upgraded: ") +
                                          Tmux::Starting({line}, "Interface ") + Tmux::Starting({line}, "qelgw"))
          << when << ": " << line;
    }
    EXPECT_EQ(std::tuple(Tmux::Starting(lines, "Upgraded: "), Tmux::Starting(lines, "Interface "),
                         Tmux::Starting(lines, "qelgw1 "), Tmux::Starting(lines, "qelgw3 "), Tmux::Starting(lines, "qelgw4 ")),
              std::tuple(1, 1, 1, 1, 1))
        << when << "\n" << terminal->Text();
    EXPECT_EQ(tables(), tablesAfterResize) << when << "\n" << terminal->Text(false, true);
  };
  const auto resize = [&](int newColumns, int newRows, const std::string& header) {
    terminal->Resize(newColumns, newRows);
    ASSERT_TRUE(terminal->WaitFor(header, 5000)) << terminal->Text();
    tablesAfterResize = tables();
  };
  ASSERT_TRUE(WaitUntil([&] { return bench.m_Sims[3]->RouterImages().size() == 1; }, 30000));
  expectOneTable("four in flight");
  ASSERT_TRUE(bench.m_Net.SetLink(Cable(3), false));
  resize(40, 24, "Interface  Status");
  ASSERT_TRUE(terminal->WaitFor("Upgraded: 2   Failed: 2   In flight: 0", 30000)) << terminal->Text();
  expectOneTable("narrowed");
  // Too low for every cable: those that fit, and a count of the rest.
  resize(40, 6, "\u2026 2 more interfaces");
  EXPECT_EQ(std::pair(Tmux::Starting(terminal->Lines(), "Interface "), Tmux::Starting(terminal->Lines(), "qelgw")),
            std::pair(1, 2)) << terminal->Text();
  resize(columns, rows, "Interface  MAC");
  bench.Swap(4, 5);
  ASSERT_TRUE(terminal->WaitFor("Upgraded: 3   Failed: 2", 30000)) << terminal->Text();
  expectOneTable("swapped, the size back");
  EXPECT_NE(terminal->Text().find("qelgw4     02-51-E1-00-00-05"), std::string::npos) << terminal->Text();
  // A finished line keeps what its pass showed: the row's "%" and the result.
  for (const std::string& line : terminal->Lines())
    if (line.rfind("qelgw1 ", 0) == 0) {
      EXPECT_NE(line.find(" 100% "), std::string::npos) << line;
      EXPECT_NE(line.find("upgraded ("), std::string::npos) << line;
    }
  terminal->Keys("C-c");
  ASSERT_TRUE(terminal->WaitFor("[exit 1]", 30000)) << terminal->Text();
  const std::string screen = terminal->Text(true);
  for (const std::string summary :
       {"Upgraded: 3\n  02-51-E1-00-00-01 (qelgw1)\n  02-51-E1-00-00-04 (qelgw4)\n  02-51-E1-00-00-05 (qelgw4)\n",
        "Failed: 2\n  02-51-E1-00-00-02 (qelgw2): BOOT of router module: Upgrading result of the router module is fail (",
        "  02-51-E1-00-00-03 (qelgw3): BOOT of router module: Returning the upgrading result of the router module timed out (",
        "Not started: 0\n"})
    EXPECT_NE(screen.find(summary), std::string::npos) << summary << "\nin the terminal and above:\n" << terminal->Text(false, true);
}

INSTANTIATE_TEST_SUITE_P(Sizes, StationTerminalTest, ::testing::Values(std::pair{80, 24}, std::pair{200, 50}),
                         [](const auto& info) { return std::to_string(info.param.first) + "x" + std::to_string(info.param.second); });

}  // namespace
