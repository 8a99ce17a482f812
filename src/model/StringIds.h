// The program's texts by string id: row status and result texts, messages,
// button and column titles, module type names. An engine stage stores the id
// of its outcome in m_ResultTextId; IDS_DOWNLOAD_OK is success. The ids and
// texts are listed in model/StringTable.def.
#pragma once

enum StringId : int {
#define QEL_STRING(name, id, text) name = id,
#include "model/StringTable.def"
#undef QEL_STRING
};

// The text of a string id ("" for a number that is none); a text of the
// program's embedded data (STRING_TABLE_TYPE) takes the place of its own.
const char* LoadStringId(int id);
