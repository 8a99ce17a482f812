// qel: the terminal program. Checks and upgrades the gateway like the window
// does, finds the router, and makes and inspects upgrade packages.
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/StderrNoticeSink.h"
#include "platform/Console.h"
#include "platform/SocketsStartup.h"

int main(int argc, char** argv) {
  PrepareConsole();
  StderrNoticeSink notices;
  std::string warning;
  if (!StartSockets(&warning)) {
    notices.ShowWarning(warning);
    return 1;
  }
  // The command line as UTF-8 whatever the system hands over.
  std::vector<std::string> arguments = Utf8Arguments(argc, argv);
  std::vector<char*> words;
  for (std::string& argument : arguments) words.push_back(argument.data());
  CLI::App app{"QEL Upgrade from the terminal: check and upgrade a gateway, find its router, "
               "make and inspect upgrade packages."};
  app.set_version_flag("--version", std::string("qel ") + QEL_VERSION);
  app.require_subcommand(1);
  int exitCode = 0;
  AddPackageCommands(app, &exitCode);
  AddDiscoverCommand(app, &exitCode);
  AddCheckCommand(app, &exitCode);
  AddUpgradeCommand(app, &exitCode);
  AddStationCommand(app, &exitCode);
  CLI11_PARSE(app, static_cast<int>(words.size()), words.data());
  return exitCode;
}
