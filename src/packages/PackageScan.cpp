#include "packages/PackageScan.h"

#include <dirent.h>
#include <unistd.h>

#include <strings.h>

#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "app/ModuleTable.h"
#include "app/StringIds.h"
#include "log/Notice.h"
#include "log/UpgradeLog.h"
#include "packages/UpgradePackage.h"

namespace {

// "*.bin" in any case, as the file systems the tool first ran on match it.
bool MatchesPackagePattern(const char* name) {
  const size_t length = strlen(name);
  return length >= 4 && strcasecmp(name + length - 4, ".bin") == 0;
}

// The directory with one closing '/', made absolute: packages are known by
// their full path (the kind rule reads the directory names too).
std::string DirectoryPrefix(const std::string& directory) {
  std::error_code error;
  std::string prefix = directory.empty() ? std::string(".") : directory;
  const std::filesystem::path absolute = std::filesystem::absolute(prefix, error);
  if (!error) prefix = absolute.lexically_normal().string();
  if (prefix.back() != '/') prefix += '/';
  return prefix;
}

// Every matching name in the order the file system lists them, directories
// and hidden files included (a directory simply fails to load).
std::vector<std::string> ListMatches(const std::string& prefix) {
  std::vector<std::string> paths;
  DIR* dir = opendir(prefix.c_str());
  if (!dir) return paths;
  while (const dirent* entry = readdir(dir)) {
    if (MatchesPackagePattern(entry->d_name)) paths.push_back(prefix + entry->d_name);
  }
  closedir(dir);
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
    candidate.m_Path = path;
    if (!candidate.Load()) continue;
    UpgradePackage& package = table[candidate.m_Kind].m_Package;
    if (package.m_Loaded) {
      notices.ShowWarning(LoadStringId(IDS_DUPLICATE_PACKAGES));
      return false;
    }
    package = std::move(candidate);
    ++found;
  }
  if (found > 0) return true;
  notices.ShowWarning(LoadStringId(IDS_NO_PACKAGE));
  // Where the packages go: an installed copy does not look beside itself.
  notices.ShowDetail("Looked for *.bin files in " + (prefix.size() > 1 ? prefix.substr(0, prefix.size() - 1) : prefix));
  LogPrintf(log, "%s", "没有找到至少一个有效的BIN文件");
  return false;
}

std::string GetModuleDirectory() {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return "./";
  std::string path(buffer.data(), static_cast<size_t>(length));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}
