#include "packages/ModuleTable.h"

std::string ModuleEntry::UpgradeVersionText() const {
  if (!m_Package.Loaded()) return "";
  const std::string version = m_Package.VersionText();
  // An empty text is the package's first byte being 0: no version stated.
  return version.empty() ? "No version" : version;
}

void ModuleTable::ResetPackages() {
  for (ModuleEntry& entry : m_Entries) entry.m_Package.Clear();
}

void ModuleTable::SetRouterVersion(const std::string& version) {
  for (int kind = MODULE_BOOT; kind <= MODULE_CUSTOMIZATION; ++kind) m_Entries[kind].m_CurrentVersion = version;
}

void ModuleTable::LoadTypeNames() {
  for (int kind = 0; kind < MODULE_COUNT; ++kind) {
    m_Entries[kind].m_TypeName = ModuleTypeName(static_cast<ModuleKind>(kind));
  }
}

void ModuleTable::Clear() {
  for (ModuleEntry& entry : m_Entries) {
    entry.m_CurrentVersion.clear();
    entry.m_Package.Clear();
    entry.m_VersionMatch = 0;
    entry.m_TypeName.clear();
  }
}

ModuleTable& TheModuleTable() {
  static ModuleTable table;
  return table;
}
