// qel upgrade: the Check, and when it succeeds one upgrade pass, as the
// window's two buttons do one after the other. The rows show their status
// and progress live; at the end the five rows with their results.
#include <cstdio>
#include <memory>

#include "app/CheckProcedure.h"
#include "cli/Commands.h"
#include "cli/StderrNoticeSink.h"
#include "cli/TerminalModuleList.h"
#include "cli/UpgradeReport.h"
#include "engine/UpgradeEngine.h"
#include "options/CommonOptions.h"
#include "options/GatewayOptions.h"
#include "packages/ModuleTable.h"
#include "platform/Console.h"
#include "platform/SignalHold.h"

namespace {

// A line on stderr, above the live lines when there are some.
void Say(TerminalScreen* screen, const std::string& text) {
  if (screen) {
    screen->PrintOn(stderr, text);
    return;
  }
  fprintf(stderr, "\n%s\n", text.c_str());
  fflush(stderr);
}

// A line on stdout, through the screen when there is one.
void Print(TerminalScreen* screen, const std::string& text) {
  if (screen) {
    screen->Print(text);
    return;
  }
  printf("%s\n", text.c_str());
  fflush(stdout);
}

int RunUpgradeCommand(const CommandOptions& options) {
  if (!UsableOptions("upgrade", options)) return 2;
  ApplyGatewayOptions(options);
  const bool terminal = !options.m_Json && IsTerminal(stdout);
  // Before any thread starts (the screen's signal is then never theirs).
  std::unique_ptr<TerminalScreen> screen = terminal ? std::make_unique<TerminalScreen>(stdout) : nullptr;
  SignalHold hold;
  ScopedStderrNotices notices(screen.get());
  TerminalModuleList list(stdout, terminal, screen.get());
  ModuleTable& table = TheModuleTable();
  table.LoadTypeNames();
  UpgradeOutcome outcome;
  std::string json;
  {
    // The engine's end writes any log lines still pending to the log file.
    RowOutcomes outcomes(&outcome);
    UpgradeEngine engine({.m_List = &list, .m_Table = &table, .m_RouterPort = options.m_Port, .m_Events = &outcomes});
    const CheckOptions check = MakeCheckOptions(options);
    DiscoveryResult heard;
    // A signal during the Check: the Check ends on its own; no pass follows.
    hold.Run([&] { outcome.m_CheckSucceeded = RunCheck(engine, list, check, &heard); },
             [&](int) { Say(screen.get(), "Interrupted: the upgrade will not start."); });
    PrintNoAnswer(options, heard);
    const bool interrupted = hold.LastSignal() != 0;

    if (!options.m_Json && !list.Rows().empty()) list.PrintTable();
    if (outcome.m_CheckSucceeded && !interrupted) {
      for (int kind = 0; kind < MODULE_COUNT; ++kind) outcome.m_Selected[kind] = table[kind].IsSelected();
      if (!options.m_Json) {
        Print(screen.get(), "");
        list.SetLive(true);
      }
      outcome.m_UpgradeRan = true;
      // What a held Ctrl-C or kill says while the pass runs (the window's
      // refusal to close).
      hold.Run([&] { engine.RunUpgrade(); }, [&](int) { Say(screen.get(), LoadStringId(IDS_UPGRADE_IN_PROCESS)); });
      list.SetLive(false);
      list.FinishLive();
      if (!options.m_Json) {
        Print(screen.get(), "");
        list.PrintTable();
      }
    }
    outcome.m_Rows = list.Rows();
    if (options.m_Json) json = UpgradeReportJson(outcome, engine.Router().m_Mac, engine.Router().m_Ip);
  }
  if (options.m_Json) printf("%s\n", json.c_str());
  fflush(stdout);
  if (hold.LastSignal() != 0 && !outcome.m_UpgradeRan) return 128 + hold.LastSignal();
  return UpgradeSucceeded(outcome) ? 0 : 1;
}

}  // namespace

void AddUpgradeCommand(CLI::App& app, int* exitCode) {
  auto options = std::make_shared<CommandOptions>();
  CLI::App* command = app.add_subcommand(
      "upgrade",
      "Check, then upgrade every row whose package fits: the router's BOOT, APP and "
      "Customization images, then the wireless module's firmware and dashboard. Ctrl-C is "
      "held until the upgrade has ended. Exit status 0 when every selected row ended "
      "\"Download successfully\".");
  AddCommandOptions(command, options.get(), true);
  command->callback([options, exitCode] { *exitCode = RunUpgradeCommand(*options); });
}
