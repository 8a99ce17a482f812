#include "packages/PackageDirectory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/UserFolders.h"
#include "support/TestSupport.h"

namespace {

using testsupport::ScopedEnv;

TEST(PackageDirectoryTest, OptionWinsThenInstalledCopyUsesTheUserFolderFoundFromTheProgramsOwn) {
  testsupport::TempDir tmp;
  const std::string bin = tmp.File("bin"), link = tmp.File("link"), other = tmp.File("other"), data = tmp.File("data");
  for (const std::string& made : {bin, other}) std::filesystem::create_directory(made);
  ASSERT_EQ(symlink(bin.c_str(), link.c_str()), 0);
  ScopedEnv home("HOME", tmp.Path().c_str());
  const std::string homeFolder = tmp.Path() + "/.local/share/QelUpgrade/packages/";
  struct Case { const char *option, *xdgDataHome; std::string exeDir, installBinDir, expected; } cases[] = {
      {"given", nullptr, bin, bin, "given"}, {"", nullptr, other + "/", bin, other + "/"}, {"", nullptr, bin, "", bin},
      {"", nullptr, link + "/", bin, homeFolder}, {"", data.c_str(), bin, link, data + "/QelUpgrade/packages/"},
      {"", "relative/data", bin, bin, homeFolder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exeDir + " in " + c.installBinDir + " with " + (c.xdgDataHome ? c.xdgDataHome : "-"));
    ScopedEnv xdg("XDG_DATA_HOME", c.xdgDataHome);
    std::filesystem::remove_all(tmp.File(".local"));
    EXPECT_EQ(ChoosePackageDirectory(c.option, c.exeDir, c.installBinDir), c.expected);
    // The user folder is made at the first start; other folders are left alone.
    EXPECT_EQ(std::filesystem::is_directory(c.expected), c.expected != "given");
  }
  // The directory of the program itself, which an installed copy is told by.
  const std::string exeDir = ExecutableDirectory();
  EXPECT_EQ(exeDir.front() + std::to_string(access((exeDir + "packages_tests").c_str(), X_OK)), "/0") << exeDir;
}

}  // namespace
