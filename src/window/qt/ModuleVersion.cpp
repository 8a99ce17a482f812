#include "window/qt/ModuleVersion.h"

#include "app/WindowNames.h"
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
  std::string product;
  uint32_t size = 0;
  if (const uint8_t* data = LoadResourceData(IDR_TITLE, "STRING", &size)) {
    product.assign(reinterpret_cast<const char*>(data), size);
    while (!product.empty() && product.back() == '\0') product.pop_back();
  }
  CModuleVersion version;
  return ComposeWindowTitle(product, version.GetModuleVersionInfo() ? version.GetValue("ProductVersion") : "");
}
