#include "packages/PackageScan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/ModuleTable.h"
#include "log/UpgradeLog.h"
#include "support/Packages.h"
#include "support/Recorders.h"
#include "support/TestSupport.h"

namespace {

using Texts = std::vector<std::string>;

TEST(PackageScanTest, AssignsEveryBinFileToItsKindOrWarns) {
  testsupport::TempDir dir;
  ModuleTable table;
  UpgradeLog log("");
  testsupport::RecordingNotices notices;
  SetNoticeSink(&notices);
  // One digit per kind, 1 when its package is loaded.
  const auto loaded = [&] {
    std::string flags;
    for (int k = 0; k < MODULE_COUNT; ++k) flags += table[k].m_Package.m_Loaded ? '1' : '0';
    return flags;
  };
  const auto put = [&](const std::string& name, ModuleKind kind) {
    return rename(testsupport::MakePackage(dir.Path(), kind, "v-" + name, 100).c_str(), dir.File(name).c_str()) == 0;
  };
  EXPECT_FALSE(ScanPackages(table, dir.File("nowhere"), &log));
  // Only files that are no packages, and packages under names that do not match.
  testsupport::WriteFile(dir.File("garbage.bin"), std::vector<uint8_t>(500, 0x41));
  ASSERT_EQ(mkdir(dir.File("folder.bin").c_str(), 0755), 0);
  ASSERT_TRUE(put("other.bin.txt", MODULE_BOOT) && put("dashbin", MODULE_DASHBOARD));
  EXPECT_FALSE(ScanPackages(table, dir.Path(), &log));
  EXPECT_EQ(notices.Texts(), Texts(2, "No valid .bin file is found in the current directory"));
  EXPECT_EQ(testsupport::LogMessages(log.Pending()), Texts(2, "没有找到至少一个有效的BIN文件"));

  // Neither name order nor creation order is kind order; any case, hidden files too.
  const std::pair<std::string, ModuleKind> files[] = {{"e-boot.BIN", MODULE_BOOT}, {"a-dash.Bin", MODULE_DASHBOARD},
      {".bin", MODULE_APP}, {"b-firm.bin", MODULE_FIRMWARE}, {"d-cust.bin", MODULE_CUSTOMIZATION}};
  for (const auto& [name, kind] : files) ASSERT_TRUE(put(name, kind));
  ASSERT_TRUE(ScanPackages(table, dir.Path(), &log));
  for (const auto& [name, kind] : files) {
    EXPECT_EQ(table[kind].m_Package.m_Path + " " + table[kind].UpgradeVersionText(), dir.File(name) + " v-" + name);
  }
  EXPECT_EQ(loaded(), "11111");

  // A package removed between scans is gone; the rest of its entry stays.
  table[MODULE_DASHBOARD].m_VersionMatch = 1;
  ASSERT_EQ(unlink(dir.File("a-dash.Bin").c_str()), 0);
  ASSERT_TRUE(ScanPackages(table, dir.Path(), &log));
  EXPECT_EQ(loaded(), "11110");
  EXPECT_EQ(table[MODULE_DASHBOARD].m_Package.m_Path, "");
  EXPECT_EQ(table[MODULE_DASHBOARD].m_VersionMatch, 1);

  // A second package of a kind stops the scan; the first one met stays.
  ASSERT_TRUE(put("b-firm2.bin", MODULE_FIRMWARE));
  EXPECT_FALSE(ScanPackages(table, dir.Path(), &log));
  EXPECT_EQ(notices.Texts().back(), "Two or more .bin files with the same type exist");
  EXPECT_EQ(notices.Texts().size() + testsupport::LogMessages(log.Pending()).size(), 5u);
  EXPECT_TRUE(table[MODULE_FIRMWARE].m_Package.m_Loaded);
  SetNoticeSink(nullptr);
}

TEST(PackageScanTest, ModuleDirectoryIsTheDirectoryOfThisProgram) {
  const std::string dir = GetModuleDirectory();
  EXPECT_EQ(dir.front() + std::to_string(access((dir + "packages_tests").c_str(), X_OK)), "/0") << dir;
}

}  // namespace
