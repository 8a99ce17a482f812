// Files a POSIX system holds that are no packages: a FIFO (the load must
// not wait on it) and a sysfs attribute that states 4096 bytes and holds
// fewer, as a file cut short between its size and its read does.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "packages/PackageBuilder.h"
#include "packages/UpgradePackage.h"
#include "support/TestSupport.h"

TEST(PackageBuilderTest, WhyAFileCannotBeWritten) {
  PackagePlan plan;
  plan.m_Units = {{0x100000, {1, 2}}};
  std::string reason;
  EXPECT_FALSE(WritePackageFile(plan, "/nonexistent/x.bin", &reason));
  EXPECT_EQ(reason, "cannot create /nonexistent/x.bin: No such file or directory");
  EXPECT_FALSE(WritePackageFile(plan, "/dev/full", &reason));
  EXPECT_EQ(reason, "cannot write /dev/full");
}

TEST(UpgradePackageTest, SpecialFilesAreRefused) {
  testsupport::TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo.bin").c_str(), 0644), 0);
  const std::pair<std::string, std::string> cases[] = {
      {dir.File("fifo.bin"), "not a regular file"}, {"/sys/class/net/lo/address", "changed size while being read"},
      {dir.File("missing.bin"), "cannot open: No such file or directory"}};
  for (const auto& [path, why] : cases) {
    UpgradePackage package;
    package.SetPath(path);
    std::string reason;
    EXPECT_FALSE(package.LoadWithReason(&reason)) << path;
    EXPECT_EQ(reason, why) << path;
  }
}
