// The qel-gateway-sim program: its options, and a clean end on SIGTERM that
// leaves the recordings behind (router images, written memory in merged
// runs, the transcript).
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>

#include "support/sim/SimWire.h"

extern char** environ;

namespace simtest {

std::string Program() { return BinDir() + "/qel-gateway-sim"; }

TEST(SimProgramTest, ServesWithOptionsRecordsAndStopsCleanly) {
  TempDir dir;
  const int port = FreePort();
  std::vector<std::string> arguments = {Program(), "--port", std::to_string(port), "--quiet", "--record",
                                        dir.File("rec"), "--mac", "02-00-00-00-00-2A", "--router-version", "9.8.7.6",
                                        "--time-scale", "100", "--fault", "erase-silent", "--fault", "start-in-downloader"};
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
  EXPECT_PRED2(Matches, reply, "01 7F 00 00 01 02 00 00 00 00 2A '9.8.7.6' 00 *32");
  TcpPeer tool(port);
  const Bytes image(300, 0x7E);
  tool.SendFrame(ControlPacket(RUT_BEGIN, 300), true);
  tool.Send(image);
  EXPECT_EQ(tool.ReceiveFrame(), ControlPacket("", 4));
  for (const Bytes& request : {Unlock(), Write(0x40000, {5, 6, 7}), Write(0x3FFFE, {3, 4})}) {
    tool.SendFrame(request, true);
    EXPECT_EQ(tool.ReceiveFrame().at(0), 0x02);
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFile(dir.File("rec/router-image-1.bin")), image);
  EXPECT_EQ(ReadFile(dir.File("rec/wireless-0003fffe.bin")), Bytes({3, 4, 5, 6, 7}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("rec/wireless-00040000.bin")));
  const std::string transcript = ReadText(dir.File("rec/transcript.txt"));
  for (const char* line : {"udp -> discover ip=127.0.0.1 mac=02-00-00-00-00-2A", "udp -- erase-nvram not answered",
                           "tcp -> rut-image result code=4", "tcp -> unlock unlocked"})
    EXPECT_NE(transcript.find(line), std::string::npos) << line;
}

TEST(SimProgramTest, BadOptionsEndWithAnError) {
  for (const char* options : {"--fault no-such-fault", "--mac nonsense", "--unlock-code 1234"})
    EXPECT_EQ(RunCommand(Program() + " " + options + " 2>/dev/null", nullptr), 2) << options;
  std::string help;
  EXPECT_EQ(RunCommand(Program() + " --help", &help), 0);
  EXPECT_NE(help.find("reset-at-block=N"), std::string::npos);
}

}  // namespace simtest
