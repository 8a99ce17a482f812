// What an upgrade pass tells its front end, row by row: a row starts, shows
// a status, its "%" or the bytes of its image move on, and it ends with its
// outcome; then the pass ends. Exit codes, reports and a window's state come
// from these, never from the texts and colours the rows show. Called on the
// pass's thread.
#pragma once

#include <cstdint>
#include <string>

#include "model/ModuleKind.h"

struct RowOutcome {
  ModuleKind m_Row = MODULE_NONE;
  bool m_Succeeded = false;
  int m_ResultTextId = 0;        // IDS_DOWNLOAD_OK for success
  int64_t m_ElapsedSeconds = 0;  // since the row's stage began
  std::string m_Text;            // the result as the row shows it, with its time
};

class IUpgradeEvents {
 public:
  virtual ~IUpgradeEvents() = default;
  virtual void OnRowStart(ModuleKind row) { (void)row; }
  // A status while the row's stage runs (not its result).
  virtual void OnRowStatus(ModuleKind row, const std::string& text) { (void)row, (void)text; }
  virtual void OnRowProgress(ModuleKind row, int percent) { (void)row, (void)percent; }
  // done of total bytes of the row's image have gone (before the "%" they make).
  virtual void OnRowTransfer(ModuleKind row, uint64_t done, uint64_t total) { (void)row, (void)done, (void)total; }
  virtual void OnRowEnd(const RowOutcome& outcome) { (void)outcome; }
  // The last event of a pass: the log is written, the connection closed.
  virtual void OnPassEnd() {}
};
