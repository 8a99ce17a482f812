// qel station: one upgrade pass per gateway, all at once, on every interface
// watched (see Station.h), until Ctrl-C; then the passes in flight end and a
// summary follows.
#include <cstdio>
#include <memory>

#include "app/GatewayOptions.h"
#include "app/StringIds.h"
#include "cli/Commands.h"
#include "cli/CommonOptions.h"
#include "cli/Station.h"
#include "cli/StationView.h"
#include "packages/PackageDirectory.h"
#include "platform/Console.h"
#include "platform/SignalHold.h"

namespace {

struct StationCommandOptions {
  std::vector<std::string> m_Interfaces;
  std::string m_Dir;
  bool m_Once = false;
  bool m_Json = false;
  int m_Port = ROUTER_UDP_PORT;
  double m_TimeScale = 1.0;
};

int RunStation(const StationCommandOptions& options) {
  GatewayOptions gateway;
  gateway.m_Port = options.m_Port;
  gateway.m_TimeScale = options.m_TimeScale;
  for (const std::string& name : options.m_Interfaces) {
    gateway.m_Interface = name;
    if (!UsableOptions("station", gateway)) return 2;
  }
  ApplyGatewayOptions(gateway);
  SignalHold hold;
  const StationView::Mode mode = options.m_Json                ? StationView::JSON
                                 : IsTerminal(stdout) ? StationView::TABLE
                                                               : StationView::LINES;
  StationView view(stdout, mode);
  StationOptions station;
  station.m_Interfaces = options.m_Interfaces;
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
    std::vector<std::string> only = options.m_Interfaces;
    view.Message(LoadStringId(IDS_NO_ROUTER));
    view.Message(NoAnswerText(only, watcher.LastRound()));
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
  command->add_option("--interface", options->m_Interfaces,
                      "Watch this interface; repeatable (default: every interface that is up with an IPv4 "
                      "address and can broadcast)");
  command->add_option("--dir", options->m_Dir,
                      "Directory of the *.bin packages (default: the directory of qel, or "
                      "~/.local/share/QelUpgrade/packages when installed)");
  command->add_flag("--once", options->m_Once,
                    "One pass for each gateway found in the first round, then exit: 0 only if every pass succeeded");
  command->add_flag("--json", options->m_Json, "One JSON object per line per event instead of the table");
  command->add_option("--time-scale", options->m_TimeScale, "Run every pause and time-out this many times faster")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  command->add_option("--port", options->m_Port, "Router port, UDP and TCP")->capture_default_str()->check(CLI::Range(1, 65535));
  command->callback([options, exitCode] { *exitCode = RunStation(*options); });
}
