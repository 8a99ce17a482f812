#include "model/ModuleKind.h"

#include "model/StringIds.h"

const char* ModuleTypeName(ModuleKind kind) {
  if (kind < 0 || kind >= MODULE_COUNT) return "";
  return LoadStringId(IDS_TYPE_BOOT + static_cast<int>(kind));
}
