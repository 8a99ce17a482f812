// The program's own embedded data, by numeric id and type: a package slot
// per module kind, the window title, and texts that take the place of the
// string table's.
#pragma once

#include <cstdint>

#include "model/ModuleKind.h"

// Ids of the program's own embedded data: a package slot per module kind
// ("BINARY") and the window title ("STRING").
enum ResourceId : uint32_t {
  IDR_PACKAGE_APP = 144,
  IDR_PACKAGE_DASHBOARD = 145,
  IDR_PACKAGE_FIRMWARE = 146,
  IDR_PACKAGE_CUSTOMIZATION = 147,
  IDR_PACKAGE_BOOT = 148,
  IDR_TITLE = 150,
};
// The package slot of each module kind, by kind.
constexpr ResourceId PACKAGE_RESOURCE_IDS[MODULE_COUNT] = {
    IDR_PACKAGE_BOOT, IDR_PACKAGE_APP, IDR_PACKAGE_CUSTOMIZATION, IDR_PACKAGE_FIRMWARE, IDR_PACKAGE_DASHBOARD};

// The type of the embedded data that replaces a text of the string table,
// NUL-terminated: a build that carries texts of its own puts them there.
constexpr const char* STRING_TABLE_TYPE = "STRINGTABLE";

// The program's own embedded data by numeric id and type ("BINARY", "STRING",
// STRING_TABLE_TYPE).
// Missing data and 0- or 1-byte placeholders yield null.
const uint8_t* LoadResourceData(uint32_t id, const char* type, uint32_t* size);
// Puts data into that table (a build that embeds its packages, and tests).
// The bytes must outlive every package loaded from them.
void SetResourceData(uint32_t id, const char* type, const uint8_t* data, uint32_t size);
