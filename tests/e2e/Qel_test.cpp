// The built `qel check` and `qel upgrade` as a user runs them: against the
// simulator in this process on loopback, both at the same accelerated clock,
// and one whole pass with the defaults (limited broadcast, port 1280) in
// private network namespaces.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "model/StringIds.h"
#include "log/UpgradeLog.h"
#include "support/NetNamespaces.h"
#include "support/Packages.h"
#include "support/SimFixture.h"
#include "support/Tmux.h"

namespace {

using namespace testsupport;
using Json = nlohmann::json;

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Starts a shell command as a process of its own; the shell execs the
// program, so the id returned is the program's.
pid_t Spawn(const std::string& command) {
  const std::string line = "exec env " + command;
  const pid_t pid = fork();
  if (pid == 0) execl("/bin/sh", "sh", "-c", line.c_str(), nullptr), _exit(127);
  return pid;
}

// One folder holds the packages, the log (TMPDIR) and err.txt (stderr).
class QelTest : public ::testing::Test {
 protected:
  std::string Qel(const std::string& command, int port) const {
    return "TMPDIR=" + dir.Path() + " " + BinDir() + "/qel " + command + " --broadcast 127.255.255.255 --port " +
           std::to_string(port) + " --time-scale 50 --dir " + dir.Path() + " 2>" + dir.File("err.txt");
  }
  int Run(const std::string& command, int port = 0) { return RunCommand(Qel(command, port ? port : options.m_Port), &out); }
  std::string Err() const { return ReadText(dir.File("err.txt")); }
  std::string Log() const { return ReadText(dir.File(UpgradeLog::FILE_NAME)); }  // written when qel ends

  TempDir dir;
  SimOptions options = FastSimOptions(50);  // qel runs at --time-scale 50 too
  std::string out;
};

TEST_F(QelTest, CheckPrintsTheRowsOrWhyNot) {
  const auto sim = StartSim(options);
  EXPECT_EQ(Run("check"), 1);
  EXPECT_EQ(Err(), "No valid .bin file is found in the current directory\nLooked for *.bin files in " + dir.Path() + "\n");
  EXPECT_EQ(CountOf(Log(), " RunCheck: no valid .bin file in " + dir.Path() + "\r\n"), 1u);

  for (auto [kind, version] : {std::pair{MODULE_BOOT, "1.2.3.5"}, {MODULE_FIRMWARE, "2.1.0.9"}, {MODULE_DASHBOARD, "4.0.0.0"}})
    MakePackage(dir.Path(), kind, version);
  EXPECT_EQ(Run("check"), 0) << Err();
  // No colours when not on a terminal; columns apart by two blanks or more.
  EXPECT_EQ(std::regex_replace(out, std::regex("  +"), "|"),
            "Type|Current Version|Upgrade Version|%|Status\nBOOT of router module|1.2.3.4|1.2.3.5|Waiting for the upgrade\n"
            "APP of router module|Not found\nCustomization of router module|Not found\n"
            "Firmware of wireless module|2.1.0.7|2.1.0.9|Waiting for the upgrade\n"
            "Dashboard of wireless module|3.0.1.2|4.0.0.0|Waiting for the upgrade\n");

  MakePackage(dir.Path(), MODULE_FIRMWARE, "2.2.0.7");
  EXPECT_EQ(Run("check --json"), 1);
  const Json report = Json::parse(out);
  EXPECT_EQ(report["router"], (Json{{"mac", "02-51-E1-00-00-01"}, {"address", "127.0.0.1"}}));
  EXPECT_EQ(std::pair(report["rows"][3]["upgradeVersion"], report["rows"][3]["status"]),
            std::pair(Json("2.2.0.7"), Json("Version does not match")));

  EXPECT_EQ(Run("upgrade --json", FreePort()), 1);  // nobody answers there
  EXPECT_NE(out.find("\"checkSucceeded\":false,\"upgradeRan\":false"), std::string::npos) << out;
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
  EXPECT_EQ((std::vector<Json>{report["rows"][3]["currentVersion"], report["rows"][4]["currentVersion"]}),
            (std::vector<Json>{"2.1", "3.0\x01\t\""})) << out;
  // BOOT failed (its row red), the rest never ran.
  EXPECT_EQ((std::vector<size_t>{CountOf(out, "\"result\":\"failed\""), CountOf(out, "\"colour\":\"red\""),
                                 sim->RouterImages().size()}), (std::vector<size_t>{5, 1, 1}));
  EXPECT_EQ(std::pair(report["rows"][0]["bytesSent"], report["rows"][0]["bytesTotal"]), std::pair(Json(9000), Json(9000)));
}

// qel upgrade in a real terminal of three sizes: the Check's table, one
// live line per row that ran (the firmware's failing), then the final
// table, each line within the terminal's width.
TEST_F(QelTest, UpgradeInATerminalFitsItsWidth) {
  options.m_Faults.m_ResetRefused = true;
  MakeFittingPackages(dir.Path());
  const auto sim = StartSim(options);
  for (const auto& [columns, rows] : {std::pair{80, 24}, {40, 24}, {200, 50}}) {
    Tmux terminal(Qel("upgrade", options.m_Port), columns, rows);
    ASSERT_TRUE(terminal.Started());
    ASSERT_TRUE(terminal.WaitFor("[exit 1]", 30000)) << terminal.Text();
    const std::vector<std::string> lines = terminal.Lines();
    EXPECT_EQ(Tmux::Wider(lines, columns - 1), "") << columns;
    EXPECT_EQ(Tmux::Starting(lines, "Type "), 2) << terminal.Text();
    for (const char* type : {"BOOT of", "APP of", "Customizati", "Firmware of"})
      EXPECT_EQ(Tmux::Starting(lines, type), 3) << type << "\n" << terminal.Text();
    EXPECT_EQ(Tmux::Starting(lines, "Dashboard o"), 2) << terminal.Text();
  }
}

// The pass sends the bytes the Check verified, whatever happens to the files
// meanwhile: rewritten in place or cut short once the first image is on its way.
TEST_F(QelTest, PackagesRewrittenDuringThePassAreSentAsChecked) {
  const auto data = MakeFittingPackages(dir.Path());
  const auto sim = StartSim(options);
  int status = -1;
  std::thread upgrade([&] { status = RunCommand(Qel("upgrade", options.m_Port), &out); });
  const bool begun = WaitUntil([&] { return !sim->Events().empty() && sim->Events().back().m_Name == "rut-begin"; }, 60000);
  WriteFile(dir.File("pkg3.bin"), std::vector<uint8_t>(ReadFile(dir.File("pkg3.bin")).size(), 0x5A));
  EXPECT_EQ(truncate(dir.File("pkg4.bin").c_str(), 100), 0);
  upgrade.join();
  ASSERT_TRUE(begun);
  EXPECT_EQ(status, 0) << out << Err();
  EXPECT_EQ(sim->WirelessMemory(), (std::map<uint32_t, std::vector<uint8_t>>{{0x100000, data[3]}, {0x800000, data[4]}}));
}

// A log's messages with every number as '#' (times differ from pass to pass).
std::vector<std::string> Messages(const std::string& log) {
  std::vector<std::string> messages = LogMessages(log);
  for (std::string& message : messages) message = std::regex_replace(message, std::regex("[0-9]+"), "#");
  return messages;
}

// Every line of a pass is in the log once it is made: a normal pass leaves
// its lines as before, each once, in order, CR LF, the separator last; a
// pass killed in the middle of the firmware download leaves the same lines
// up to the download. The router answers each image at once (installed in
// 0 ms), before the wait for its result begins.
TEST_F(QelTest, APassKilledInTheDownloadLeavesItsLinesUpToThere) {
  options.m_InstallMs = 0;
  MakeFittingPackages(dir.Path());
  MakePackage(dir.Path(), MODULE_FIRMWARE, "2.1.5.0", 512 * 4096);
  const auto sim = StartSim(options);
  ASSERT_EQ(Run("upgrade"), 0) << out << Err() << Log();
  const std::string whole = Log();
  EXPECT_TRUE(std::regex_match(whole, std::regex("(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [^\r\n]*\r\n)+"))) << whole;
  const auto writes = [&] {
    const std::vector<SimEvent> events = sim->Events();
    return std::count_if(events.begin(), events.end(), [](const SimEvent& e) { return e.m_Name == "write"; });
  };
  const auto before = writes();
  ASSERT_EQ(remove(dir.File(UpgradeLog::FILE_NAME).c_str()), 0);
  const pid_t pid = Spawn(Qel("upgrade", options.m_Port) + " >/dev/null");
  const bool downloading = WaitUntil([&] { return writes() > before + 50; }, 60000);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  ASSERT_TRUE(downloading);
  ASSERT_LT(writes(), before + 512);
  const std::vector<std::string> killed = Messages(Log()), all = Messages(whole);
  ASSERT_LT(killed.size(), all.size());
  EXPECT_EQ(killed, std::vector<std::string>(all.begin(), all.begin() + killed.size()));
  EXPECT_EQ(killed.back(), LoadStringId(IDS_DOWNLOADING_FIRMWARE));
}

// A 2 GiB file named *.bin that is no package (sparse here) is refused from
// its first bytes: the Check's peak memory stays near that of a Check of the
// empty folder (reading the file whole took it past 2 GiB). Its speed is the
// benchmark's to measure.
TEST_F(QelTest, AHugeFileThatIsNoPackageIsRefusedFromItsFirstBytes) {
  const auto measured = [&] {
    rusage use{};
    wait4(Spawn(Qel("check", options.m_Port) + " >/dev/null"), nullptr, 0, &use);
    return use.ru_maxrss;  // KiB
  };
  const long emptyKiB = measured();
  const int fd = open(dir.File("disk.bin").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
  ASSERT_EQ(ftruncate(fd, off_t{2} << 30), 0);
  close(fd);
  const long kib = measured();
  EXPECT_EQ(Err(), "No valid .bin file is found in the current directory\nLooked for *.bin files in " + dir.Path() + "\n");
  EXPECT_LT(kib - emptyKiB, 64 * 1024) << kib;
}

// One whole pass as in the field, on a laptop made of private network
// namespaces, so the broadcast never leaves them: the default route goes
// out of one cable (nobody there), the gateway (the simulator program, at
// most a minute) is on another. Once it serves, `qel check` and `qel upgrade`
// run with their defaults (limited broadcast, port 1280). Once the Check's
// table is out the pass follows: then Ctrl-C, and a TERM after the refusal;
// neither may end it. Ctrl-C then ends the simulator, which must exit
// cleanly. Needs root; fails, not skips, without.
TEST_F(QelTest, WholePassWithTheDefaultsWhileSignalsAreHeld) {
  NetNamespaces namespaces("up");
  namespaces.Cable("qelwifi", "10.213.9.2", "10.213.9.1", true);
  const std::string gateway = namespaces.Cable("qeleth", "192.168.1.2", "192.168.1.1");
  ASSERT_TRUE(namespaces.Ok()) << "this test needs to create network namespaces (run as root with ip(8) available): "
                               << namespaces.Failure();
  const auto data = MakeFittingPackages(dir.Path());
  EXPECT_EQ(RunCommand("cd " + dir.Path() + "; w() { for i in $(seq 3000); do grep -q \"$2\" $1 && break; sleep 0.02; done; }; "
                           "timeout -k 5 60 ip netns exec " + gateway + " " + BinDir() + "/qel-gateway-sim "
                           "--interface " + NetNamespaces::GATEWAY_DEVICE + " --record record --time-scale 50 --quiet "
                           ">sim.txt 2>&1 & sim=$!; w sim.txt serving; " + namespaces.InTool("env TMPDIR=$PWD " + BinDir()) +
                           "/qel check --dir . --time-scale 50 >check.txt 2>&1 || echo check failed; " +
                           namespaces.InTool("env TMPDIR=$PWD " + BinDir()) +
                           "/qel upgrade --dir . --time-scale 50 >out.txt 2>err.txt & q=$!; w out.txt Type; "
                           "kill -INT $q; w err.txt .; kill -TERM $q; wait $q; tool=$?; kill -INT $sim; "
                           "wait $sim || echo simulator failed; exit $tool",
                       &out),
            0)
      << out << Err() << ReadText(dir.File("sim.txt"));
  EXPECT_EQ(CountOf(Err(), LoadStringId(IDS_UPGRADE_IN_PROCESS)), 2u) << Err();
  EXPECT_EQ(CountOf(ReadText(dir.File("check.txt")), "Waiting for the upgrade"), 5u) << ReadText(dir.File("check.txt"));
  // Live lines with a bar while the rows run, each row's last one with its
  // result, and the same results in the table at the end.
  const std::string shown = ReadText(dir.File("out.txt"));
  EXPECT_NE(shown.find("[##########----------]  50%  " + std::string(LoadStringId(IDS_PREPARING_WIRELESS))), std::string::npos);
  EXPECT_EQ(CountOf(shown, "Download successfully ("), 10u) << shown;
  // Byte for byte what the packages hold.
  std::vector<std::vector<uint8_t>> recorded;
  for (const char* file : {"router-image-1", "router-image-2", "router-image-3", "wireless-00100000", "wireless-00800000"})
    recorded.push_back(ReadFile(dir.File("record/") + file + ".bin"));
  EXPECT_EQ(recorded, data);
  const std::vector<std::string> log = LogMessages(Log());
  EXPECT_EQ(std::count(log.begin(), log.end(), "02-51-E1-00-00-01"), 1);
  EXPECT_EQ(log.back(), std::string(50, '+'));
}

}  // namespace
