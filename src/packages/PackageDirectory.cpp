#include "packages/PackageDirectory.h"

#include "platform/UserFolders.h"

// The install prefix's bindir, set by the build; empty: never installed.
#ifndef QEL_INSTALL_BINDIR
#define QEL_INSTALL_BINDIR ""
#endif

std::string UserPackageDirectory() { return UserDataDirectory() + "/QelUpgrade/packages/"; }

std::string ChoosePackageDirectory(const std::string& dirOption, const std::string& exeDir,
                                   const std::string& installBinDir) {
  if (!dirOption.empty()) return dirOption;
  if (!SameDirectory(exeDir, installBinDir)) return exeDir;
  const std::string dir = UserPackageDirectory();
  // A folder that cannot be made is scanned all the same; the scan then
  // reports that it found no package there.
  MakeDirectories(dir);
  return dir;
}

std::string PackageDirectory(const std::string& dirOption) {
  return ChoosePackageDirectory(dirOption, ExecutableDirectory(), QEL_INSTALL_BINDIR);
}
