#include "app/window/WindowOptions.h"

#include <CLI/CLI.hpp>

#include "cli/CommonOptions.h"

int ParseWindowOptions(int argc, char** argv, WindowOptions* options) {
  CLI::App app{"QEL Upgrade: checks and upgrades the gateway's router and wireless modules."};
  app.set_version_flag("--version", std::string("qel-upgrade ") + QEL_VERSION);
  AddGatewayOptions(&app, options, "qel-upgrade", true);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  }
  return -1;
}
