#include "app/ModuleKind.h"

const char* ModuleTypeName(ModuleKind kind) {
  switch (kind) {
    case MODULE_BOOT: return "BOOT of router module";
    case MODULE_APP: return "APP of router module";
    case MODULE_CUSTOMIZATION: return "Customization of router module";
    case MODULE_FIRMWARE: return "Firmware of wireless module";
    case MODULE_DASHBOARD: return "Dashboard of wireless module";
    default: return "";
  }
}
