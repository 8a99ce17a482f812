#include "packages/PackageDirectory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

TEST(PackageDirectoryTest, OptionWinsThenInstalledCopyUsesTheUserFolder) {
  TempDir tmp;
  const std::string bin = tmp.File("bin"), link = tmp.File("link"), other = tmp.File("other");
  std::filesystem::create_directory(bin);
  std::filesystem::create_directory(other);
  ASSERT_EQ(symlink(bin.c_str(), link.c_str()), 0);
  ScopedEnv home("HOME", tmp.Path().c_str());
  const std::string homeFolder = tmp.Path() + "/.local/share/QelUpgrade/packages/";
  const std::string dataFolder = tmp.Path() + "/data/QelUpgrade/packages/";
  const std::string dataHome = tmp.File("data");
  struct Case {
    const char* option;
    std::string exeDir, installBinDir;
    const char* xdgDataHome;
    std::string expected;
  } cases[] = {
      {"given", bin, bin, nullptr, "given"},
      {"", other + "/", bin, nullptr, other + "/"},
      {"", bin, "", nullptr, bin},
      {"", link + "/", bin, nullptr, homeFolder},
      {"", bin, link, dataHome.c_str(), dataFolder},
      {"", bin, bin, "relative/data", homeFolder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exeDir + " in " + c.installBinDir + " with " + (c.xdgDataHome ? c.xdgDataHome : "-"));
    ScopedEnv data("XDG_DATA_HOME", c.xdgDataHome);
    std::filesystem::remove_all(tmp.File(".local"));
    std::filesystem::remove_all(dataHome);
    EXPECT_EQ(ChoosePackageDirectory(c.option, c.exeDir, c.installBinDir), c.expected);
    // The user folder is made at the first start; other folders are left alone.
    EXPECT_EQ(std::filesystem::is_directory(c.expected), c.expected != "given");
  }
}

}  // namespace
