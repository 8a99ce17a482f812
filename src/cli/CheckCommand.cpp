// qel check: the Check of the window, printed as a table (or JSON).
#include <cstdio>
#include <memory>

#include "app/CheckProcedure.h"
#include "cli/Commands.h"
#include "cli/JsonReport.h"
#include "cli/StderrNoticeSink.h"
#include "cli/TerminalModuleList.h"
#include "engine/UpgradeEngine.h"
#include "options/CommonOptions.h"
#include "options/GatewayOptions.h"
#include "packages/ModuleTable.h"
#include "platform/Console.h"

namespace {

int RunCheckCommand(const CommandOptions& options) {
  if (!UsableOptions("check", options)) return 2;
  ApplyGatewayOptions(options);
  ScopedStderrNotices notices;
  TerminalModuleList list(stdout, !options.m_Json && IsTerminal(stdout));
  TheModuleTable().LoadTypeNames();
  bool succeeded = false;
  {
    // The engine's end writes the Check's log lines to the log file.
    UpgradeEngine engine({.m_List = &list, .m_RouterPort = options.m_Port});
    DiscoveryResult heard;
    succeeded = RunCheck(engine, list, MakeCheckOptions(options), &heard);
    PrintNoAnswer(options, heard);
    if (options.m_Json) {
      const std::string json = CheckReportJson(succeeded, engine.Router().m_Mac, engine.Router().m_Ip, list.Rows());
      printf("%s\n", json.c_str());
    } else if (!list.Rows().empty()) {
      list.PrintTable();
    }
  }
  fflush(stdout);
  return succeeded ? 0 : 1;
}

}  // namespace

void AddCheckCommand(CLI::App& app, int* exitCode) {
  auto options = std::make_shared<CommandOptions>();
  CLI::App* command = app.add_subcommand(
      "check",
      "Check as the window does: scan the packages, find the router, read the installed "
      "versions and show which packages may be installed. Exit status 0 when an upgrade may follow.");
  AddCommandOptions(command, options.get(), true);
  command->callback([options, exitCode] { *exitCode = RunCheckCommand(*options); });
}
