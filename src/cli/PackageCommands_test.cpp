// Runs the built qel: make, info and scan as a user would.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "packages/UpgradePackage.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;
using Bytes = std::vector<uint8_t>;

std::string Qel() { return testsupport::BinDir() + "/qel"; }

int RunQel(const std::string& arguments, std::string* output) {
  return testsupport::RunCommand(Qel() + " " + arguments, output);
}

std::string WriteData(const TempDir& dir, const std::string& name, size_t length, uint8_t seed) {
  Bytes data(length);
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(seed * 31 + i * 13);
  testsupport::WriteFile(dir.File(name), data);
  return dir.File(name);
}

// "FILE: valid" / "FILE: invalid: reason" lines of an info run, by file.
std::map<std::string, std::string> Verdicts(const std::string& output) {
  std::map<std::string, std::string> verdicts;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == ' ') continue;
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) verdicts[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return verdicts;
}

TEST(PackageCommandTest, MakeThenInfoGivesKindVersionAndUnits) {
  TempDir dir;
  const std::string a = WriteData(dir, "a.dat", 5000, 1);
  const std::string b = WriteData(dir, "b.dat", 20, 2);
  const struct {
    const char* m_Kind;
    const char* m_Name;
    const char* m_ImageType;
  } kinds[] = {{"boot", "BOOT of router module", "0"},
               {"app", "APP of router module", "0"},
               {"customization", "Customization of router module", "0"},
               {"firmware", "Firmware of wireless module", "1"},
               {"DASHBOARD", "Dashboard of wireless module", "3"}};
  for (const auto& k : kinds) {
    const std::string out = dir.File(std::string(k.m_Kind) + ".bin");
    std::string output;
    ASSERT_EQ(RunQel(std::string("package make --kind ") + k.m_Kind + " --version 'V 1.0' --chunk-size 1024 --unit 0x100000:" +
                      a + " --unit 4096:" + b + " -o " + out,
                  &output),
              0)
        << output;
    ASSERT_EQ(RunQel("package info " + out, &output), 0) << output;
    EXPECT_NE(output.find(out + ": valid\n"), std::string::npos) << output;
    EXPECT_NE(output.find(std::string("  kind: ") + k.m_Name + "\n"), std::string::npos) << output;
    EXPECT_NE(output.find("  version: V 1.0\n"), std::string::npos) << output;
    EXPECT_NE(output.find(std::string("  image type: ") + k.m_ImageType + "\n"), std::string::npos) << output;
    const std::string tag = std::string(k.m_ImageType) == "0" ? "0x30524448" : "0xA55AAA55";
    EXPECT_NE(output.find("  unit 1: tag " + tag +
                          ", load address 0x00100000, data length 5000, chunk size 1024, chunk count 5, data offset 200\n"),
              std::string::npos)
        << output;
    // 98 + 10 + 5000 = 5108 is aligned; unit 2 starts at 92 + 5108.
    EXPECT_NE(output.find("  unit 2: tag " + tag +
                          ", load address 0x00001000, data length 20, chunk size 1024, chunk count 1, data offset 5300\n"),
              std::string::npos)
        << output;
  }
}

TEST(PackageCommandTest, InfoSaysNoVersionAndFailsOnAnyInvalidFile) {
  TempDir dir;
  const std::string data = WriteData(dir, "d.dat", 64, 3);
  const std::string good = dir.File("good.bin");
  std::string output;
  ASSERT_EQ(RunQel("package make --kind app --version '' --unit 0:" + data + " -o " + good, &output), 0);
  ASSERT_EQ(RunQel("package info " + good, &output), 0);
  EXPECT_NE(output.find("  version: No version\n"), std::string::npos) << output;

  testsupport::WriteFile(dir.File("short.bin"), Bytes(189, 0));
  const std::string missing = dir.File("missing.bin");
  EXPECT_EQ(RunQel("package info " + good + " " + dir.File("short.bin") + " " + missing, &output), 1);
  const auto verdicts = Verdicts(output);
  EXPECT_EQ(verdicts.at(good), "valid");
  EXPECT_EQ(verdicts.at(dir.File("short.bin")), "invalid: shorter than 190 bytes");
  EXPECT_EQ(verdicts.at(missing), "invalid: cannot open: No such file or directory");
}

TEST(PackageCommandTest, FlippingAnyCoveredByteIsReportedAndOtherBytesAreNot) {
  TempDir dir;
  const std::string a = WriteData(dir, "a.dat", 45, 4);  // 3 chunks of 16: 98 + 6 + 45 = 149, 3 fill bytes
  const std::string b = WriteData(dir, "b.dat", 33, 5);  // 3 chunks: 98 + 6 + 33 = 137, 3 fill bytes
  const std::string good = dir.File("good.bin");
  std::string output;
  ASSERT_EQ(RunQel("package make --kind firmware --version FW-9 --chunk-size 16 --unit 1:" + a + " --unit 2:" + b +
                    " -o " + good,
                &output),
            0);
  const Bytes bytes = testsupport::ReadFile(good);
  ASSERT_EQ(bytes.size(), 92u + 152u + 140u);
  // Region of every byte: 'h' package header, 'u' unit header/table/data, 'f' fill.
  std::string region(92, 'h');
  region += std::string(149, 'u') + "fff" + std::string(137, 'u') + "fff";
  ASSERT_EQ(region.size(), bytes.size());

  std::string files;
  std::vector<std::string> names;
  for (size_t i = 4; i < bytes.size(); ++i) {  // bytes 0-3 are the image type: they change the kind
    Bytes flipped = bytes;
    flipped[i] ^= 0x01;
    names.push_back(dir.File("flip" + std::to_string(i) + ".bin"));
    testsupport::WriteFile(names.back(), flipped);
    files += " " + names.back();
  }
  EXPECT_EQ(RunQel("package info" + files, &output), 1);
  const auto verdicts = Verdicts(output);
  for (size_t i = 4; i < bytes.size(); ++i) {
    const auto found = verdicts.find(names[i - 4]);
    ASSERT_NE(found, verdicts.end()) << "byte " << i;
    const std::string& verdict = found->second;
    if (region[i] == 'u') {
      const std::string unit = i < 92 + 152 ? "unit 1: " : "unit 2: ";
      EXPECT_EQ(verdict.rfind("invalid: " + unit, 0), 0u) << "byte " << i << ": " << verdict;
      EXPECT_TRUE(verdict.find("checksum") != std::string::npos) << "byte " << i << ": " << verdict;
    } else {
      EXPECT_EQ(verdict, "valid") << "byte " << i;
    }
  }
  // A chunk's data names that chunk.
  EXPECT_EQ(verdicts.at(names[92 + 152 + 98 + 6 + 20 - 4]), "invalid: unit 2: checksum of chunk 2 does not match");
}

TEST(PackageCommandTest, MakeWritesTheUnlockFieldAndTheRouterKindValue) {
  TempDir dir;
  const std::string data = WriteData(dir, "d.dat", 40, 6);
  const std::string out = dir.File("cust.bin");
  std::string output;
  ASSERT_EQ(RunQel("package make --kind customization --version C --unlock 0102030405060708 --unit 0:" + data + " -o " +
                    out,
                &output),
            0);
  UpgradePackage package;
  package.m_Path = out;
  ASSERT_TRUE(package.Load());
  const uint8_t expected[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(memcmp(package.Unit(0).Unlock(), expected, 8), 0);
  const uint8_t* kindValue = package.UnitData(0) + 12;
  EXPECT_EQ(kindValue[0], 4);
  EXPECT_EQ(kindValue[1] | kindValue[2] | kindValue[3], 0);
  // The rest of the data is the file's.
  const Bytes original = testsupport::ReadFile(data);
  EXPECT_EQ(memcmp(package.UnitData(0), original.data(), 12), 0);
  EXPECT_EQ(memcmp(package.UnitData(0) + 16, original.data() + 16, 24), 0);
}

TEST(PackageCommandTest, MakeRefusesWhatCannotBeAPackage) {
  TempDir dir;
  const std::string small = WriteData(dir, "small.dat", 15, 7);
  const std::string data = WriteData(dir, "d.dat", 40, 8);
  testsupport::WriteFile(dir.File("empty.dat"), {});
  const std::string out = dir.File("x.bin");
  const std::vector<std::string> bad = {
      "--kind boot --version B --unit 0:" + small,          // router data under 16 bytes
      "--kind firmware --version F --unit 0:" + dir.File("empty.dat"),
      "--kind firmware --version F --unit 0:" + dir.File("none.dat"),
      "--kind firmware --version F --unit 0x1G:" + data,
      "--kind firmware --version F --unit 4294967296:" + data,
      "--kind firmware --version F --unit " + data,          // no address
      "--kind firmware --version F --unlock 0102 --unit 0:" + data,
      "--kind firmware --version " + std::string(84, 'v') + " --unit 0:" + data,
      "--kind firmware --version F --chunk-size 0 --unit 0:" + data,
      "--kind modem --version F --unit 0:" + data,
      "--kind firmware --version F",                         // no unit
  };
  for (const std::string& arguments : bad) {
    std::string output;
    EXPECT_NE(RunQel("package make " + arguments + " -o " + out + " 2>/dev/null", &output), 0) << arguments;
    EXPECT_NE(access(out.c_str(), F_OK), 0) << arguments;
  }
}

TEST(PackageCommandTest, ImageTypeZeroDashboardIsNotedUnlessItsPathSaysSo) {
  TempDir dir;
  const std::string data = WriteData(dir, "d.dat", 40, 9);
  std::string output;
  const std::string plain = dir.File("dash.bin");
  ASSERT_EQ(RunQel("package make --kind dashboard --image-type 0 --version D --unit 0:" + data + " --unit 8:" + data +
                    " -o " + plain + " 2>&1",
                &output),
            0);
  EXPECT_NE(output.find("loads as Firmware of wireless module"), std::string::npos) << output;
  const std::string zemt = dir.File("ZEMT_dash.bin");
  ASSERT_EQ(RunQel("package make --kind dashboard --image-type 0 --version D --unit 0:" + data + " --unit 8:" + data +
                    " -o " + zemt + " 2>&1",
                &output),
            0);
  EXPECT_EQ(output.find("note:"), std::string::npos) << output;
  ASSERT_EQ(RunQel("package info " + zemt, &output), 0);
  EXPECT_NE(output.find("  kind: Dashboard of wireless module\n  version: D\n  image type: 0\n"), std::string::npos)
      << output;
}

TEST(PackageCommandTest, ScanShowsTheFiveRowsOrTheWarning) {
  TempDir dir;
  TempDir tmp;  // the scan's log goes here, not into the machine's temp
  const std::string env = "TMPDIR=" + tmp.Path() + " ";
  const std::string data = WriteData(dir, "d.dat", 64, 10);
  std::string output;
  EXPECT_EQ(testsupport::RunCommand(env + Qel() + " package scan --dir " + dir.Path() + " 2>&1", &output), 1);
  EXPECT_NE(output.find("No valid .bin file is found in the current directory"), std::string::npos) << output;

  for (const char* kind : {"boot", "app", "firmware"}) {
    ASSERT_EQ(RunQel(std::string("package make --kind ") + kind + " --version " + kind + "-v --unit 0:" + data + " -o " +
                      dir.File(std::string(kind) + ".BIN"),
                  &output),
              0);
  }
  ASSERT_EQ(testsupport::RunCommand(env + Qel() + " package scan --dir " + dir.Path(), &output), 0) << output;
  EXPECT_NE(output.find("BOOT of router module"), std::string::npos) << output;
  EXPECT_NE(output.find("boot-v"), std::string::npos) << output;
  EXPECT_NE(output.find(dir.File("firmware.BIN")), std::string::npos) << output;
  EXPECT_EQ(output.find(dir.File("d.dat")), std::string::npos) << output;
  std::istringstream lines(output);
  std::string line;
  int rows = 0;
  while (std::getline(lines, line)) ++rows;
  EXPECT_EQ(rows, 6) << output;  // heading and five rows

  ASSERT_EQ(RunQel("package make --kind app --version again --unit 0:" + data + " -o " + dir.File("app2.bin"), &output), 0);
  EXPECT_EQ(testsupport::RunCommand(env + Qel() + " package scan --dir " + dir.Path() + " 2>&1", &output), 1);
  EXPECT_NE(output.find("Two or more .bin files with the same type exist"), std::string::npos) << output;
  // The empty scan's Chinese line reached the log file when qel ended.
  EXPECT_NE(testsupport::ReadText(tmp.File("QelUpgradeLog.txt")).find("没有找到至少一个有效的BIN文件"),
            std::string::npos);
}

TEST(PackageCommandTest, HelpAndVersion) {
  std::string output;
  EXPECT_EQ(RunQel("--version", &output), 0);
  EXPECT_NE(output.find("qel " QEL_VERSION), std::string::npos) << output;
  for (const char* command : {"package", "package info", "package make", "package scan"}) {
    EXPECT_EQ(RunQel(std::string(command) + " --help", &output), 0) << command;
    EXPECT_NE(output.find("Usage"), std::string::npos) << command;
  }
  RunQel("package make --help", &output);
  EXPECT_NE(output.find("offset 12 of the first unit's data"), std::string::npos) << output;
  EXPECT_NE(RunQel("package 2>/dev/null", &output), 0);
}

}  // namespace
