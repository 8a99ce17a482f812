#include "app/window/WindowOptions.h"

#include <CLI/CLI.hpp>

#include "cli/CommonOptions.h"

int ParseWindowOptions(int argc, char** argv, WindowOptions* options, std::string* error) {
  CLI::App app{"QEL Upgrade: checks and upgrades the gateway's router and wireless modules."};
  app.set_version_flag("--version", std::string("qel-upgrade ") + QEL_VERSION);
  AddGatewayOptions(&app, options, "qel-upgrade", true);
  app.footer("Qt's own options (-platform, -style, ...) are accepted too.");
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& answer) {
    return app.exit(answer);
  } catch (const CLI::ParseError& failure) {
    *error = failure.what();
    return failure.get_exit_code();
  }
  return -1;
}
