#include "packages/ModuleTable.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/Packages.h"
#include "support/TestSupport.h"

TEST(ModuleTableTest, EntriesAreSelectedWhenLoadedAndMatchingUntilTheNextScan) {
  testsupport::TempDir dir;
  ModuleTable table;
  table.LoadTypeNames();
  table.SetRouterVersion("R-2");
  const char* versions[] = {"1.0", "", "FW 2.0 \xFF", nullptr, "D2"};  // null: no package
  const char* shown[] = {"1.0", "No version", "FW 2.0 \xEF\xBF\xBD", "", "D2"};
  for (int k = 0; k < MODULE_COUNT; ++k) {
    SCOPED_TRACE(k);
    ModuleEntry& entry = table[k];
    entry.m_Package.SetPath(versions[k] ? testsupport::MakePackage(dir.Path(), ModuleKind(k), versions[k]) : "");
    ASSERT_EQ(entry.m_Package.Load(), versions[k] != nullptr);
    EXPECT_FALSE(entry.IsSelected());
    entry.m_VersionMatch = 1;
    EXPECT_EQ(std::make_tuple(entry.IsSelected(), entry.UpgradeVersionText(), entry.m_TypeName),
              std::make_tuple(versions[k] != nullptr, shown[k], ModuleTypeName(ModuleKind(k))));
  }
  // A new scan starts from no packages and keeps the rest of each entry.
  table.ResetPackages();
  for (int k = 0; k < MODULE_COUNT; ++k)
    EXPECT_EQ(std::tuple(table[k].m_Package.Loaded(), table[k].m_Package.Path(), table[k].m_Package.ResourceId(),
                         table[k].m_VersionMatch), std::tuple(false, "", 0u, 1)) << k;
  EXPECT_EQ(table[MODULE_APP].m_CurrentVersion, "R-2");
  table.Clear();
  for (int k = 0; k < MODULE_COUNT; ++k)
    EXPECT_EQ(std::tuple(table[k].m_TypeName, table[k].m_CurrentVersion, table[k].m_Package.UnitCount(), table[k].m_VersionMatch),
              std::tuple("", "", size_t{0}, 0)) << k;
}
