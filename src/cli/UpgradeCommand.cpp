// Placeholder until the command lands; registers nothing.
#include "cli/Commands.h"

void AddUpgradeCommand(CLI::App&, int*) {}
