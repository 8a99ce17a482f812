// Placeholder until the command lands; registers nothing.
#include "cli/Commands.h"

void AddCheckCommand(CLI::App&, int*) {}
