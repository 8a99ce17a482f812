#include "cli/PackageCommands.h"
#include "log/UpgradeLog.h"
#include "packages/ModuleTable.h"
#include "packages/PackageDirectory.h"
#include "packages/PackageScan.h"
#include "platform/UserFolders.h"

int RunPackageScan(const std::string& directory, FILE* out) {
  ModuleTable& table = TheModuleTable();
  table.LoadTypeNames();
  // The scan writes its log lines to the tool's log file, as the window does.
  UpgradeLog log;
  const std::string dir = PackageDirectory(directory);
  if (!ScanPackages(table, dir, &log)) return 1;
  fprintf(out, "%-32s %-24s %s\n", "Type", "Upgrade Version", "Package");
  for (int kind = 0; kind < MODULE_COUNT; ++kind) {
    const ModuleEntry& entry = table[kind];
    const bool loaded = entry.m_Package.Loaded();
    fprintf(out, "%-32s %-24s %s\n", entry.m_TypeName.c_str(), loaded ? entry.UpgradeVersionText().c_str() : "-",
            loaded ? ShownPath(entry.m_Package.Path()).c_str() : "-");
  }
  return 0;
}
