// The program's string table.
#include "app/StringIds.h"

namespace {

struct StringEntry {
  StringId m_Id;
  const char* m_Text;
};

const StringEntry kStrings[] = {
#define QEL_STRING(name, id, text) {name, text},
#include "app/StringTable.def"
#undef QEL_STRING
};

}  // namespace

const char* LoadStringId(int id) {
  for (const StringEntry& entry : kStrings) {
    if (entry.m_Id == id) return entry.m_Text;
  }
  return "";
}
