// How the upgrade pass shows its work on the row it runs on: in the module
// list (status texts with their colour, the "%" cell, the bytes of an image
// on its way), in the log (each status is a line) and to the front end's
// events (the row starting, each status and "%", the row's outcome).
#pragma once

#include <ctime>

#include "engine/UpgradeEvents.h"
#include "log/UpgradeLog.h"
#include "model/ModuleList.h"
#include "model/StageView.h"

class CRowDisplay : public IStageView {
 public:
  // list and events may be null (nothing shown, nobody told).
  CRowDisplay(IModuleList* list, IUpgradeEvents* events, UpgradeLog& log);

  // The row from now on (MODULE_NONE: none; statuses then reach only the
  // log, and the Status column is still fitted to them).
  void SetRow(ModuleKind row);
  ModuleKind Row() const { return m_Row; }

  void ShowStatus(const std::string& text) override;
  void ShowStatusId(int id) override;
  // Each row's "%" is written once per value, until ForgetProgress.
  void ShowProgress(int percent) override;
  void ShowProgress(uint64_t done, uint64_t total) override;
  void StartTransfer(uint64_t total) override;
  void ShowTransfer(uint64_t done, uint64_t total) override;

  // The stage begins now: its result counts the time from here.
  void StartStage();
  // The row's result: the text of resultTextId followed by the minutes
  // (within the hour) and seconds since the stage began, " (%M:%S)", blue
  // for IDS_DOWNLOAD_OK and red otherwise; the next stage begins now.
  void ShowResult(int resultTextId);
  // The rows were made anew: their "%" cells are empty again.
  void ForgetProgress();

 private:
  void ShowStatus(const std::string& text, uint32_t colour);
  bool OnListRow() const { return m_Row >= 0 && m_Row < MODULE_COUNT; }

  IModuleList* m_List;
  IUpgradeEvents* m_Events;
  UpgradeLog& m_Log;
  ModuleKind m_Row = MODULE_NONE;
  time_t m_StageStart = 0;
  int m_LastProgress[MODULE_COUNT + 1];  // last "%" written, per row
};
