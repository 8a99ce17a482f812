// The qel-gateway-sim program: its options, and a clean end on SIGTERM that
// leaves the recordings behind.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "support/sim/SimWire.h"

extern char** environ;

namespace simtest {

std::string Program() { return BinDir() + "/qel-gateway-sim"; }

TEST(SimProgramTest, ServesWithOptionsRecordsAndStopsCleanly) {
  TempDir dir;
  const int port = FreePort();
  std::vector<std::string> arguments = {Program(), "--port", std::to_string(port), "--quiet", "--record", dir.File("rec"),
                                        "--mac", "02-00-00-00-00-2A", "--router-version", "9.8.7.6",
                                        "--time-scale", "50", "--fault", "erase-silent"};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
  UdpPeer udp;
  Bytes reply;
  for (int i = 0; i < 100 && reply.empty(); ++i) {
    udp.SendFrameTo(RouterRecord(6), "127.0.0.1", port);  // erase: not answered
    udp.SendFrameTo(RouterRecord(1), "127.0.0.1", port);
    reply = udp.ReceiveFrame(20);
  }
  EXPECT_TRUE(Matches(reply, "01 7F 00 00 01 02 00 00 00 00 2A '9.8.7.6' 00 *32")) << Hex(reply);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string transcript = ReadText(dir.File("rec/transcript.txt"));
  EXPECT_NE(transcript.find("udp -> discover ip=127.0.0.1 mac=02-00-00-00-00-2A"), std::string::npos);
  EXPECT_NE(transcript.find("udp -- erase-nvram not answered"), std::string::npos);
}

TEST(SimProgramTest, BadOptionsEndWithAnError) {
  for (const char* options : {"--fault no-such-fault", "--mac nonsense", "--unlock-code 1234"})
    EXPECT_EQ(RunCommand(Program() + " " + options + " 2>/dev/null", nullptr), 2) << options;
  std::string help;
  EXPECT_EQ(RunCommand(Program() + " --help", &help), 0);
  EXPECT_NE(help.find("reset-at-block=N"), std::string::npos);
}

}  // namespace simtest
