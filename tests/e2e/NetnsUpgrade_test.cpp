// One whole upgrade as in the field: `qel upgrade` with its default target
// 255.255.255.255 and port 1280 against `qel-gateway-sim` serving a veth
// interface. Both run in private network namespaces that this test makes
// (and removes), so the broadcast never leaves them. Needs root; fails, not
// skips, without.
#include <sys/stat.h>

#include "e2e/UpgradeFixture.h"
#include "log/UpgradeLog.h"
#include "support/NetNamespaces.h"
#include "support/TestSupport.h"

namespace upgradetest {
namespace {

TEST(NetnsUpgradeTest, WholePassThroughTheLimitedBroadcastAndTheDefaultPort) {
  testsupport::NetNamespaces namespaces("up");
  ASSERT_TRUE(namespaces.Ok()) << "this test needs to create network namespaces (run as root with ip(8) available): "
                               << namespaces.Failure();
  testsupport::TempDir dir;
  const std::string packages = dir.Path(), record = dir.File("record"), bin = testsupport::BinDir();
  ASSERT_EQ(mkdir(record.c_str(), 0755), 0);
  const auto data =
      WritePackages(packages, {MODULE_BOOT, MODULE_APP, MODULE_CUSTOMIZATION, MODULE_FIRMWARE, MODULE_DASHBOARD});

  // The simulator (at most a minute) serves the gateway's side; once it
  // says so, the tool runs with its defaults: no --broadcast, no --port.
  // Ctrl-C then ends the simulator, which must exit cleanly.
  std::string out;
  const int status = testsupport::RunCommand(
      "timeout -k 5 60 ip netns exec " + namespaces.Gateway() + " " + bin + "/qel-gateway-sim --interface " +
          testsupport::NetNamespaces::GATEWAY_DEVICE + " --record " + record +
          " --time-scale 50 --install-ms 1000 --restart-ms 3000 --quiet > " + dir.File("sim.txt") +
          " 2>&1 & sim=$!; for i in $(seq 100); do grep -q serving " + dir.File("sim.txt") +
          " && break; sleep 0.05; done; ip netns exec " + namespaces.Tool() + " env TMPDIR=" + dir.Path() + " " + bin +
          "/qel upgrade --dir " + packages + " --time-scale 50 --json 2>" + dir.File("err.txt") +
          "; tool=$?; kill -INT $sim; "
          "wait $sim || echo simulator failed; exit $tool",
      &out);
  EXPECT_EQ(status, 0) << out << testsupport::ReadText(dir.File("err.txt"));
  EXPECT_NE(out.find("\"checkSucceeded\":true,\"upgradeRan\":true,\"succeeded\":true"), std::string::npos) << out;
  EXPECT_EQ(CountOf(out, "\"result\":\"succeeded\""), 5u) << out;
  EXPECT_EQ(CountOf(out, "\"colour\":\"blue\""), 5u);
  EXPECT_EQ(CountOf(out, "\"status\":\"Download successfully ("), 5u);
  EXPECT_EQ(CountOf(out, "\n"), 1u) << "one JSON object and nothing else";
  EXPECT_EQ(out.find("simulator failed"), std::string::npos) << testsupport::ReadText(dir.File("sim.txt"));

  for (int image = 0; image < 3; ++image)
    EXPECT_EQ(testsupport::ReadFile(record + "/router-image-" + std::to_string(image + 1) + ".bin"), data.at(image))
        << "router image " << image + 1;
  EXPECT_EQ(testsupport::ReadFile(record + "/wireless-00100000.bin"), data.at(MODULE_FIRMWARE));
  EXPECT_EQ(testsupport::ReadFile(record + "/wireless-00800000.bin"), data.at(MODULE_DASHBOARD));
  const std::string log = testsupport::ReadText(dir.File(UpgradeLog::FILE_NAME));
  EXPECT_EQ(log.substr(log.size() >= 52 ? log.size() - 52 : 0), std::string(50, '+') + "\r\n");
}

}  // namespace
}  // namespace upgradetest
