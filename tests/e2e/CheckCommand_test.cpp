// The built `qel check` against the simulator in this process.
#include <gtest/gtest.h>

#include <string>

#include "CheckFixture.h"

namespace checktest {
namespace {

class CheckCommandTest : public CheckFixture {
 protected:
  // Runs qel check with the log in the test's directory; stderr goes to a file.
  int RunQel(const std::string& extra, std::string* out) {
    const std::string command = "TMPDIR='" + m_LogDir.Path() + "' '" + testsupport::BinDir() +
                                "/qel' check --broadcast 127.255.255.255 --port " + std::to_string(m_Port) +
                                " --time-scale " + std::to_string(static_cast<int>(TIME_SCALE)) + " --dir '" +
                                m_PackageDir.Path() + "' " + extra + " 2>'" + m_LogDir.File("stderr.txt") + "'";
    return testsupport::RunCommand(command, out);
  }
  std::string Stderr() const { return testsupport::ReadText(m_LogDir.File("stderr.txt")); }
  std::string LogFile() const { return testsupport::ReadText(m_LogDir.File("QelUpgradeLog.txt")); }

  // The line of out that starts with prefix ("" when none).
  static std::string Line(const std::string& out, const std::string& prefix) {
    for (size_t start = 0; start < out.size();) {
      size_t end = out.find('\n', start);
      if (end == std::string::npos) end = out.size();
      if (out.compare(start, prefix.size(), prefix) == 0) return out.substr(start, end - start);
      start = end + 1;
    }
    return "";
  }
};

TEST_F(CheckCommandTest, PrintsTheFiveRowsAndSucceeds) {
  StartSim();
  AddPackage(MODULE_BOOT, "1.2.3.5");
  AddPackage(MODULE_FIRMWARE, "2.1.0.9");
  AddPackage(MODULE_DASHBOARD, "4.0.0.0");
  std::string out;
  EXPECT_EQ(RunQel("", &out), 0) << out << Stderr();
  const std::string header = Line(out, "Type");
  EXPECT_NE(header.find("Current Version"), std::string::npos) << out;
  EXPECT_NE(header.find("Upgrade Version"), std::string::npos);
  EXPECT_NE(header.find("%"), std::string::npos);
  EXPECT_NE(header.find("Status"), std::string::npos);
  const std::string boot = Line(out, "BOOT of router module");
  EXPECT_NE(boot.find("1.2.3.4"), std::string::npos) << out;
  EXPECT_NE(boot.find("1.2.3.5"), std::string::npos);
  EXPECT_NE(boot.find("Waiting for the upgrade"), std::string::npos);
  const std::string firmware = Line(out, "Firmware of wireless module");
  EXPECT_NE(firmware.find("2.1.0.7"), std::string::npos) << out;
  EXPECT_NE(Line(out, "Dashboard of wireless module").find("3.0.1.2"), std::string::npos) << out;
  EXPECT_NE(Line(out, "APP of router module").find("Not found"), std::string::npos) << out;
  EXPECT_NE(Line(out, "Customization of router module").find("Not found"), std::string::npos) << out;
  EXPECT_EQ(out.find("\033["), std::string::npos) << "no colours when not on a terminal";
  EXPECT_EQ(Stderr(), "");
  // The Check's lines reach the log file when qel ends.
  const std::string log = LogFile();
  EXPECT_NE(log.find(" DIAG_HandShake: (0,0)\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" Firmware Version: 2.1.0.7\r\n"), std::string::npos);
  EXPECT_NE(log.find(" Dashboard Version: 3.0.1.2\r\n"), std::string::npos);
}

TEST_F(CheckCommandTest, ConflictingFirmwareExitsOne) {
  StartSim();
  AddPackage(MODULE_FIRMWARE, "2.2.0.7");
  std::string out;
  EXPECT_EQ(RunQel("", &out), 1);
  EXPECT_NE(Line(out, "Firmware of wireless module").find("Version does not match"), std::string::npos) << out;
}

TEST_F(CheckCommandTest, NoRouterOnStderr) {
  m_SimOptions.m_Faults.m_NoDiscoveryAnswer = true;
  StartSim();
  AddPackage(MODULE_APP, "1.2.3.4");
  std::string out;
  EXPECT_EQ(RunQel("", &out), 1);
  EXPECT_EQ(out, "") << "no rows to print";
  EXPECT_EQ(Stderr(), "No router is detected\n");
  EXPECT_NE(LogFile().find(" 没有检测到路由器\r\n"), std::string::npos);
}

TEST_F(CheckCommandTest, ScanMessageOnStderr) {
  StartSim();
  std::string out;
  EXPECT_EQ(RunQel("", &out), 1);
  EXPECT_EQ(Stderr(), "No valid .bin file is found in the current directory\n");
}

TEST_F(CheckCommandTest, JsonReport) {
  StartSim();
  AddPackage(MODULE_FIRMWARE, "2.1.0.9");
  std::string out;
  EXPECT_EQ(RunQel("--json", &out), 0) << Stderr();
  EXPECT_EQ(out.substr(0, 17), "{\"succeeded\":true") << out;
  EXPECT_NE(out.find("\"router\":{\"mac\":\"02-51-E1-00-00-01\",\"address\":\"127.0.0.1\"}"), std::string::npos)
      << out;
  EXPECT_NE(out.find("{\"row\":3,\"type\":\"Firmware of wireless module\",\"currentVersion\":\"2.1.0.7\","
                     "\"upgradeVersion\":\"2.1.0.9\",\"percent\":\"\",\"status\":\"Waiting for the upgrade\","
                     "\"colour\":\"blue\"}"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\"status\":\"Not found\",\"colour\":\"grey\"}"), std::string::npos) << out;
  EXPECT_EQ(out.back(), '\n');
  EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line";
}

}  // namespace
}  // namespace checktest
