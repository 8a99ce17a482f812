// The five upgradable parts of the gateway. The kind is at once the module
// table index, the list row, the package kind and the upgrade order.
#pragma once

#include <cstdint>

enum ModuleKind : int32_t {
  MODULE_BOOT = 0,
  MODULE_APP = 1,
  MODULE_CUSTOMIZATION = 2,
  MODULE_FIRMWARE = 3,
  MODULE_DASHBOARD = 4,
  MODULE_NONE = 5,
};

constexpr int MODULE_COUNT = 5;

// "BOOT of router module" ... "Dashboard of wireless module"; "" for none.
const char* ModuleTypeName(ModuleKind kind);
