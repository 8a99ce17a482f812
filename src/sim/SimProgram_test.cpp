// The qel-gateway-sim program: its options, and a clean end on SIGTERM that
// leaves the recordings behind.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "sim/SimTestFixture.h"

extern char** environ;

using namespace simtest;

namespace {

pid_t Spawn(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

int WaitExit(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string Program() { return testsupport::BinDir() + "/qel-gateway-sim"; }

TEST(SimProgramTest, ServesWithOptionsRecordsAndStopsCleanly) {
  testsupport::TempDir dir;
  const int port = testsupport::FreePort();
  const pid_t pid = Spawn({Program(), "--port", std::to_string(port), "--quiet", "--record",
                           dir.File("rec"), "--mac", "02-00-00-00-00-2A", "--router-version",
                           "9.8.7.6", "--time-scale", "50", "--fault", "erase-silent"});
  ASSERT_GT(pid, 0);
  UdpClient udp;
  std::vector<uint8_t> reply;
  for (int i = 0; i < 100 && reply.empty(); ++i) reply = udp.Exchange(RouterRecord(1), port, 20);
  ASSERT_EQ(reply.size(), 32u);
  EXPECT_EQ(reply[10], 0x2A);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&reply[11])), "9.8.7.6");
  EXPECT_TRUE(udp.Exchange(RouterRecord(6), port, QUIET_MS).empty());

  kill(pid, SIGTERM);
  EXPECT_EQ(WaitExit(pid), 0);
  const std::string transcript = testsupport::ReadText(dir.File("rec/transcript.txt"));
  EXPECT_NE(transcript.find("udp -> discover ip=127.0.0.1 mac=02-00-00-00-00-2A"), std::string::npos);
  EXPECT_NE(transcript.find("udp -- erase-nvram not answered"), std::string::npos);
}

TEST(SimProgramTest, BadOptionsEndWithAnError) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{Program(), "--fault", "no-such-fault"},
        std::vector<std::string>{Program(), "--mac", "nonsense"},
        std::vector<std::string>{Program(), "--unlock-code", "1234"}}) {
    const pid_t pid = Spawn(arguments);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitExit(pid), 2) << arguments[1] << " " << arguments[2];
  }
  std::string help;
  EXPECT_EQ(testsupport::RunCommand(Program() + " --help", &help), 0);
  EXPECT_NE(help.find("reset-at-block=N"), std::string::npos);
  EXPECT_NE(help.find("--time-scale"), std::string::npos);
}

}  // namespace
