#include "cli/UpgradeReport.h"

#include "cli/JsonReport.h"
#include "engine/UpgradeEngine.h"

bool RowSucceeded(const TerminalRow& row) {
  // The result text is followed by " (mm:ss)".
  const std::string success = std::string(LoadStringId(IDS_DOWNLOAD_OK)) + " (";
  return row.m_Cells[COL_STATUS].compare(0, success.size(), success) == 0 && row.m_Colour == COLOUR_BLUE;
}

bool UpgradeSucceeded(const UpgradeOutcome& outcome) {
  if (!outcome.m_CheckSucceeded || !outcome.m_UpgradeRan) return false;
  for (size_t i = 0; i < outcome.m_Rows.size() && i < 5; ++i)
    if (outcome.m_Selected[i] && !RowSucceeded(outcome.m_Rows[i])) return false;
  return true;
}

std::string UpgradeReportJson(const UpgradeOutcome& outcome, const uint8_t mac[6], const uint8_t ip[4]) {
  auto flag = [](bool value) { return value ? "true" : "false"; };
  std::string json = "{\"checkSucceeded\":";
  json += flag(outcome.m_CheckSucceeded);
  json += ",\"upgradeRan\":";
  json += flag(outcome.m_UpgradeRan);
  json += ",\"succeeded\":";
  json += flag(UpgradeSucceeded(outcome));
  json += RouterJson(mac, ip) + ",\"rows\":[";
  for (size_t i = 0; i < outcome.m_Rows.size(); ++i) {
    const TerminalRow& row = outcome.m_Rows[i];
    const bool selected = i < 5 && outcome.m_Selected[i];
    const char* result = !selected ? "skipped" : RowSucceeded(row) ? "succeeded" : "failed";
    if (i) json += ",";
    json += RowHeadJson(i, row) + ",\"selected\":" + flag(selected) + RowStateJson(row);
    json += ",\"result\":" + JsonString(result) + "}";
  }
  return json + "]}";
}
