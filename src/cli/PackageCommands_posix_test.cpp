// qel package make, info and scan as a user runs them.
#include "cli/PackageCommands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "packages/UpgradePackage.h"
#include "support/Packages.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

// What qel printed on stdout and stderr, then "exit " and its status.
std::string Qel(const std::string& arguments, const std::string& before = "") {
  std::string output;
  const int status = testsupport::RunCommand(before + testsupport::BinDir() + "/qel " + arguments + " 2>&1", &output);
  return output + "exit " + std::to_string(status);
}

std::string WriteData(const TempDir& dir, const std::string& name, size_t length) {
  testsupport::WriteFile(dir.File(name), testsupport::Pattern(length, static_cast<uint8_t>(length)));
  return dir.File(name);
}

TEST(PackageCommandTest, MakeThenInfoGivesKindVersionAndUnitsOfEachFile) {
  TempDir dir;
  // One byte past and right at a multiple of the chunk size.
  const std::string units = " --unit 0Xf:" + WriteData(dir, "a", 5121) + " --unit 4294967295:" + WriteData(dir, "b", 2048);
  const struct { std::string m_Kind, m_Name, m_ImageType, m_Tag, m_Version, m_Shown; } kinds[] = {
      {"boot", "BOOT of router module", "0", "0x30524448", "V 1.0", "V 1.0"},
      {"app", "APP of router module", "0", "0x30524448", "", "No version"},
      {"customization", "Customization of router module", "0", "0x30524448", "V 1.0", "V 1.0"},
      {"firmware", "Firmware of wireless module", "1", "0xA55AAA55", "V 1.0", "V 1.0"},
      {"DASHBOARD", "Dashboard of wireless module", "3", "0xA55AAA55", "V 1.0", "V 1.0"}};
  std::string files, info;
  for (const auto& k : kinds) {
    const std::string out = dir.File(k.m_Kind + ".bin");
    EXPECT_EQ(Qel("package make --kind " + k.m_Kind + " --version '" + k.m_Version + "' --chunk-size 1024" + units +
                  " -o " + out),
              out + ": " + k.m_Name + ", 2 unit(s), 7476 bytes\nexit 0");
    // 98 + 12 + 5121 = 5231 and one fill byte: unit 2 starts at 92 + 5232.
    files += k.m_Kind + ".bin ";
    info += k.m_Kind + ".bin: valid\n  kind: " + k.m_Name + "\n  version: " + k.m_Shown + "\n  image type: " +
            k.m_ImageType + "\n  unit 1: tag " + k.m_Tag +
            ", load address 0x0000000F, data length 5121, chunk size 1024, chunk count 6, data offset 202\n"
            "  unit 2: tag " + k.m_Tag +
            ", load address 0xFFFFFFFF, data length 2048, chunk size 1024, chunk count 2, data offset 5426\n";
  }
  // Relative names too: the loader's rules read the full path. One invalid file fails the run.
  testsupport::WriteFile(dir.File("short.bin"), std::vector<uint8_t>(189, 0));
  EXPECT_EQ(Qel("package info " + files + "short.bin", "cd " + dir.Path() + " && "),
            info + "short.bin: invalid: shorter than 190 bytes\nexit 1");
}

TEST(PackageCommandTest, MakeRefusesWhatCannotBeAPackageOrNotesAnUnexpectedKind) {
  TempDir dir;
  const std::string file = WriteData(dir, "d.dat", 40), data = " --unit 0:" + file, out = dir.File("x.bin");
  const std::string empty = WriteData(dir, "e.dat", 0);
  // The arguments, the exit status (1 from qel itself, others from its
  // option parser) and what qel says; the last one makes the package.
  const std::string fw = "--kind firmware --version F ", unlock = "--unlock needs 16 hex digits";
  const std::string unit = "qel package make: --unit ", u = fw + "--unit ";
  const std::tuple<std::string, int, std::string> cases[] = {
      {fw + "--unlock 0102" + data, 1, unlock}, {fw + "--unlock 01020304050607080" + data, 1, unlock},
      {fw + "--unlock 010203040506070G" + data, 1, unlock}, {fw + "--unlock 01020304050607G8" + data, 1, unlock},
      {u + "4294967296:" + file, 1, unit}, {u + "0x1G:" + file, 1, unit}, {u + ":" + file, 1, unit},
      {u + "1x5:" + file, 1, unit}, {u + file, 1, unit}, {u + "0:" + file + "x", 1, unit}, {u + "0:" + empty, 1, unit},
      {"--kind firmware --version " + std::string(84, 'v') + data, 1, "longer than 83 bytes"},
      {fw + "--chunk-size 0" + data, 105, "--chunk-size"}, {fw + "--image-type 4294967296" + data, 105, "--image-type"},
      {"--kind modem --version F" + data, 105, "--kind"}, {fw, 106, "--unit"},
      {"--kind dashboard --image-type 0 --version D --unlock 0102030405060aFF" + data + data, 0,
       "note: " + out + " loads as Firmware of wireless module, not as Dashboard of wireless module\n"}};
  for (const auto& [arguments, status, said] : cases) {
    const std::string output = Qel("package make " + arguments + " -o " + out);
    EXPECT_EQ(output.substr(output.rfind("exit ")), "exit " + std::to_string(status)) << arguments;
    EXPECT_NE(output.find(said), std::string::npos) << output;
    EXPECT_EQ(access(out.c_str(), F_OK) == 0, status == 0) << arguments;
  }
  UpgradePackage package;
  package.SetPath(out);
  ASSERT_TRUE(package.Load());
  EXPECT_EQ(memcmp(package.Unit(0).Unlock(), "\1\2\3\4\5\6\12\377", 8), 0);
}

TEST(PackageCommandTest, ScanAssignsEveryBinFileToItsKindOrWarns) {
  TempDir dir, tmp;  // the scan's log goes to tmp, not into the machine's temp
  const std::string scan = "package scan --dir ", env = "TMPDIR=" + tmp.Path() + " ";
  // No package: the warning, then the folder looked in.
  const auto none = [](const std::string& folder) {
    return "Warning: No valid .bin file is found in the current directory\nLooked for *.bin files in " + folder + "\nexit 1";
  };
  // Makes packages of these kinds and versions under these names.
  const auto put = [&](const std::vector<std::tuple<std::string, ModuleKind, std::string>>& packages) {
    for (const auto& [name, kind, version] : packages)
      ASSERT_EQ(rename(testsupport::MakePackage(dir.Path(), kind, version, 100).c_str(), dir.File(name).c_str()), 0) << name;
  };
  EXPECT_EQ(Qel(scan + dir.File("nowhere/"), env), none(dir.File("nowhere")));
  // Only files that are no packages, and packages under names that do not match.
  testsupport::WriteFile(dir.File("garbage.bin"), std::vector<uint8_t>(500, 0x41));
  ASSERT_EQ(mkdir(dir.File("folder.bin").c_str(), 0755), 0);
  ASSERT_NO_FATAL_FAILURE(put({{"other.bin.txt", MODULE_BOOT, "o"}, {"dashbin", MODULE_DASHBOARD, "d"}}));
  EXPECT_EQ(Qel(scan + dir.Path(), env), none(dir.Path()));
  // Both empty scans' Chinese lines reached the log file when qel ended.
  EXPECT_EQ(testsupport::LogMessages(testsupport::ReadText(tmp.File("QelUpgradeLog.txt"))),
            std::vector<std::string>(2, "没有找到至少一个有效的BIN文件"));
  // Neither name order nor creation order is kind order; any case, hidden files too.
  ASSERT_NO_FATAL_FAILURE(put({{"e-boot.BIN", MODULE_BOOT, "boot-v"}, {"a-dash.Bin", MODULE_DASHBOARD, "dash-v"},
                               {".bin", MODULE_APP, "app-v"}, {"b-firm.bin", MODULE_FIRMWARE, ""}}));
  EXPECT_EQ(Qel(scan + dir.Path(), env),
            "Type                             Upgrade Version          Package\n"
            "BOOT of router module            boot-v                   " + dir.File("e-boot.BIN") + "\n"
            "APP of router module             app-v                    " + dir.File(".bin") + "\n"
            "Customization of router module   -                        -\n"
            "Firmware of wireless module      No version               " + dir.File("b-firm.bin") + "\n"
            "Dashboard of wireless module     dash-v                   " + dir.File("a-dash.Bin") + "\nexit 0");
  ASSERT_NO_FATAL_FAILURE(put({{"b-firm2.bin", MODULE_FIRMWARE, "f"}}));
  EXPECT_EQ(Qel(scan + dir.Path(), env), "Warning: Two or more .bin files with the same type exist\nexit 1");
}

}  // namespace
