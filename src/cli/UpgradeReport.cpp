#include "cli/UpgradeReport.h"

#include "cli/JsonReport.h"

bool RowSucceeded(const UpgradeOutcome& outcome, size_t row) {
  return row < MODULE_COUNT && outcome.m_Results[row] && outcome.m_Results[row]->m_Succeeded;
}

bool UpgradeSucceeded(const UpgradeOutcome& outcome) {
  if (!outcome.m_CheckSucceeded || !outcome.m_UpgradeRan) return false;
  for (size_t i = 0; i < MODULE_COUNT; ++i)
    if (outcome.m_Selected[i] && !RowSucceeded(outcome, i)) return false;
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
    object["result"] = !selected ? "skipped" : RowSucceeded(outcome, i) ? "succeeded" : "failed";
    if (row.m_Transfer.Started()) AddTransfer(&object, row.m_Transfer);
    report["rows"].push_back(std::move(object));
  }
  return JsonText(report);
}
