#include "options/CommonOptions.h"

#include <cstdio>

void AddGatewayOptions(CLI::App* command, GatewayOptions* options, const std::string& program, bool withDir) {
  if (withDir) {
    command->add_option("--dir", options->m_Dir,
                        "Directory of the *.bin packages (default: the directory of " + program +
                            ", or ~/.local/share/QelUpgrade/packages when installed)");
  }
  command->add_option("--broadcast", options->m_Broadcast,
                      "Discovery target: 255.255.255.255, a subnet's directed broadcast "
                      "such as 192.168.1.255, or 127.255.255.255 for a simulator on loopback")
      ->capture_default_str();
  command->add_option("--interface", options->m_Interfaces,
                      "Find the gateway through this network interface only, and reach it through "
                      "it; repeatable (default: every interface that is up with an IPv4 address)");
  command->add_option("--port", options->m_Port, "Router port, UDP and TCP")
      ->capture_default_str()
      ->check(CLI::Range(1, 65535));
  command->add_option("--time-scale", options->m_TimeScale,
                      "Run every pause and time-out this many times faster")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
}

void AddCommandOptions(CLI::App* command, CommandOptions* options, bool withPackages) {
  AddGatewayOptions(command, options, "qel", withPackages);
  if (withPackages) command->add_flag("--json", options->m_Json, "Print one JSON object instead of a table");
}

bool UsableOptions(const char* command, const GatewayOptions& options) {
  std::string error;
  if (ValidateGatewayOptions(options, &error)) return true;
  fprintf(stderr, "qel %s: %s\n", command, error.c_str());
  return false;
}

void PrintNoAnswer(const GatewayOptions& options, const DiscoveryResult& heard) {
  if (heard.m_Tries == 0 || !heard.m_Routers.empty()) return;
  fprintf(stderr, "%s\n", NoAnswerText(options.m_Interfaces, heard).c_str());
  fflush(stderr);
}
