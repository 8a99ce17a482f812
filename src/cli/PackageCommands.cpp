// Placeholder until the command lands; registers nothing.
#include "cli/Commands.h"

void AddPackageCommands(CLI::App&, int*) {}
