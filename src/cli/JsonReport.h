// The Check's result as one JSON object, for scripts:
//   {"succeeded":true,"router":{"mac":"02-51-E1-00-00-01","address":"127.0.0.1"},
//    "rows":[{"row":0,"type":"...","currentVersion":"...","upgradeVersion":"...",
//             "percent":"","status":"...","colour":"blue"}, ...]}
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/TerminalModuleList.h"

// A JSON string literal (quotes included) for UTF-8 text.
std::string JsonString(const std::string& text);
// "blue", "red", "grey" or "black".
const char* ColourName(uint32_t colour);
// The fields both reports share: ',"router":{...}'; a row's
// '{"row":N,"type":...,"currentVersion":...,"upgradeVersion":...' and its
// ',"percent":...,"status":...,"colour":...'.
std::string RouterJson(const uint8_t mac[6], const uint8_t ip[4]);
std::string RowHeadJson(size_t index, const TerminalRow& row);
std::string RowStateJson(const TerminalRow& row);
std::string CheckReportJson(bool succeeded, const uint8_t mac[6], const uint8_t ip[4],
                            const std::vector<TerminalRow>& rows);
