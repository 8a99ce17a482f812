// qel upgrade as a user runs it: the built program against the simulator
// (in this process) on loopback, both at the same accelerated clock.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "e2e/UpgradeFixture.h"

extern char** environ;

namespace upgradetest {
namespace {

constexpr double SCALE = 50;

class UpgradeCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Port = testsupport::FreePort();
    m_Options.m_Port = m_Port;
    m_Options.m_TimeScale = SCALE;
    m_Options.m_InstallMs = 1000;
    m_Options.m_RestartMs = 3000;
    m_Options.m_NewFirmwareVersion = "2.1.0.9";
    mkdir(Packages().c_str(), 0755);
  }
  void TearDown() override {
    if (m_Sim) m_Sim->Stop();
  }
  std::string Packages() const { return m_Dir.File("packages"); }

  void StartSim() {
    m_Sim = std::make_unique<GatewaySim>(m_Options);
    ASSERT_TRUE(m_Sim->Start());
  }
  void Write(ModuleKind kind, const std::string& version, std::vector<uint8_t> data, uint32_t address) {
    PackagePlan plan;
    plan.m_Kind = kind;
    plan.m_Version = version;
    plan.m_Units = {PackageUnit{address, data}};
    std::string reason;
    ASSERT_TRUE(WritePackageFile(plan, Packages() + "/p" + std::to_string(kind) + ".bin", &reason)) << reason;
    UpgradePackage package;
    package.m_Path = Packages() + "/p" + std::to_string(kind) + ".bin";
    ASSERT_TRUE(package.Load());
    m_Data[kind].assign(package.UnitData(0), package.UnitData(0) + package.Extent(0).m_Length);
  }
  void WriteAllFive() {
    Write(MODULE_BOOT, "1.2.3.9", Pattern(9000, 1), 0);
    Write(MODULE_APP, "1.2.3.9", Pattern(16000, 2), 0);
    Write(MODULE_CUSTOMIZATION, "1.2.3.9", Pattern(3000, 3), 0);
    Write(MODULE_FIRMWARE, "2.1.0.9", Pattern(9000, 4), 0x00100000);
    Write(MODULE_DASHBOARD, "3.0.1.5", Pattern(5000, 5), 0x00800000);
  }
  std::string Command(const std::string& extra = "") const {
    char scale[32];
    snprintf(scale, sizeof scale, "%g", SCALE);
    return "TMPDIR=" + m_Dir.Path() + " " + testsupport::BinDir() + "/qel upgrade --dir " + Packages() +
           " --broadcast 127.255.255.255 --port " + std::to_string(m_Port) + " --time-scale " + scale + extra;
  }
  std::string LogFile() const { return testsupport::ReadText(m_Dir.File(UpgradeLog::FILE_NAME)); }
  void ExpectEverythingInstalled() {
    const auto images = m_Sim->RouterImages();
    ASSERT_EQ(images.size(), 3u);
    for (int kind = 0; kind < 3; ++kind) EXPECT_EQ(images[kind], m_Data[kind]) << "router image " << kind;
    auto memory = m_Sim->WirelessMemory();
    EXPECT_EQ(memory[0x00100000], m_Data[MODULE_FIRMWARE]);
    EXPECT_EQ(memory[0x00800000], m_Data[MODULE_DASHBOARD]);
  }
  // The pass's lines end the log: MAC line, ..., separator.
  void ExpectPassLogged() {
    const std::string log = LogFile();
    const std::string separator = std::string(50, '+') + "\r\n";
    ASSERT_GE(log.size(), separator.size());
    EXPECT_EQ(log.substr(log.size() - separator.size()), separator);
    const size_t mac = log.rfind(" 02-51-E1-00-00-01\r\n");
    ASSERT_NE(mac, std::string::npos);
    EXPECT_LT(log.rfind(LoadStringId(IDS_CHECK_NV_RESTORE)), log.size());
    EXPECT_GT(log.rfind(LoadStringId(IDS_CHECK_NV_RESTORE)), mac);
  }

  testsupport::TempDir m_Dir;
  int m_Port = 0;
  SimOptions m_Options;
  std::unique_ptr<GatewaySim> m_Sim;
  std::vector<uint8_t> m_Data[MODULE_COUNT];
};

TEST_F(UpgradeCommandTest, AllFiveRowsAreUpgradedAndReportedAsJson) {
  WriteAllFive();
  StartSim();
  std::string out;
  EXPECT_EQ(testsupport::RunCommand(Command(" --json"), &out), 0) << out;
  EXPECT_NE(out.find("\"checkSucceeded\":true,\"upgradeRan\":true,\"succeeded\":true"), std::string::npos) << out;
  EXPECT_EQ(CountOf(out, "\"result\":\"succeeded\""), 5u) << out;
  EXPECT_EQ(CountOf(out, "\"colour\":\"blue\""), 5u);
  EXPECT_EQ(CountOf(out, "\"status\":\"Download successfully ("), 5u);
  EXPECT_EQ(CountOf(out, "\n"), 1u) << "one JSON object and nothing else";
  ExpectEverythingInstalled();
  EXPECT_EQ(m_Sim->FirmwareVersion(), "2.1.0.9");
  ExpectPassLogged();
}

TEST_F(UpgradeCommandTest, TableShowsLiveRowsAndTheFinalResults) {
  Write(MODULE_BOOT, "1.2.3.9", Pattern(9000, 1), 0);
  Write(MODULE_DASHBOARD, "3.0.1.5", Pattern(5000, 5), 0x00800000);
  StartSim();
  std::string out;
  EXPECT_EQ(testsupport::RunCommand(Command(), &out), 0) << out;
  // Live lines with a bar while the rows run, then the table with results.
  EXPECT_NE(out.find("[##########----------]  50%  " + std::string(LoadStringId(IDS_PREPARING_WIRELESS))),
            std::string::npos)
      << out;
  const size_t table = out.rfind(LoadStringId(141));
  ASSERT_NE(table, std::string::npos);
  const std::string results = out.substr(table);
  EXPECT_EQ(CountOf(results, "Download successfully ("), 2u) << results;
  EXPECT_EQ(CountOf(results, LoadStringId(158)), 3u) << "three rows without package";
}

TEST_F(UpgradeCommandTest, FailingRowExitsOne) {
  m_Options.m_Faults.m_RouterResultCode = 3;
  Write(MODULE_BOOT, "1.2.3.9", Pattern(2000, 1), 0);
  Write(MODULE_APP, "1.2.3.9", Pattern(2000, 2), 0);
  StartSim();
  std::string out;
  EXPECT_EQ(testsupport::RunCommand(Command(" --json"), &out), 1) << out;
  EXPECT_NE(out.find("\"upgradeRan\":true,\"succeeded\":false"), std::string::npos) << out;
  EXPECT_NE(out.find(std::string("\"status\":\"") + LoadStringId(IDS_ROUTER_RESULT_FAIL) + " ("),
            std::string::npos);
  EXPECT_EQ(CountOf(out, "\"result\":\"failed\""), 2u) << "BOOT failed, APP never ran";
  EXPECT_EQ(CountOf(out, "\"colour\":\"red\""), 1u);
  EXPECT_EQ(m_Sim->RouterImages().size(), 1u);
}

TEST_F(UpgradeCommandTest, NoRouterMeansNoUpgrade) {
  Write(MODULE_BOOT, "1.2.3.9", Pattern(2000, 1), 0);
  std::string out;
  EXPECT_EQ(testsupport::RunCommand(Command(" --json 2>/dev/null"), &out), 1) << out;
  EXPECT_NE(out.find("\"checkSucceeded\":false,\"upgradeRan\":false"), std::string::npos) << out;
  EXPECT_EQ(LogFile().find(std::string(50, '+')), std::string::npos) << "no pass ran";
  EXPECT_NE(LogFile().find("没有检测到路由器"), std::string::npos) << "the Check's lines reach the file";
}

// Spawns the command with stdout and stderr into files; returns its pid.
pid_t Spawn(const std::string& command, const std::string& out, const std::string& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const std::string exec = "exec env " + command;  // command starts with VAR=value
  const char* argv[] = {"sh", "-c", exec.c_str(), nullptr};
  pid_t pid = -1;
  posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

TEST_F(UpgradeCommandTest, SignalsAreHeldUntilThePassHasEnded) {
  WriteAllFive();
  StartSim();
  const pid_t pid = Spawn(Command(" --json"), m_Dir.File("out.txt"), m_Dir.File("err.txt"));
  ASSERT_GT(pid, 0);
  // Wait for the pass: its first router image has begun.
  const bool started = testsupport::WaitUntil(
      [&] {
        for (const SimEvent& event : m_Sim->Events())
          if (event.m_Name == "rut-begin") return true;
        return false;
      },
      20000);
  EXPECT_TRUE(started);
  kill(pid, SIGINT);
  testsupport::WaitUntil([&] { return testsupport::ReadText(m_Dir.File("err.txt")).size() > 0; }, 5000);
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "the signals must not end the program";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(CountOf(testsupport::ReadText(m_Dir.File("err.txt")), LoadStringId(140)), 2u);
  EXPECT_NE(testsupport::ReadText(m_Dir.File("out.txt")).find("\"succeeded\":true"), std::string::npos);
  ExpectEverythingInstalled();
  ExpectPassLogged();
}

}  // namespace
}  // namespace upgradetest
