// qel upgrade as a user runs it: the built program against the simulator
// (in this process) on loopback, both at the same accelerated clock. The
// first case is the whole five-row pass over loopback sockets.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>

#include "e2e/UpgradeFixture.h"
#include "engine/UpgradeEngine.h"
#include "support/SimFixture.h"

extern char** environ;

namespace upgradetest {
namespace {

using testsupport::ReadText;

class UpgradeCommandTest : public ::testing::Test {
 protected:
  UpgradeCommandTest() : m_Options(testsupport::TestSimOptions(50)) {
    m_Options.m_InstallMs = 1000;
    m_Options.m_RestartMs = 3000;
  }
  std::string Command(const std::string& extra) const {
    return "TMPDIR=" + m_Dir.Path() + " " + testsupport::BinDir() + "/qel upgrade --dir " + m_Dir.Path() +
           " --broadcast 127.255.255.255 --port " + std::to_string(m_Options.m_Port) + " --time-scale 50" + extra;
  }
  std::string LogFile() const { return ReadText(m_Dir.File(UpgradeLog::FILE_NAME)); }

  testsupport::TempDir m_Dir;
  SimOptions m_Options;
};

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

TEST_F(UpgradeCommandTest, AllFiveRowsAreUpgradedWithLiveRowsWhileSignalsAreHeld) {
  const auto data =
      WritePackages(m_Dir.Path(), {MODULE_BOOT, MODULE_APP, MODULE_CUSTOMIZATION, MODULE_FIRMWARE, MODULE_DASHBOARD});
  const auto sim = testsupport::StartSim(m_Options);
  const pid_t pid = Spawn(Command(""), m_Dir.File("out.txt"), m_Dir.File("err.txt"));
  ASSERT_GT(pid, 0);
  // Once the pass has begun its first router image, Ctrl-C and a TERM.
  EXPECT_TRUE(testsupport::WaitUntil(
      [&] {
        const auto events = sim->Events();
        return std::any_of(events.begin(), events.end(), [](const SimEvent& e) { return e.m_Name == "rut-begin"; });
      },
      20000));
  kill(pid, SIGINT);
  testsupport::WaitUntil([&] { return !ReadText(m_Dir.File("err.txt")).empty(); }, 5000);
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "the signals must not end the program";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(CountOf(ReadText(m_Dir.File("err.txt")), LoadStringId(140)), 2u);

  // Live lines with a bar while the rows run, then the table with the results.
  const std::string out = ReadText(m_Dir.File("out.txt"));
  EXPECT_NE(out.find("[##########----------]  50%  " + std::string(LoadStringId(IDS_PREPARING_WIRELESS))),
            std::string::npos)
      << out;
  const size_t table = out.rfind(LoadStringId(141));
  ASSERT_NE(table, std::string::npos) << out;
  EXPECT_EQ(CountOf(out.substr(table), "Download successfully ("), 5u) << out;
  // Byte for byte what the packages hold.
  const auto images = sim->RouterImages();
  ASSERT_EQ(images.size(), 3u);
  for (int kind = MODULE_BOOT; kind <= MODULE_CUSTOMIZATION; ++kind) EXPECT_EQ(images[kind], data.at(kind)) << kind;
  auto memory = sim->WirelessMemory();
  EXPECT_EQ(memory[0x00100000], data.at(MODULE_FIRMWARE));
  EXPECT_EQ(memory[0x00800000], data.at(MODULE_DASHBOARD));
  const std::vector<std::string> log = testsupport::LogMessages(LogFile());
  ASSERT_FALSE(log.empty());
  EXPECT_NE(std::find(log.begin(), log.end(), "02-51-E1-00-00-01"), log.end());
  EXPECT_EQ(log.back(), std::string(50, '+'));
}

TEST_F(UpgradeCommandTest, FailingRowExitsOne) {
  m_Options.m_Faults.m_RouterResultCode = 3;
  WritePackages(m_Dir.Path(), {MODULE_BOOT, MODULE_APP});
  const auto sim = testsupport::StartSim(m_Options);
  std::string out;
  EXPECT_EQ(testsupport::RunCommand(Command(" --json"), &out), 1) << out;
  EXPECT_NE(out.find("\"upgradeRan\":true,\"succeeded\":false"), std::string::npos) << out;
  EXPECT_NE(out.find(std::string("\"status\":\"") + LoadStringId(IDS_ROUTER_RESULT_FAIL) + " ("), std::string::npos);
  EXPECT_EQ(CountOf(out, "\"result\":\"failed\""), 2u) << "BOOT failed, APP never ran";
  EXPECT_EQ(CountOf(out, "\"colour\":\"red\""), 1u);
  EXPECT_EQ(sim->RouterImages().size(), 1u);
}

TEST_F(UpgradeCommandTest, NoRouterMeansNoUpgrade) {
  WritePackages(m_Dir.Path(), {MODULE_BOOT});
  std::string out;
  EXPECT_EQ(testsupport::RunCommand(Command(" --json 2>/dev/null"), &out), 1) << out;
  EXPECT_NE(out.find("\"checkSucceeded\":false,\"upgradeRan\":false"), std::string::npos) << out;
  EXPECT_EQ(LogFile().find(std::string(50, '+')), std::string::npos) << "no pass ran";
  EXPECT_NE(LogFile().find("没有检测到路由器"), std::string::npos) << "the Check's lines reach the file";
}

}  // namespace
}  // namespace upgradetest
