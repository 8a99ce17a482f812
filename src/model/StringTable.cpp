// The program's string table.
#include "model/StringIds.h"

#include "model/ResourceData.h"

namespace {

struct StringEntry {
  StringId m_Id;
  const char* m_Text;
};

const StringEntry kStrings[] = {
#define QEL_STRING(name, id, text) {name, text},
#include "model/StringTable.def"
#undef QEL_STRING
};

}  // namespace

const char* LoadStringId(int id) {
  // A build's own texts, among its embedded data, come first.
  if (const uint8_t* text = LoadResourceData(static_cast<uint32_t>(id), STRING_TABLE_TYPE, nullptr))
    return reinterpret_cast<const char*>(text);
  for (const StringEntry& entry : kStrings) {
    if (entry.m_Id == id) return entry.m_Text;
  }
  return "";
}
