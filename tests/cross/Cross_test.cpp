// The Linux programs and the Windows programs of a cross build (run under
// Wine) together: each side's `qel` upgrades a gateway played by either
// side's simulator, the Windows `qel station` serves a bench of gateways,
// the Windows window upgrades the Linux simulator's gateway driven by keys,
// and both sides make the same package bytes. Every program runs in a
// private network namespace that the test makes: on its loopback, or on
// cables between such namespaces.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <memory>

#include "router/RouterUdpClient.h"
#include "support/NetNamespaces.h"
#include "support/Packages.h"
#include "support/SimFixture.h"

namespace {

using namespace testsupport;

enum Side { LINUX, WINDOWS };

// The command that starts a program of one side. Wine maps the current
// folder, so the programs are given relative paths only.
std::string Program(Side side, const std::string& name) {
  if (side == LINUX) return BinDir() + "/" + name;
  return std::string(QEL_SOURCE_DIR "/cmake/wine-run.sh " QEL_WINDOWS_BUILD_DIR "/wine " QEL_WINDOWS_BUILD_DIR "/bin/") +
         name + ".exe";
}

// Runs a shell script in dir inside a new network namespace with its
// loopback up; its exit status, its output in *out.
int InNamespace(const TempDir& dir, const std::string& script, std::string* out) {
  std::ofstream(dir.File("script.sh")) << "set -u\nip link set lo up\n" << script;
  return RunCommand("cd " + dir.Path() + " && unshare -n sh script.sh 2>&1", out);
}

struct Pairing { Side m_Qel, m_Sim; };

std::string SideName(Side side) { return side == LINUX ? "Linux" : "Windows"; }
void PrintTo(const Pairing& p, std::ostream* out) { *out << SideName(p.m_Qel) << " qel, " << SideName(p.m_Sim) << " simulator"; }

class CrossTest : public ::testing::TestWithParam<Pairing> {};

// The simulator serves, `qel upgrade` runs the whole pass, Ctrl-C ends the
// simulator, which must exit cleanly; what it recorded is what the packages hold.
TEST_P(CrossTest, QelUpgradesTheSimulatorsGateway) {
  TempDir dir;
  const auto data = MakeFittingPackages(dir.Path());
  std::string out;
  const int status = InNamespace(
      dir,
      "w() { for i in $(seq 1500); do grep -q \"$2\" $1 2>/dev/null && return; sleep 0.02; done; }\n"
      "timeout -k 5 120 " + Program(GetParam().m_Sim, "qel-gateway-sim") +
          " --record record --time-scale 50 --quiet >sim.txt 2>&1 & sim=$!\n"
          "w sim.txt serving\n"
          "timeout -k 5 120 " + Program(GetParam().m_Qel, "qel") +
          " upgrade --dir . --broadcast 127.255.255.255 --time-scale 50 >out.txt 2>&1; tool=$?\n"
          "kill -INT $sim; wait $sim || echo simulator failed: $?\ncat out.txt sim.txt\nexit $tool\n",
      &out);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("simulator failed"), std::string::npos) << out;
  std::vector<std::vector<uint8_t>> recorded;
  for (const char* file : {"router-image-1", "router-image-2", "router-image-3", "wireless-00100000", "wireless-00800000"})
    recorded.push_back(ReadFile(dir.File("record/") + file + ".bin"));
  EXPECT_EQ(recorded, data) << out;
}

INSTANTIATE_TEST_SUITE_P(Sides, CrossTest,
                         ::testing::Values(Pairing{WINDOWS, LINUX}, Pairing{LINUX, WINDOWS}, Pairing{WINDOWS, WINDOWS}),
                         [](const auto& i) { return SideName(i.param.m_Qel) + "QelAnd" + SideName(i.param.m_Sim) + "Simulator"; });

// The Windows `qel station --once` on a bench of two gateways, both at the
// factory address 192.168.1.1 and each behind a cable of its own: each
// gateway is found and upgraded through its own cable. The PC has an
// address of its own on each cable, as Windows wants; a socket keeps to an
// interface by its address, which Wine's Linux routing honours for a
// broadcast only: a rule per address routes as Windows does for the rest.
// Needs root; fails, not skips, without.
TEST(CrossStationTest, WindowsStationUpgradesEachGatewayThroughItsCable) {
  NetNamespaces net("xs");
  TempDir dir;
  const auto data = MakeFittingPackages(dir.Path());
  std::unique_ptr<GatewaySim> sims[2];
  for (int n = 0; n < 2; ++n) {
    const std::string cable = "qelgw" + std::to_string(n), address = "192.168.1." + std::to_string(n + 2);
    const std::string gateway = net.Cable(cable, address, "192.168.1.1"), table = std::to_string(100 + n);
    ASSERT_FALSE(gateway.empty()) << "this test needs to create network namespaces (run as root with ip(8)): " << net.Failure();
    ASSERT_EQ(RunCommand(net.InTool("sh -c 'ip rule add from " + address + " table " + table +
                                    " && ip route add 192.168.1.0/24 dev " + cable + " table " + table + "'"),
                         nullptr),
              0);
    SimOptions options = FastSimOptions(50);
    options.m_Port = ROUTER_UDP_PORT;
    options.m_Interface = NetNamespaces::GATEWAY_DEVICE;
    options.m_Mac[5] = static_cast<uint8_t>(n + 1);
    ASSERT_TRUE(NetNamespaces::Within(gateway, [&] { sims[n] = StartSim(options); }));
  }
  std::string out;
  EXPECT_EQ(RunCommand(net.InTool("sh -c 'cd " + dir.Path() + " && timeout -k 5 120 " + Program(WINDOWS, "qel") +
                                  " station --once --dir . --time-scale 50' 2>&1"),
                       &out),
            0)
      << out;
  for (const auto& sim : sims) {
    ASSERT_TRUE(sim);
    EXPECT_EQ(sim->RouterImages(), std::vector(data.begin(), data.begin() + 3)) << out;
    EXPECT_EQ(sim->WirelessMemory(), (std::map<uint32_t, std::vector<uint8_t>>{{0x100000, data[3]}, {0x800000, data[4]}}));
  }
}

// A PC whose cable to the gateway has two addresses, the first outside the
// gateway's subnet, which the gateway cannot answer: the Windows `qel` asks
// by the subnet's directed broadcast and upgrades the gateway, speaking from
// its address in that subnet. Needs root; fails, not skips, without.
TEST(CrossAddressTest, WindowsQelSpeaksFromItsAddressInTheGatewaysSubnet) {
  NetNamespaces net("xa");
  TempDir dir;
  const auto data = MakeFittingPackages(dir.Path());
  const std::string gateway = net.Cable("qelgw0", "10.9.9.2", "192.168.1.1");
  ASSERT_FALSE(gateway.empty()) << "this test needs to create network namespaces (run as root with ip(8)): " << net.Failure();
  ASSERT_EQ(RunCommand(net.InTool("ip addr add 192.168.1.2/24 dev qelgw0"), nullptr), 0);
  SimOptions options = FastSimOptions(50);
  options.m_Port = ROUTER_UDP_PORT;
  options.m_Interface = NetNamespaces::GATEWAY_DEVICE;
  std::unique_ptr<GatewaySim> sim;
  ASSERT_TRUE(NetNamespaces::Within(gateway, [&] { sim = StartSim(options); }));
  std::string out;
  EXPECT_EQ(RunCommand(net.InTool("sh -c 'cd " + dir.Path() + " && timeout -k 5 120 " + Program(WINDOWS, "qel") +
                                  " upgrade --interface qelgw0 --broadcast 192.168.1.255 --dir . --time-scale 50' 2>&1"),
                       &out),
            0)
      << out;
  ASSERT_TRUE(sim);
  EXPECT_EQ(sim->RouterImages(), std::vector(data.begin(), data.begin() + 3)) << out;
  EXPECT_EQ(sim->WirelessMemory(), (std::map<uint32_t, std::vector<uint8_t>>{{0x100000, data[3]}, {0x800000, data[4]}}));
}

// QelUpgrade.exe as a user meets it, on an X display (Xvfb) in Wine's own
// desktop window, against the Linux simulator: Enter presses Check, and
// once the Check is done Enter presses the focused Upgrade; after the pass
// Escape and "y" answer "Are you sure?". The recordings are the packages,
// the log is in the prefix's temporary folder, the window position is in
// the registry, and the picture after the pass is saved (win32-window.png
// beside the build's bin/).
TEST(CrossWindowTest, WindowsWindowUpgradesTheLinuxSimulatorsGatewayByKeys) {
  TempDir dir;
  const auto data = MakeFittingPackages(dir.Path());
  const std::string wine = QEL_SOURCE_DIR "/cmake/wine-run.sh " QEL_WINDOWS_BUILD_DIR "/wine --display ";
  std::string out;
  const int status = InNamespace(
      dir,
      "w() { for i in $(seq 600); do eval \"$1\" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }\n"
      "Xvfb -displayfd 3 -screen 0 880x400x24 -nolisten tcp 3>display.txt >/dev/null 2>&1 & x=$!\n"
      "w 'test -s display.txt' && export DISPLAY=:$(cat display.txt)\n"
      // A namespace's number comes again after it ends: a prefix left by an
      // earlier one would hold its log and registry.
      "prefix=" QEL_WINDOWS_BUILD_DIR "/wine/net-$(readlink /proc/self/ns/net | tr -cd 0-9)-display$(cat display.txt)\n"
      "rm -rf $prefix $prefix.lock\n"
      // At this speed the simulator takes an image to have ended after 200 ms
      // without bytes, longer than the window's row updates may hold the pass.
      "timeout -k 5 120 " + BinDir() + "/qel-gateway-sim --record record --time-scale 5 >sim.txt 2>&1 & sim=$!\n"
      "w 'grep -q serving sim.txt'\n"
      "timeout -k 5 120 " + wine + "explorer.exe /desktop=QEL,880x400 " QEL_WINDOWS_BUILD_DIR "/bin/QelUpgrade.exe"
      " --dir . --broadcast 127.255.255.255 --time-scale 5 >app.txt 2>&1 & app=$!\n"
      "w 'xdotool key Return; grep -q rut-begin record/transcript.txt' || echo no upgrade\n"
      "w 'log=$(find $prefix/drive_c/users -name QelUpgradeLog.txt); test $(grep -c \"Download successfully\" $log) = 5'"
      " || echo no log\n"
      "sleep 0.5; import -window root shot.png\n"
      "key='HKCU\\Software\\Zyphex\\QelUpgrade\\Settings'\n"
      "w 'xdotool key Escape sleep 0.3 key y; " + wine + "reg.exe query $key /v \"Window Position\" >reg.txt' || echo no position\n"
      "kill -INT $sim; wait $sim || echo simulator failed: $?\nkill $app $x\ncat sim.txt app.txt reg.txt $log\n",
      &out);
  EXPECT_EQ(status, 0) << out;
  for (const char* failure : {"no upgrade", "no log", "no position", "simulator failed"})
    EXPECT_EQ(out.find(failure), std::string::npos) << failure << "\n" << out;
  const char* files[] = {"router-image-1", "router-image-2", "router-image-3", "wireless-00100000", "wireless-00800000"};
  for (int kind = 0; kind < MODULE_COUNT; ++kind)
    EXPECT_EQ(ReadFile(dir.File("record/") + files[kind] + ".bin"), data[kind]) << files[kind] << "\n" << out;
  // 44 bytes: length 0, flags, show state normal (1), then eight more fields.
  EXPECT_TRUE(std::regex_search(out, std::regex("Window Position +REG_BINARY +0{16}01000000[0-9A-F]{64}\\s"))) << out;
  std::filesystem::copy_file(dir.File("shot.png"), BinDir() + "/../win32-window.png",
                             std::filesystem::copy_options::overwrite_existing);
}

// `qel package make` on either side writes the same bytes from the same
// units, for a router kind and a wireless kind.
TEST(CrossPackageTest, BothSidesMakeTheSameBytes) {
  TempDir dir;
  std::vector<uint8_t> unit(10000);
  for (size_t i = 0; i < unit.size(); ++i) unit[i] = static_cast<uint8_t>(i * 131 + i / 256);
  WriteFile(dir.File("unit.bin"), unit);
  std::string script;
  for (Side side : {LINUX, WINDOWS})
    for (const char* kind : {"app", "firmware"})
      script += Program(side, "qel") + " package make --kind " + kind + " --version 1.2.3.4 --chunk-size 1000 " +
                "--unit 0x100000:unit.bin --unit 0x200000:unit.bin -o " + kind + (side == LINUX ? "-linux" : "-windows") +
                ".pkg || exit 1\n";
  std::string out;
  ASSERT_EQ(InNamespace(dir, script, &out), 0) << out;
  for (const char* kind : {"app", "firmware"}) {
    const std::vector<uint8_t> made = ReadFile(dir.File(kind + std::string("-linux.pkg")));
    EXPECT_GT(made.size(), 2 * unit.size()) << kind;
    EXPECT_EQ(ReadFile(dir.File(kind + std::string("-windows.pkg"))), made) << kind;
  }
}

}  // namespace
