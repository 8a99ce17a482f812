// What `qel upgrade` found and did, for its exit status and its JSON report:
//   {"checkSucceeded":true,"upgradeRan":true,"succeeded":true,
//    "router":{"mac":"02-51-E1-00-00-01","address":"127.0.0.1"},
//    "rows":[{"row":0,"type":"...","currentVersion":"...","upgradeVersion":"...",
//             "selected":true,"percent":"100%","status":"Download successfully (00:05)",
//             "colour":"blue","result":"succeeded",
//             "bytesSent":65536,"bytesTotal":65536,"seconds":1.2,"kbitPerSecond":436.9}, ...]}
// A row's result is "succeeded" or "failed" (selected, and its stage's
// outcome told success, or not; a row the pass never reached failed), or
// "skipped" (not selected). The transfer fields come with a row whose image
// went out (program seconds, as the --time-scale runs them).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/TerminalModuleList.h"
#include "engine/UpgradeEvents.h"

struct UpgradeOutcome {
  bool m_CheckSucceeded = false;
  bool m_UpgradeRan = false;
  bool m_Selected[MODULE_COUNT] = {};
  std::vector<TerminalRow> m_Rows = {};                 // as they were shown
  std::optional<RowOutcome> m_Results[MODULE_COUNT] = {};  // as the pass told them
};

// Keeps each row's outcome as the pass tells it.
class RowOutcomes : public IUpgradeEvents {
 public:
  explicit RowOutcomes(UpgradeOutcome* outcome) : m_Outcome(outcome) {}
  void OnRowEnd(const RowOutcome& outcome) override { m_Outcome->m_Results[outcome.m_Row] = outcome; }

 private:
  UpgradeOutcome* m_Outcome;
};

// The row's stage told success.
bool RowSucceeded(const UpgradeOutcome& outcome, size_t row);
// The Check succeeded, the pass ran and every selected row succeeded.
bool UpgradeSucceeded(const UpgradeOutcome& outcome);
std::string UpgradeReportJson(const UpgradeOutcome& outcome, const uint8_t mac[6], const uint8_t ip[4]);
