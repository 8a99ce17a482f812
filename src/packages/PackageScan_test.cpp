#include "packages/PackageScan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/ModuleTable.h"
#include "log/Notice.h"
#include "log/UpgradeLog.h"
#include "packages/PackageBuilder.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

constexpr const char* kNoPackage = "No valid .bin file is found in the current directory";
constexpr const char* kDuplicate = "Two or more .bin files with the same type exist";
constexpr const char* kNoPackageLog = "没有找到至少一个有效的BIN文件";

class RecordingSink : public INoticeSink {
 public:
  void ShowNotice(const std::string& caption, const std::string& text) override {
    m_Captions.push_back(caption);
    m_Texts.push_back(text);
  }
  std::vector<std::string> m_Captions;
  std::vector<std::string> m_Texts;
};

void WritePackage(const std::string& path, ModuleKind kind, const std::string& version) {
  PackagePlan plan;
  plan.m_Kind = kind;
  plan.m_Version = version;
  plan.m_ChunkSize = 32;
  std::vector<uint8_t> data(100);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 3 + kind);
  plan.m_Units.push_back({0x100, data});
  std::string reason;
  ASSERT_TRUE(WritePackageFile(plan, path, &reason)) << reason;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class PackageScanTest : public ::testing::Test {
 protected:
  void SetUp() override { SetNoticeSink(&m_Sink); }
  void TearDown() override { SetNoticeSink(nullptr); }
  bool Scan() { return ScanPackages(m_Table, m_Dir.Path(), &m_Log); }
  int LoadedCount() const {
    int n = 0;
    for (int k = 0; k < MODULE_COUNT; ++k) n += m_Table[k].m_Package.m_Loaded ? 1 : 0;
    return n;
  }

  TempDir m_Dir;
  ModuleTable m_Table;
  UpgradeLog m_Log{""};  // collects, never writes
  RecordingSink m_Sink;
};

TEST_F(PackageScanTest, FillsAllFiveKindsWhateverTheListingOrder) {
  // Names chosen so that neither name order nor creation order is kind order.
  const struct {
    const char* m_Name;
    ModuleKind m_Kind;
  } files[] = {{"e-boot.bin", MODULE_BOOT},       {"a-dash.bin", MODULE_DASHBOARD}, {"c-app.bin", MODULE_APP},
               {"b-firm.bin", MODULE_FIRMWARE}, {"d-cust.bin", MODULE_CUSTOMIZATION}};
  for (const auto& f : files) WritePackage(m_Dir.File(f.m_Name), f.m_Kind, std::string("v-") + f.m_Name);
  ASSERT_TRUE(Scan());
  EXPECT_TRUE(m_Sink.m_Texts.empty());
  EXPECT_TRUE(m_Log.Pending().empty());
  for (const auto& f : files) {
    const ModuleEntry& entry = m_Table[f.m_Kind];
    EXPECT_TRUE(entry.m_Package.m_Loaded) << f.m_Name;
    EXPECT_EQ(entry.m_Package.m_Kind, f.m_Kind);
    EXPECT_EQ(entry.m_Package.m_Path, m_Dir.File(f.m_Name));
    EXPECT_EQ(entry.m_Package.m_ResourceId, 0u);
    EXPECT_EQ(entry.UpgradeVersionText(), std::string("v-") + f.m_Name);
  }
}

TEST_F(PackageScanTest, InvalidFilesAreIgnoredSilently) {
  WritePackage(m_Dir.File("good.bin"), MODULE_APP, "1.0");
  testsupport::WriteFile(m_Dir.File("garbage.bin"), std::vector<uint8_t>(500, 0x41));
  testsupport::WriteFile(m_Dir.File("empty.bin"), {});
  testsupport::WriteFile(m_Dir.File(".hidden-bad.bin"), std::vector<uint8_t>(10, 1));
  ASSERT_EQ(mkdir(m_Dir.File("folder.bin").c_str(), 0755), 0);
  ASSERT_TRUE(Scan());
  EXPECT_EQ(LoadedCount(), 1);
  EXPECT_TRUE(m_Table[MODULE_APP].m_Package.m_Loaded);
  EXPECT_TRUE(m_Sink.m_Texts.empty());
  EXPECT_TRUE(m_Log.Pending().empty());
}

TEST_F(PackageScanTest, MatchesTheExtensionInAnyCaseAndHiddenFiles) {
  WritePackage(m_Dir.File("upper.BIN"), MODULE_BOOT, "b");
  WritePackage(m_Dir.File("mixed.Bin"), MODULE_APP, "a");
  WritePackage(m_Dir.File(".hidden.bin"), MODULE_FIRMWARE, "f");
  // Valid packages under names that do not match are not looked at.
  WritePackage(m_Dir.File("other.bin.txt"), MODULE_CUSTOMIZATION, "c");
  WritePackage(m_Dir.File("dashbin"), MODULE_DASHBOARD, "d");
  ASSERT_TRUE(Scan());
  EXPECT_TRUE(m_Table[MODULE_BOOT].m_Package.m_Loaded);
  EXPECT_TRUE(m_Table[MODULE_APP].m_Package.m_Loaded);
  EXPECT_TRUE(m_Table[MODULE_FIRMWARE].m_Package.m_Loaded);
  EXPECT_FALSE(m_Table[MODULE_CUSTOMIZATION].m_Package.m_Loaded);
  EXPECT_FALSE(m_Table[MODULE_DASHBOARD].m_Package.m_Loaded);
}

TEST_F(PackageScanTest, DuplicateKindStopsWithItsWarningAndNoLogLine) {
  WritePackage(m_Dir.File("fw1.bin"), MODULE_FIRMWARE, "1");
  WritePackage(m_Dir.File("fw2.bin"), MODULE_FIRMWARE, "2");
  EXPECT_FALSE(Scan());
  ASSERT_EQ(m_Sink.m_Texts.size(), 1u);
  EXPECT_EQ(m_Sink.m_Texts[0], kDuplicate);
  EXPECT_EQ(m_Sink.m_Captions[0], "Warning");
  EXPECT_TRUE(m_Log.Pending().empty());
  // The first one met stays loaded.
  EXPECT_TRUE(m_Table[MODULE_FIRMWARE].m_Package.m_Loaded);
  EXPECT_EQ(LoadedCount(), 1);
}

TEST_F(PackageScanTest, EmptyDirectoryWarnsAndLogsTheChineseLineOnce) {
  EXPECT_FALSE(Scan());
  ASSERT_EQ(m_Sink.m_Texts.size(), 1u);
  EXPECT_EQ(m_Sink.m_Texts[0], kNoPackage);
  EXPECT_EQ(Count(m_Log.Pending(), kNoPackageLog), 1u);
  EXPECT_EQ(Count(m_Log.Pending(), "\r\n"), 1u);
}

TEST_F(PackageScanTest, OnlyInvalidFilesCountAsNoPackage) {
  testsupport::WriteFile(m_Dir.File("bad.bin"), std::vector<uint8_t>(300, 0));
  EXPECT_FALSE(Scan());
  ASSERT_EQ(m_Sink.m_Texts.size(), 1u);
  EXPECT_EQ(m_Sink.m_Texts[0], kNoPackage);
  EXPECT_EQ(Count(m_Log.Pending(), kNoPackageLog), 1u);
}

TEST_F(PackageScanTest, MissingDirectoryCountsAsEmpty) {
  EXPECT_FALSE(ScanPackages(m_Table, m_Dir.File("nowhere"), &m_Log));
  ASSERT_EQ(m_Sink.m_Texts.size(), 1u);
  EXPECT_EQ(m_Sink.m_Texts[0], kNoPackage);
}

TEST_F(PackageScanTest, APackageRemovedBetweenScansIsNoLongerLoaded) {
  WritePackage(m_Dir.File("boot.bin"), MODULE_BOOT, "b");
  WritePackage(m_Dir.File("dash.bin"), MODULE_DASHBOARD, "d");
  ASSERT_TRUE(Scan());
  m_Table[MODULE_DASHBOARD].m_VersionMatch = 1;
  m_Table[MODULE_DASHBOARD].m_CurrentVersion = "D-installed";
  ASSERT_TRUE(m_Table[MODULE_DASHBOARD].IsSelected());

  ASSERT_EQ(unlink(m_Dir.File("dash.bin").c_str()), 0);
  ASSERT_TRUE(Scan());
  const ModuleEntry& dash = m_Table[MODULE_DASHBOARD];
  EXPECT_FALSE(dash.m_Package.m_Loaded);
  EXPECT_TRUE(dash.m_Package.m_Path.empty());
  EXPECT_FALSE(dash.IsSelected());
  EXPECT_EQ(dash.UpgradeVersionText(), "");
  // The rest of the entry keeps what it held.
  EXPECT_EQ(dash.m_VersionMatch, 1);
  EXPECT_EQ(dash.m_CurrentVersion, "D-installed");
  EXPECT_TRUE(m_Table[MODULE_BOOT].m_Package.m_Loaded);
}

TEST_F(PackageScanTest, ZemtInTheDirectoryMakesATwoUnitImageTypeZeroADashboard) {
  TempDir outer;
  const std::string dir = outer.Path() + "/ZEMT-packages";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  PackagePlan plan;
  plan.m_Kind = MODULE_FIRMWARE;
  plan.m_ImageType = 0;
  plan.m_Units = {{0x10, std::vector<uint8_t>(40, 1)}, {0x20, std::vector<uint8_t>(40, 2)}};
  ASSERT_TRUE(WritePackageFile(plan, dir + "/wireless.bin", nullptr));
  ASSERT_TRUE(ScanPackages(m_Table, dir, &m_Log));
  EXPECT_TRUE(m_Table[MODULE_DASHBOARD].m_Package.m_Loaded);
  EXPECT_FALSE(m_Table[MODULE_FIRMWARE].m_Package.m_Loaded);
}

TEST(GetModuleDirectoryTest, IsTheDirectoryOfThisProgram) {
  const std::string dir = GetModuleDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_EQ(dir.front(), '/');
  EXPECT_EQ(access((dir + "packages_tests").c_str(), X_OK), 0) << dir;
}

}  // namespace
