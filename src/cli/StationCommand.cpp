// qel station: one upgrade pass per gateway, all at once, on every interface
// watched (see Station.h), until Ctrl-C; then the passes in flight end and a
// summary follows.
#include <cstdio>
#include <memory>

#include "model/StringIds.h"
#include "cli/Commands.h"
#include "cli/Station.h"
#include "cli/StationView.h"
#include "options/CommonOptions.h"
#include "options/GatewayOptions.h"
#include "packages/PackageDirectory.h"
#include "platform/Console.h"
#include "platform/SignalHold.h"

namespace {

struct StationCommandOptions : CommandOptions {
  bool m_Once = false;
};

int RunStation(const StationCommandOptions& options) {
  if (!UsableOptions("station", options)) return 2;
  ApplyGatewayOptions(options);
  SignalHold hold;
  const StationView::Mode mode = options.m_Json                ? StationView::JSON
                                 : IsTerminal(stdout) ? StationView::TABLE
                                                               : StationView::LINES;
  StationView view(stdout, mode);
  StationOptions station;
  station.m_Discovery = DiscoveryFor(options);
  station.m_Pass.m_PackageDir = PackageDirectory(options.m_Dir);
  station.m_Pass.m_Port = options.m_Port;
  station.m_Once = options.m_Once;
  Station watcher(station, view);
  view.Message(options.m_Once ? "Looking for gateways once; their passes follow."
                              : "Watching for gateways; Ctrl-C stops the watching.");
  bool stopping = false;
  hold.Run([&] { watcher.Run(); },
           [&](int) {
             // Passes in flight always run to their end, as the window refuses to close.
             if (stopping) {
               view.Message(LoadStringId(IDS_UPGRADE_IN_PROCESS));
               return;
             }
             stopping = true;
             watcher.Stop();
             view.Message("Stopping: no new gateway is started; " + std::to_string(watcher.Running()) +
                          " pass(es) in flight run to their end.");
           });
  const std::vector<GatewayOutcome> outcomes = watcher.Outcomes();
  if (outcomes.empty() && options.m_Once) {
    view.Message(LoadStringId(IDS_NO_ROUTER));
    view.Message(NoAnswerText(options.m_Interfaces, watcher.LastRound()));
  }
  view.Summary(outcomes);
  bool allUpgraded = !options.m_Once || !outcomes.empty();
  for (const GatewayOutcome& outcome : outcomes) allUpgraded = allUpgraded && outcome.m_Result == GatewayOutcome::UPGRADED;
  return allUpgraded ? 0 : 1;
}

}  // namespace

void AddStationCommand(CLI::App& app, int* exitCode) {
  auto options = std::make_shared<StationCommandOptions>();
  CLI::App* command = app.add_subcommand(
      "station",
      "Upgrade many gateways at once, one per network interface: watch the interfaces in discovery "
      "rounds and give every gateway that answers its own Check and upgrade pass; a new gateway on an "
      "interface (by MAC) starts a new pass by itself. Ctrl-C stops the watching; passes in flight run "
      "to their end, then a summary follows. Each gateway's log goes to QelUpgradeLog-<MAC>.txt in the "
      "log folder. Exit status 0 when every pass succeeded.");
  AddGatewayOptions(command, options.get(), "qel", true);
  command->add_flag("--once", options->m_Once,
                    "One pass for each gateway found in the first round, then exit: 0 only if every pass succeeded");
  command->add_flag("--json", options->m_Json, "One JSON object per line per event instead of the table");
  command->callback([options, exitCode] { *exitCode = RunStation(*options); });
}
