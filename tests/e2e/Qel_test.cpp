// The built `qel check` and `qel upgrade` as a user runs them: against the
// simulator in this process on loopback, both at the same accelerated clock,
// and once with the defaults (limited broadcast, port 1280) in private
// network namespaces.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "app/StringIds.h"
#include "log/UpgradeLog.h"
#include "support/NetNamespaces.h"
#include "support/Packages.h"
#include "support/SimFixture.h"

namespace {

using namespace testsupport;
using Json = nlohmann::json;

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// One folder holds the packages, the log (TMPDIR) and err.txt (stderr).
class QelTest : public ::testing::Test {
 protected:
  QelTest() : options(TestSimOptions(50)) {
    options.m_InstallMs = 1000;
    options.m_RestartMs = 3000;
  }
  std::string Qel(const std::string& command, int port) const {
    return "TMPDIR=" + dir.Path() + " " + BinDir() + "/qel " + command + " --broadcast 127.255.255.255 --port " +
           std::to_string(port) + " --time-scale 50 --dir " + dir.Path() + " 2>" + dir.File("err.txt");
  }
  int Run(const std::string& command, int port = 0) { return RunCommand(Qel(command, port ? port : options.m_Port), &out); }
  std::string Err() const { return ReadText(dir.File("err.txt")); }
  std::string Log() const { return ReadText(dir.File(UpgradeLog::FILE_NAME)); }  // written when qel ends

  TempDir dir;
  SimOptions options;
  std::string out;
};

TEST_F(QelTest, CheckPrintsTheRowsOrWhyNot) {
  const auto sim = StartSim(options);
  EXPECT_EQ(Run("check"), 1);
  EXPECT_EQ(Err(), "No valid .bin file is found in the current directory\n");
  EXPECT_EQ(CountOf(Log(), " RunCheck: no valid .bin file in " + dir.Path() + "\r\n"), 1u);

  MakePackage(dir.Path(), MODULE_BOOT, "1.2.3.5");
  MakePackage(dir.Path(), MODULE_FIRMWARE, "2.1.0.9");
  MakePackage(dir.Path(), MODULE_DASHBOARD, "4.0.0.0");
  EXPECT_EQ(Run("check"), 0) << Err();
  EXPECT_EQ(Err(), "");
  // No colours when not on a terminal; columns apart by two blanks or more.
  EXPECT_EQ(std::regex_replace(out, std::regex("  +"), "|"),
            "Type|Current Version|Upgrade Version|%|Status\nBOOT of router module|1.2.3.4|1.2.3.5|Waiting for the upgrade\n"
            "APP of router module|Not found\nCustomization of router module|Not found\n"
            "Firmware of wireless module|2.1.0.7|2.1.0.9|Waiting for the upgrade\n"
            "Dashboard of wireless module|3.0.1.2|4.0.0.0|Waiting for the upgrade\n");

  MakePackage(dir.Path(), MODULE_FIRMWARE, "2.2.0.7");
  EXPECT_EQ(Run("check --json"), 1);
  const Json report = Json::parse(out);
  EXPECT_EQ(report["succeeded"], false);
  EXPECT_EQ(report["router"], (Json{{"mac", "02-51-E1-00-00-01"}, {"address", "127.0.0.1"}}));
  EXPECT_EQ(report["rows"][3], (Json{{"row", 3}, {"type", "Firmware of wireless module"}, {"currentVersion", "2.1.0.7"},
                                     {"upgradeVersion", "2.2.0.7"}, {"percent", ""}, {"status", "Version does not match"},
                                     {"colour", "red"}}));

  EXPECT_EQ(Run("upgrade --json", FreePort()), 1);  // nobody answers there
  EXPECT_NE(out.find("\"checkSucceeded\":false,\"upgradeRan\":false"), std::string::npos) << out;
  EXPECT_EQ(Err(), "No router is detected\n");
  EXPECT_EQ(CountOf(Log(), " 没有检测到路由器\r\n"), 1u);
  EXPECT_EQ(CountOf(Log(), std::string(50, '+')), 0u) << "no pass ran";
}

TEST_F(QelTest, AllFiveRowsAreUpgradedWithLiveRowsWhileSignalsAreHeld) {
  const auto data = MakeFittingPackages(dir.Path());
  const auto sim = StartSim(options);
  // Once the Check's table is out the pass follows: then Ctrl-C, and a TERM
  // after the refusal; neither may end the program.
  EXPECT_EQ(RunCommand("w() { for i in $(seq 3000); do [ -s " + dir.Path() + "/$1 ] && break; sleep 0.02; done; }; " +
                           Qel("upgrade", options.m_Port) + " >" + dir.File("out.txt") +
                           " & q=$!; w out.txt; kill -INT $q; w err.txt; kill -TERM $q; wait $q",
                       nullptr),
            0);
  EXPECT_EQ(CountOf(Err(), LoadStringId(IDS_UPGRADE_IN_PROCESS)), 2u) << Err();
  // Live lines with a bar while the rows run, then the table with the results.
  out = ReadText(dir.File("out.txt"));
  EXPECT_NE(out.find("[##########----------]  50%  " + std::string(LoadStringId(IDS_PREPARING_WIRELESS))), std::string::npos);
  const size_t table = out.rfind(LoadStringId(IDS_HEADER_TYPE));
  ASSERT_NE(table, std::string::npos) << out;
  EXPECT_EQ(CountOf(out.substr(table), "Download successfully ("), 5u) << out;
  // Byte for byte what the packages hold.
  EXPECT_EQ(sim->RouterImages(), (std::vector<std::vector<uint8_t>>{data[0], data[1], data[2]}));
  EXPECT_EQ(sim->WirelessMemory(), (std::map<uint32_t, std::vector<uint8_t>>{{0x00100000, data[3]}, {0x00800000, data[4]}}));
  const std::vector<std::string> log = LogMessages(Log());
  EXPECT_EQ(std::count(log.begin(), log.end(), "02-51-E1-00-00-01"), 1);
  EXPECT_EQ(log.back(), std::string(50, '+'));
}

// A failing row, and version texts as whatever the gateway sends: control
// bytes and bytes that are not UTF-8 still give one valid JSON object.
TEST_F(QelTest, FailingRowExitsOneAndAnyVersionBytesGiveValidJson) {
  options.m_Faults.m_RouterResultCode = 3;
  options.m_RouterVersion = std::string("1.2\x01\x7f\"\\", 7);
  options.m_FirmwareVersion = "2.1\xff\xfe\xc3(";
  options.m_DashboardVersion = "3.0\x01\t\"\r\n\x1b[31m";
  MakeFittingPackages(dir.Path());
  const auto sim = StartSim(options);
  EXPECT_EQ(Run("upgrade --json"), 1) << out;
  const Json report = Json::parse(out);
  EXPECT_EQ(report["upgradeRan"], true);
  EXPECT_EQ(report["rows"][3]["currentVersion"], "2.1") << out;
  EXPECT_EQ(report["rows"][4]["currentVersion"], "3.0\x01\t\"") << out;
  EXPECT_EQ(report["rows"][0]["status"].get<std::string>().find(LoadStringId(IDS_ROUTER_RESULT_FAIL) + std::string(" (")), 0u);
  EXPECT_EQ(CountOf(out, "\"result\":\"failed\""), 5u) << "BOOT failed, the rest never ran";
  EXPECT_EQ(CountOf(out, "\"colour\":\"red\""), 1u);
  EXPECT_EQ(sim->RouterImages().size(), 1u);
}

// The simulator program (at most a minute) serves a veth interface; once it
// says so, the tool runs with its defaults: no --broadcast, no --port. Both
// run in private namespaces, so the broadcast never leaves them. Ctrl-C then
// ends the simulator, which must exit cleanly. Needs root; fails, not skips,
// without.
TEST(NetnsUpgradeTest, WholePassThroughTheLimitedBroadcastAndTheDefaultPort) {
  NetNamespaces namespaces("up");
  ASSERT_TRUE(namespaces.Ok()) << "this test needs to create network namespaces (run as root with ip(8) available): "
                               << namespaces.Failure();
  TempDir dir;
  const std::string record = dir.File("record"), bin = BinDir(), simOut = dir.File("sim.txt");
  const auto data = MakeFittingPackages(dir.Path());
  std::string out;
  EXPECT_EQ(RunCommand("timeout -k 5 60 ip netns exec " + namespaces.Gateway() + " " + bin +
                           "/qel-gateway-sim --interface " + NetNamespaces::GATEWAY_DEVICE + " --record " + record +
                           " --time-scale 50 --install-ms 1000 --restart-ms 3000 --quiet >" + simOut +
                           " 2>&1 & sim=$!; for i in $(seq 100); do grep -q serving " + simOut +
                           " && break; sleep 0.05; done; ip netns exec " + namespaces.Tool() + " env TMPDIR=" +
                           dir.Path() + " " + bin + "/qel upgrade --dir " + dir.Path() + " --time-scale 50 --json 2>" +
                           dir.File("err.txt") + "; tool=$?; kill -INT $sim; wait $sim || echo simulator failed; exit $tool",
                       &out),
            0)
      << out << ReadText(dir.File("err.txt")) << ReadText(simOut);
  EXPECT_EQ(CountOf(out, "\"checkSucceeded\":true,\"upgradeRan\":true,\"succeeded\":true"), 1u) << out;
  EXPECT_EQ(CountOf(out, "\"result\":\"succeeded\""), 5u);
  std::vector<std::vector<uint8_t>> recorded;
  for (const char* file : {"router-image-1", "router-image-2", "router-image-3", "wireless-00100000", "wireless-00800000"})
    recorded.push_back(ReadFile(record + "/" + file + ".bin"));
  EXPECT_EQ(recorded, data);
}

}  // namespace
