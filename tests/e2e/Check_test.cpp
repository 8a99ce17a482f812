// The built `qel check` against the simulator on loopback.
#include <gtest/gtest.h>

#include <string>

#include "support/Packages.h"
#include "support/SimFixture.h"
#include "support/TestSupport.h"

namespace {

class CheckEndToEndTest : public ::testing::Test {
 protected:
  size_t Events(const std::string& name) const {
    size_t count = 0;
    for (const SimEvent& event : sim->Events()) count += event.m_Name == name;
    return count;
  }

  SimOptions options = testsupport::TestSimOptions(50);
  std::unique_ptr<GatewaySim> sim = testsupport::StartSim(options);
  testsupport::TempDir logDir, packages;
  testsupport::ScopedEnv tmpDir{"TMPDIR", logDir.Path().c_str()};
};

TEST_F(CheckEndToEndTest, QelCheckPrintsTheRowsOrWhyNot) {
  const std::string err = logDir.File("stderr.txt");
  const auto qel = [&](int port, const std::string& extra, std::string* out) {
    return testsupport::RunCommand("TMPDIR='" + logDir.Path() + "' '" + testsupport::BinDir() +
                                       "/qel' check --broadcast 127.255.255.255 --time-scale 50 --port " +
                                       std::to_string(port) + " --dir '" + packages.Path() + "' " + extra + " 2>'" +
                                       err + "'",
                                   out);
  };
  const auto contains = [](const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  };
  std::string out;
  EXPECT_EQ(qel(options.m_Port, "", &out), 1);
  EXPECT_EQ(testsupport::ReadText(err), "No valid .bin file is found in the current directory\n");
  EXPECT_TRUE(contains(testsupport::ReadText(logDir.File("QelUpgradeLog.txt")),
                       " RunCheck: no valid .bin file in " + packages.Path() + "\r\n"));

  testsupport::MakePackage(packages.Path(), MODULE_BOOT, "1.2.3.5");
  testsupport::MakePackage(packages.Path(), MODULE_FIRMWARE, "2.1.0.9");
  testsupport::MakePackage(packages.Path(), MODULE_DASHBOARD, "4.0.0.0");
  EXPECT_EQ(qel(options.m_Port, "", &out), 0) << out << testsupport::ReadText(err);
  EXPECT_EQ(testsupport::ReadText(err), "");
  EXPECT_EQ(sim->TcpConnectionCount(), 1);
  for (const char* name : {"discover", "handshake", "board-version", "iso-version"}) EXPECT_EQ(Events(name), 1u) << name;
  EXPECT_FALSE(contains(out, "\033[")) << "no colours when not on a terminal";
  // Each printed row starts with its type and holds the rest in order.
  for (const std::vector<std::string>& row : std::vector<std::vector<std::string>>{
           {"Type", "Current Version", "Upgrade Version", "%", "Status"},
           {"BOOT of router module", "1.2.3.4", "1.2.3.5", "Waiting for the upgrade"},
           {"APP of router module", "Not found"},
           {"Customization of router module", "Not found"},
           {"Firmware of wireless module", "2.1.0.7", "2.1.0.9", "Waiting for the upgrade"},
           {"Dashboard of wireless module", "3.0.1.2", "4.0.0.0", "Waiting for the upgrade"}}) {
    size_t at = ("\n" + out).find("\n" + row[0]);
    const size_t end = out.find('\n', at);
    for (const std::string& cell : row) {
      at = out.find(cell, at);
      EXPECT_LT(at, end) << cell << " in\n" << out;
    }
  }
  const std::string log = testsupport::ReadText(logDir.File("QelUpgradeLog.txt"));  // written when qel ends
  for (const char* line : {" DIAG_HandShake: (0,0)\r\n", " Firmware Version: 2.1.0.7\r\n", " Dashboard Version: 3.0.1.2\r\n"})
    EXPECT_TRUE(contains(log, line)) << line << log;

  testsupport::MakePackage(packages.Path(), MODULE_FIRMWARE, "2.2.0.7");
  EXPECT_EQ(qel(options.m_Port, "--json", &out), 1);
  EXPECT_EQ(out.find("{\"succeeded\":false"), 0u) << out;
  EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line";
  for (const char* part : {"\"router\":{\"mac\":\"02-51-E1-00-00-01\",\"address\":\"127.0.0.1\"}",
                           "{\"row\":3,\"type\":\"Firmware of wireless module\",\"currentVersion\":\"2.1.0.7\","
                           "\"upgradeVersion\":\"2.2.0.7\",\"percent\":\"\",\"status\":\"Version does not match\","
                           "\"colour\":\"red\"}",
                           "\"status\":\"Not found\",\"colour\":\"grey\"}"})
    EXPECT_TRUE(contains(out, part)) << part << "\n" << out;

  EXPECT_EQ(qel(testsupport::FreePort(), "", &out), 1);  // nobody answers there
  EXPECT_EQ(out, "") << "no rows to print";
  EXPECT_EQ(testsupport::ReadText(err), "No router is detected\n");
  EXPECT_TRUE(contains(testsupport::ReadText(logDir.File("QelUpgradeLog.txt")), " 没有检测到路由器\r\n"));
}

}  // namespace
