// Options shared by the commands that talk to the gateway.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

struct GatewayOptions {
  std::string m_Dir;                            // empty: PackageDirectory decides
  std::string m_Broadcast = "255.255.255.255";  // discovery target
  int m_Port = 1280;                            // router UDP and TCP port
  double m_TimeScale = 1.0;                     // clock speed factor
  bool m_Json = false;
};

// Adds --broadcast, --port and --time-scale; with withPackages also --dir and
// --json.
void AddGatewayOptions(CLI::App* command, GatewayOptions* options, bool withPackages);
// Applies --time-scale to the clock.
void ApplyGatewayOptions(const GatewayOptions& options);
