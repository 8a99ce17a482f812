// The Check's result as one JSON object, for scripts:
//   {"succeeded":true,"router":{"mac":"02-51-E1-00-00-01","address":"127.0.0.1"},
//    "rows":[{"row":0,"type":"...","currentVersion":"...","upgradeVersion":"...",
//             "percent":"","status":"...","colour":"blue"}, ...]}
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/TerminalModuleList.h"
#include "cli/TransferMeter.h"

// Fields keep the order they are added in.
using Json = nlohmann::ordered_json;

// The text of json. Cells may hold whatever a gateway sent: bytes that are
// not UTF-8 come out as U+FFFD, so the text is always valid JSON.
std::string JsonText(const Json& json);
// "blue", "red", "grey" or "black".
const char* ColourName(uint32_t colour);
// The fields both reports share: the router object; a row's head (row,
// type, current and upgrade version) and its state (percent, status, colour).
Json RouterJson(const uint8_t mac[6], const uint8_t ip[4]);
void AddRowHead(Json* object, size_t index, const TerminalRow& row);
void AddRowState(Json* object, const TerminalRow& row);
// A row's transfer: "bytesSent", "bytesTotal", "seconds" (program time) and "kbitPerSecond".
void AddTransfer(Json* object, const TransferMeter& transfer);
std::string CheckReportJson(bool succeeded, const uint8_t mac[6], const uint8_t ip[4],
                            const std::vector<TerminalRow>& rows);
