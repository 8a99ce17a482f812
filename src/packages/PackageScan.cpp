#include "packages/PackageScan.h"

#include <cctype>
#include <utility>
#include <vector>

#include "model/StringIds.h"
#include "log/Notice.h"
#include "log/UpgradeLog.h"
#include "packages/ModuleTable.h"
#include "packages/UpgradePackage.h"
#include "platform/UserFolders.h"

namespace {

// "*.bin" in any case, as the file systems the tool first ran on match it.
bool MatchesPackagePattern(const std::string& name) {
  const char* ending = ".bin";
  if (name.size() < 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (std::tolower(static_cast<unsigned char>(name[name.size() - 4 + i])) != ending[i]) return false;
  }
  return true;
}

// The directory with one closing '/', made absolute: packages are known by
// their full path (the kind rule reads the directory names too).
std::string DirectoryPrefix(const std::string& directory) {
  std::string prefix = AbsolutePath(directory.empty() ? std::string(".") : directory);
  if (prefix.back() != '/') prefix += '/';
  return prefix;
}

// Every matching name in the order the file system lists them, directories
// and hidden files included (a directory simply fails to load).
std::vector<std::string> ListMatches(const std::string& prefix) {
  std::vector<std::string> paths;
  for (const std::string& name : ListDirectory(prefix)) {
    if (MatchesPackagePattern(name)) paths.push_back(prefix + name);
  }
  return paths;
}

}  // namespace

bool ScanPackages(ModuleTable& table, const std::string& directory, UpgradeLog* log, INoticeSink& notices) {
  table.ResetPackages();
  int found = 0;
  const std::string prefix = DirectoryPrefix(directory);
  for (const std::string& path : ListMatches(prefix)) {
    // Each file is read and verified once; its entry takes the bytes.
    UpgradePackage candidate;
    candidate.SetPath(path);
    if (!candidate.Load()) continue;
    UpgradePackage& package = table[candidate.Kind()].m_Package;
    if (package.Loaded()) {
      notices.ShowWarning(LoadStringId(IDS_DUPLICATE_PACKAGES));
      return false;
    }
    package = std::move(candidate);
    ++found;
  }
  if (found > 0) return true;
  notices.ShowWarning(LoadStringId(IDS_NO_PACKAGE));
  // Where the packages go: an installed copy does not look beside itself.
  notices.ShowDetail("Looked for *.bin files in " + ShownPath(prefix.size() > 1 ? prefix.substr(0, prefix.size() - 1) : prefix));
  LogPrintf(log, "%s", "没有找到至少一个有效的BIN文件");
  return false;
}
