// qel discover: finds the router the way the Check does and prints what it
// reported.
#include <cstdio>
#include <memory>

#include "app/StringIds.h"
#include "cli/Commands.h"
#include "cli/CommonOptions.h"
#include "cli/StderrNoticeSink.h"
#include "router/DiscoverRouter.h"
#include "router/RouterUdpClient.h"

namespace {

int RunDiscover(const CommandOptions& options) {
  ApplyGatewayOptions(options);
  ScopedStderrNotices notices;
  uint8_t mac[6] = {};
  uint8_t ip[4] = {};
  if (!ParseIp(options.m_Broadcast, ip)) {
    fprintf(stderr, "qel discover: --broadcast needs a dotted IPv4 address, not \"%s\"\n",
            options.m_Broadcast.c_str());
    return 2;
  }
  std::string version;
  if (!DiscoverRouter(options.m_Broadcast, options.m_Port, mac, ip, &version)) {
    printf("%s\n", LoadStringId(IDS_NO_ROUTER));
    return 1;
  }
  printf("MAC:     %s\n", FormatMac(mac).c_str());
  printf("IPv4:    %s\n", FormatIp(ip).c_str());
  printf("Version: %s\n", version.c_str());
  return 0;
}

}  // namespace

void AddDiscoverCommand(CLI::App& app, int* exitCode) {
  auto options = std::make_shared<CommandOptions>();
  CLI::App* command = app.add_subcommand(
      "discover", "Find the router by UDP broadcast (three tries) and print its MAC, IPv4 "
                  "address and version");
  AddCommandOptions(command, options.get(), false);
  command->callback([options, exitCode] { *exitCode = RunDiscover(*options); });
}
