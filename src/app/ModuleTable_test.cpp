#include "app/ModuleTable.h"

#include <gtest/gtest.h>

#include "packages/PackageBuilder.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

// Writes a package of kind into dir and loads it into the table's entry.
void LoadInto(ModuleTable& table, const TempDir& dir, ModuleKind kind, const std::string& version) {
  PackagePlan plan;
  plan.m_Kind = kind;
  plan.m_Version = version;
  plan.m_Units.push_back({0, std::vector<uint8_t>(64, 0x33)});
  const std::string path = dir.File("kind" + std::to_string(kind) + ".bin");
  ASSERT_TRUE(WritePackageFile(plan, path, nullptr));
  UpgradePackage& package = table[kind].m_Package;
  package.m_Loaded = false;
  package.m_Path = path;
  ASSERT_TRUE(package.Load());
}

TEST(ModuleTableTest, NothingLoadedSelectsNothingWhateverTheFlags) {
  ModuleTable table;
  for (int k = 0; k < MODULE_COUNT; ++k) {
    EXPECT_EQ(table[k].m_VersionMatch, 0);
    table[k].m_VersionMatch = 1;
    EXPECT_FALSE(table[k].IsSelected());
    EXPECT_EQ(table[k].UpgradeVersionText(), "");
  }
}

TEST(ModuleTableTest, SelectedExactlyWhenLoadedAndMatching) {
  TempDir dir;
  ModuleTable table;
  LoadInto(table, dir, MODULE_DASHBOARD, "D2");
  EXPECT_FALSE(table[MODULE_DASHBOARD].IsSelected());
  table[MODULE_DASHBOARD].m_VersionMatch = 1;
  EXPECT_TRUE(table[MODULE_DASHBOARD].IsSelected());
  table[MODULE_DASHBOARD].m_VersionMatch = 0;
  EXPECT_FALSE(table[MODULE_DASHBOARD].IsSelected());
}

TEST(ModuleTableTest, UpgradeVersionText) {
  TempDir dir;
  ModuleTable table;
  LoadInto(table, dir, MODULE_APP, "");
  LoadInto(table, dir, MODULE_FIRMWARE, "FW 2.0 \xFF");
  EXPECT_EQ(table[MODULE_APP].UpgradeVersionText(), "No version");
  EXPECT_EQ(table[MODULE_FIRMWARE].UpgradeVersionText(), "FW 2.0 \xEF\xBF\xBD");
  EXPECT_EQ(table[MODULE_BOOT].UpgradeVersionText(), "");
}

TEST(ModuleTableTest, ResetPackagesTouchesOnlyPathLoadedAndResourceId) {
  TempDir dir;
  ModuleTable table;
  table.LoadTypeNames();
  LoadInto(table, dir, MODULE_BOOT, "B1");
  table[MODULE_BOOT].m_VersionMatch = 1;
  table[MODULE_BOOT].m_Package.m_ResourceId = 148;
  table.SetRouterVersion("R-1.0");
  table.ResetPackages();
  const ModuleEntry& boot = table[MODULE_BOOT];
  EXPECT_FALSE(boot.m_Package.m_Loaded);
  EXPECT_TRUE(boot.m_Package.m_Path.empty());
  EXPECT_EQ(boot.m_Package.m_ResourceId, 0u);
  EXPECT_EQ(boot.m_VersionMatch, 1);
  EXPECT_EQ(boot.m_CurrentVersion, "R-1.0");
  EXPECT_EQ(boot.m_TypeName, "BOOT of router module");
  EXPECT_FALSE(boot.IsSelected());
}

TEST(ModuleTableTest, RouterVersionGoesIntoTheThreeRouterEntriesOnly) {
  ModuleTable table;
  table[MODULE_FIRMWARE].m_CurrentVersion = "fw";
  table.SetRouterVersion("R-2");
  EXPECT_EQ(table[MODULE_BOOT].m_CurrentVersion, "R-2");
  EXPECT_EQ(table[MODULE_APP].m_CurrentVersion, "R-2");
  EXPECT_EQ(table[MODULE_CUSTOMIZATION].m_CurrentVersion, "R-2");
  EXPECT_EQ(table[MODULE_FIRMWARE].m_CurrentVersion, "fw");
  EXPECT_EQ(table[MODULE_DASHBOARD].m_CurrentVersion, "");
}

TEST(ModuleTableTest, TypeNamesAndClear) {
  TempDir dir;
  ModuleTable table;
  table.LoadTypeNames();
  const char* names[] = {"BOOT of router module", "APP of router module", "Customization of router module",
                         "Firmware of wireless module", "Dashboard of wireless module"};
  for (int k = 0; k < MODULE_COUNT; ++k) EXPECT_EQ(table[k].m_TypeName, names[k]);
  LoadInto(table, dir, MODULE_CUSTOMIZATION, "C");
  table[MODULE_CUSTOMIZATION].m_VersionMatch = 1;
  table.Clear();
  for (int k = 0; k < MODULE_COUNT; ++k) {
    EXPECT_TRUE(table[k].m_TypeName.empty());
    EXPECT_FALSE(table[k].m_Package.m_Loaded);
    EXPECT_EQ(table[k].m_Package.m_Image, nullptr);
    EXPECT_EQ(table[k].m_VersionMatch, 0);
  }
}

TEST(ModuleTableTest, OneTablePerProcess) { EXPECT_EQ(&TheModuleTable(), &TheModuleTable()); }

}  // namespace
