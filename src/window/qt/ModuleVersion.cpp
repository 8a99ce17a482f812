#include "app/window/ModuleVersion.h"

#include "packages/UpgradePackage.h"

bool CModuleVersion::GetModuleVersionInfo() {
  m_Version = QEL_VERSION;
  return !m_Version.empty();
}

std::string CModuleVersion::GetValue(const std::string& name) const {
  if (name == "ProductVersion" || name == "FileVersion") return m_Version;
  return std::string();
}

std::string WindowTitle() {
  // The product name is one of the program's own strings.
  std::string title;
  uint32_t size = 0;
  if (const uint8_t* data = LoadResourceData(IDR_TITLE, "STRING", &size)) {
    title.assign(reinterpret_cast<const char*>(data), size);
    while (!title.empty() && title.back() == '\0') title.pop_back();
  }
  CModuleVersion version;
  if (version.GetModuleVersionInfo()) title += " - " + version.GetValue("ProductVersion");
  title += " - Press F1 for Help";
  return title;
}
