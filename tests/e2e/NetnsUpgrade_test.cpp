// One whole upgrade as in the field: `qel upgrade` with its default target
// 255.255.255.255 and port 1280 against `qel-gateway-sim` serving a veth
// interface. Both run in private network namespaces that this test makes
// (and removes), so the broadcast never leaves them. Needs root; fails, not
// skips, without.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "e2e/UpgradeFixture.h"
#include "support/NetNamespaces.h"

extern char** environ;

namespace upgradetest {
namespace {

constexpr const char* SCALE = "50";

// The simulator inside the gateway's namespace, stopped like Ctrl-C would.
class SimulatorProcess {
 public:
  SimulatorProcess(const std::string& ns, const std::string& recordDir, const std::string& output) {
    const std::string sim = testsupport::BinDir() + "/qel-gateway-sim";
    const std::vector<std::string> args = {"ip",          "netns",        "exec",     ns,     sim,
                                           "--interface", testsupport::NetNamespaces::GATEWAY_DEVICE,        "--record", recordDir,
                                           "--time-scale", SCALE,         "--install-ms", "1000",
                                           "--restart-ms", "3000",        "--quiet"};
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawnp(&m_Pid, "ip", &actions, nullptr, argv.data(), environ) != 0) m_Pid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~SimulatorProcess() { Stop(); }
  bool Started() const { return m_Pid > 0; }
  // Exit status, -1 when it did not end by itself after SIGINT.
  int Stop() {
    if (m_Pid <= 0) return m_Status;
    kill(m_Pid, SIGINT);
    int status = 0;
    const bool ended = testsupport::WaitUntil([&] { return waitpid(m_Pid, &status, WNOHANG) == m_Pid; }, 5000);
    if (!ended) {
      kill(m_Pid, SIGKILL);
      waitpid(m_Pid, &status, 0);
    }
    m_Status = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_Pid = -1;
    return m_Status;
  }

 private:
  pid_t m_Pid = -1;
  int m_Status = -1;
};

TEST(NetnsUpgradeTest, WholePassThroughTheLimitedBroadcastAndTheDefaultPort) {
  testsupport::NetNamespaces namespaces("up");
  ASSERT_TRUE(namespaces.Ok()) << "this test needs to create network namespaces (run as root with "
                                  "ip(8) available): "
                               << namespaces.Failure();
  testsupport::TempDir dir;
  const std::string packages = dir.File("packages");
  const std::string record = dir.File("record");
  ASSERT_EQ(mkdir(packages.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(record.c_str(), 0755), 0);

  struct Made {
    ModuleKind m_Kind;
    const char* m_Version;
    uint32_t m_Address;
    size_t m_Length;
  };
  const Made made[] = {{MODULE_BOOT, "1.2.3.9", 0, 9000},
                       {MODULE_APP, "1.2.3.9", 0, 16000},
                       {MODULE_CUSTOMIZATION, "1.2.3.9", 0, 3000},
                       {MODULE_FIRMWARE, "2.1.0.9", 0x00100000, 9000},
                       {MODULE_DASHBOARD, "3.0.1.5", 0x00800000, 5000}};
  std::vector<uint8_t> data[MODULE_COUNT];
  for (const Made& package : made) {
    PackagePlan plan;
    plan.m_Kind = package.m_Kind;
    plan.m_Version = package.m_Version;
    plan.m_Units = {PackageUnit{package.m_Address, Pattern(package.m_Length, static_cast<uint8_t>(package.m_Kind))}};
    const std::string path = packages + "/p" + std::to_string(package.m_Kind) + ".bin";
    std::string reason;
    ASSERT_TRUE(WritePackageFile(plan, path, &reason)) << reason;
    UpgradePackage loaded;
    loaded.m_Path = path;
    ASSERT_TRUE(loaded.Load());
    data[package.m_Kind].assign(loaded.UnitData(0), loaded.UnitData(0) + loaded.Extent(0).m_Length);
  }

  const std::string simOutput = dir.File("sim.txt");
  SimulatorProcess sim(namespaces.Gateway(), record, simOutput);
  ASSERT_TRUE(sim.Started());
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] { return testsupport::ReadText(simOutput).find("serving") != std::string::npos; }, 5000))
      << testsupport::ReadText(simOutput);

  // Default target (255.255.255.255) and port (1280): no --broadcast, no --port.
  std::string out;
  const int status = testsupport::RunCommand("ip netns exec " + namespaces.Tool() + " env TMPDIR=" + dir.Path() +
                                                 " " + testsupport::BinDir() + "/qel upgrade --dir " + packages +
                                                 " --time-scale " + SCALE + " --json 2>&1",
                                             &out);
  EXPECT_EQ(sim.Stop(), 0) << testsupport::ReadText(simOutput);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("\"checkSucceeded\":true,\"upgradeRan\":true,\"succeeded\":true"), std::string::npos) << out;
  EXPECT_EQ(CountOf(out, "\"result\":\"succeeded\""), 5u) << out;

  for (int image = 0; image < 3; ++image)
    EXPECT_EQ(testsupport::ReadFile(record + "/router-image-" + std::to_string(image + 1) + ".bin"), data[image])
        << "router image " << image + 1;
  EXPECT_EQ(testsupport::ReadFile(record + "/wireless-00100000.bin"), data[MODULE_FIRMWARE]);
  EXPECT_EQ(testsupport::ReadFile(record + "/wireless-00800000.bin"), data[MODULE_DASHBOARD]);
  const std::string log = testsupport::ReadText(dir.File(UpgradeLog::FILE_NAME));
  EXPECT_EQ(log.substr(log.size() >= 52 ? log.size() - 52 : 0), std::string(50, '+') + "\r\n");
}

}  // namespace
}  // namespace upgradetest
