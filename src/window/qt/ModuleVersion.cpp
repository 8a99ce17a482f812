#include "window/qt/ModuleVersion.h"

#include "app/WindowNames.h"
#include "packages/UpgradePackage.h"

std::string WindowTitle() {
  std::string product;
  uint32_t size = 0;
  if (const uint8_t* data = LoadResourceData(IDR_TITLE, "STRING", &size)) {
    product.assign(reinterpret_cast<const char*>(data), size);
    while (!product.empty() && product.back() == '\0') product.pop_back();
  }
  return ComposeWindowTitle(product, QEL_VERSION);
}
