// The command-line form of the gateway options, shared by qel's commands and
// the window qel-upgrade.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "options/GatewayOptions.h"

// Adds --broadcast, --port and --time-scale to command; with withDir also
// --dir, whose default is the directory of the program named.
void AddGatewayOptions(CLI::App* command, GatewayOptions* options, const std::string& program, bool withDir);

// A qel command's options: the gateway's and, for check and upgrade, --json.
struct CommandOptions : GatewayOptions {
  bool m_Json = false;
};

// The gateway options of qel, with --dir and --json when withPackages.
void AddCommandOptions(CLI::App* command, CommandOptions* options, bool withPackages);

// False, with the reason on stderr, when options cannot be used (an
// interface that does not exist); command names the qel command.
bool UsableOptions(const char* command, const GatewayOptions& options);
// After a discovery that heard no router: the line that tells where it
// asked, on stderr.
void PrintNoAnswer(const GatewayOptions& options, const DiscoveryResult& heard);
