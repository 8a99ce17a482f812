// The subcommands of qel. Each Add... registers its subcommand on the app;
// the callback it installs stores the exit status in *exitCode.
#pragma once

#include <CLI/CLI.hpp>

void AddPackageCommands(CLI::App& app, int* exitCode);
void AddDiscoverCommand(CLI::App& app, int* exitCode);
void AddCheckCommand(CLI::App& app, int* exitCode);
void AddUpgradeCommand(CLI::App& app, int* exitCode);
void AddStationCommand(CLI::App& app, int* exitCode);
