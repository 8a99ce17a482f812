#include "cli/CommonOptions.h"

#include "net/Clock.h"

void AddGatewayOptions(CLI::App* command, GatewayOptions* options, bool withPackages) {
  if (withPackages) {
    command->add_option("--dir", options->m_Dir,
                        "Directory of the *.bin packages (default: the directory of qel, or "
                        "~/.local/share/QelUpgrade/packages when installed)");
  }
  command->add_option("--broadcast", options->m_Broadcast,
                      "Discovery target: 255.255.255.255, a subnet's directed broadcast "
                      "such as 192.168.1.255, or 127.255.255.255 for a simulator on loopback")
      ->capture_default_str();
  command->add_option("--port", options->m_Port, "Router port, UDP and TCP")
      ->capture_default_str()
      ->check(CLI::Range(1, 65535));
  command->add_option("--time-scale", options->m_TimeScale,
                      "Run every pause and time-out this many times faster")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  if (withPackages) command->add_flag("--json", options->m_Json, "Print one JSON object instead of a table");
}

void ApplyGatewayOptions(const GatewayOptions& options) { Clock::SetScale(options.m_TimeScale); }
