// Placeholder until the command lands; registers nothing.
#include "cli/Commands.h"

void AddDiscoverCommand(CLI::App&, int*) {}
