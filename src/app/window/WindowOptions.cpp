#include "app/window/WindowOptions.h"

#include <CLI/CLI.hpp>

int ParseWindowOptions(int argc, char** argv, WindowOptions* options) {
  CLI::App app{"QEL Upgrade: checks and upgrades the gateway's router and wireless modules."};
  app.set_version_flag("--version", std::string("qel-upgrade ") + QEL_VERSION);
  app.add_option("--dir", options->m_Dir,
                 "Directory of the *.bin packages (default: the directory of qel-upgrade, or "
                 "~/.local/share/QelUpgrade/packages when installed)");
  app.add_option("--broadcast", options->m_Broadcast,
                 "Discovery target: 255.255.255.255, a subnet's directed broadcast, "
                 "or 127.255.255.255 for a simulator on loopback")
      ->capture_default_str();
  app.add_option("--port", options->m_Port, "Router port, UDP and TCP")
      ->capture_default_str()
      ->check(CLI::Range(1, 65535));
  app.add_option("--time-scale", options->m_TimeScale,
                 "Run every pause and time-out this many times faster")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  }
  return -1;
}
