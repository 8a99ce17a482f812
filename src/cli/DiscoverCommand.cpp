// qel discover: finds the routers the way the Check does, on every interface
// the target calls for, and prints each one that answered: the interface it
// answered on, its MAC, IPv4 address and version.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "model/StringIds.h"
#include "cli/Commands.h"
#include "cli/JsonReport.h"
#include "cli/StderrNoticeSink.h"
#include "cli/TerminalText.h"
#include "options/CommonOptions.h"
#include "options/GatewayOptions.h"
#include "router/DiscoverRouter.h"

namespace {

std::string RoutersJson(const DiscoveryResult& heard) {
  Json report{{"routers", Json::array()}};
  for (const RouterInfo& router : heard.m_Routers) {
    Json entry{{"interface", router.m_Interface}};
    entry.update(RouterJson(router.m_Mac, router.m_Ip));
    entry["version"] = router.m_Version;
    report["routers"].push_back(std::move(entry));
  }
  return JsonText(report);
}

void PrintRouters(const DiscoveryResult& heard) {
  size_t width = 9;  // "Interface"
  for (const RouterInfo& router : heard.m_Routers) width = std::max(width, DisplayWidth(PrintableText(router.m_Interface)));
  printf("%s  %-17s  %-15s  %s\n", Pad("Interface", width).c_str(), "MAC", "IPv4", "Version");
  for (const RouterInfo& router : heard.m_Routers) {
    printf("%s  %-17s  %-15s  %s\n", Pad(PrintableText(router.m_Interface), width).c_str(),
           FormatMac(router.m_Mac).c_str(), FormatIp(router.m_Ip).c_str(), PrintableText(router.m_Version).c_str());
  }
}

int RunDiscover(const CommandOptions& options) {
  if (!UsableOptions("discover", options)) return 2;
  ApplyGatewayOptions(options);
  ScopedStderrNotices notices;
  uint8_t ip[4] = {};
  if (!ParseIp(options.m_Broadcast, ip)) {
    fprintf(stderr, "qel discover: --broadcast needs a dotted IPv4 address, not \"%s\"\n",
            options.m_Broadcast.c_str());
    return 2;
  }
  DiscoveryRequest request = DiscoveryFor(options);
  request.m_AllAnswers = true;
  DiscoveryResult heard;
  const bool found = DiscoverRouters(request, &heard);
  // Listed by interface, whatever order the answers came in.
  std::stable_sort(heard.m_Routers.begin(), heard.m_Routers.end(),
                   [](const RouterInfo& a, const RouterInfo& b) { return a.m_Interface < b.m_Interface; });
  if (options.m_Json) {
    printf("%s\n", RoutersJson(heard).c_str());
  } else if (found) {
    PrintRouters(heard);
  } else {
    printf("%s\n", LoadStringId(IDS_NO_ROUTER));
    fflush(stdout);
  }
  if (!found) PrintNoAnswer(options, heard);
  return found ? 0 : 1;
}

}  // namespace

void AddDiscoverCommand(CLI::App& app, int* exitCode) {
  auto options = std::make_shared<CommandOptions>();
  CLI::App* command = app.add_subcommand(
      "discover", "Find the routers by UDP broadcast (three tries) on every interface that is up, and "
                  "print the interface, MAC, IPv4 address and version of each one that answered");
  AddCommandOptions(command, options.get(), false);
  command->add_flag("--json", options->m_Json, "Print one JSON object instead of a table");
  command->callback([options, exitCode] { *exitCode = RunDiscover(*options); });
}
