// A package's units written into the wireless module's downloader, block by
// block (WRITE_BLOCK_SIZE bytes, each acknowledged before the next) from the
// bytes the package verified, at each unit's load address. The firmware and
// the dashboard stages both end their download with it.
#pragma once

#include "diag/DiagCaller.h"
#include "log/UpgradeLog.h"
#include "model/StageView.h"
#include "packages/UpgradePackage.h"

// Counts the bytes written on view (the transfer starts at 0 of the
// package's total). False at the first block the module does not take,
// after a log line naming its unit and block ("Unit1 Block3: Download Fail").
bool DownloadUnits(CDiagCaller& caller, const UpgradePackage& package, IStageView& view, UpgradeLog& log);
