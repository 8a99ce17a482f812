// The process-wide table of the five modules: installed version, package and
// version-match flag of each. Written by the Check, read by the upgrade pass;
// the two never run at once, so there is no lock.
#pragma once

#include <string>

#include "model/ModuleKind.h"
#include "packages/UpgradePackage.h"

struct ModuleEntry {
  std::string m_CurrentVersion;
  UpgradePackage m_Package;
  int m_VersionMatch = 0;
  std::string m_TypeName;

  // Loaded and matching: the only test the upgrade pass makes.
  bool IsSelected() const { return m_Package.Loaded() && m_VersionMatch == 1; }
  // "" when no package, "No version" for an empty version text, else the text.
  std::string UpgradeVersionText() const;
};

class ModuleTable {
 public:
  ModuleEntry& operator[](int kind) { return m_Entries[kind]; }
  const ModuleEntry& operator[](int kind) const { return m_Entries[kind]; }

  // Clears every package (scan start).
  void ResetPackages();
  // Writes one version text into the three router entries.
  void SetRouterVersion(const std::string& version);
  // Loads the type names (the window does this at initialisation).
  void LoadTypeNames();
  // Empties everything, as at program start (tests use this).
  void Clear();

 private:
  ModuleEntry m_Entries[MODULE_COUNT];
};

// The one table of the process.
ModuleTable& TheModuleTable();
