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
  Json report{{"checkSucceeded", outcome.m_CheckSucceeded},
              {"upgradeRan", outcome.m_UpgradeRan},
              {"succeeded", UpgradeSucceeded(outcome)},
              {"router", RouterJson(mac, ip)},
              {"rows", Json::array()}};
  for (size_t i = 0; i < outcome.m_Rows.size(); ++i) {
    const TerminalRow& row = outcome.m_Rows[i];
    const bool selected = i < 5 && outcome.m_Selected[i];
    Json object = Json::object();
    AddRowHead(&object, i, row);
    object["selected"] = selected;
    AddRowState(&object, row);
    object["result"] = !selected ? "skipped" : RowSucceeded(row) ? "succeeded" : "failed";
    if (row.m_Transfer.Started()) AddTransfer(&object, row.m_Transfer);
    report["rows"].push_back(std::move(object));
  }
  return JsonText(report);
}
