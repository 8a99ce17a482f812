#include "packages/PackageDirectory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "packages/PackageScan.h"

// The install prefix's bindir, set by the build; empty: never installed.
#ifndef QEL_INSTALL_BINDIR
#define QEL_INSTALL_BINDIR ""
#endif

namespace {

std::string HomeDirectory() {
  const char* home = getenv("HOME");
  if (home && *home) return home;
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "/";
}

bool SameDirectory(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

std::string UserPackageDirectory() {
  // A relative XDG_DATA_HOME is ignored, as the XDG base directory rules say.
  const char* data = getenv("XDG_DATA_HOME");
  const std::string base = data && data[0] == '/' ? std::string(data) : HomeDirectory() + "/.local/share";
  return base + "/QelUpgrade/packages/";
}

std::string ChoosePackageDirectory(const std::string& dirOption, const std::string& exeDir,
                                   const std::string& installBinDir) {
  if (!dirOption.empty()) return dirOption;
  if (!SameDirectory(exeDir, installBinDir)) return exeDir;
  const std::string dir = UserPackageDirectory();
  // A folder that cannot be made is scanned all the same; the scan then
  // reports that it found no package there.
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  return dir;
}

std::string PackageDirectory(const std::string& dirOption) {
  return ChoosePackageDirectory(dirOption, GetModuleDirectory(), QEL_INSTALL_BINDIR);
}
