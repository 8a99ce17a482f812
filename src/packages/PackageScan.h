// The scan of the tool's directory: every *.bin file (any case) is loaded as
// a package and assigned to the module entry of its kind.
#pragma once

#include <string>

#include "log/Notice.h"

class ModuleTable;
class UpgradeLog;

// Resets the five packages, then fills them from directory. Returns true
// when at least one package was assigned and no kind turned up twice;
// otherwise shows the matching warning on notices (when no package was
// found, followed by a detail line naming the folder, and the Chinese line
// in the log).
bool ScanPackages(ModuleTable& table, const std::string& directory, UpgradeLog* log,
                  INoticeSink& notices = ProcessNotices());

