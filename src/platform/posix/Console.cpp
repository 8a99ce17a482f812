#include "platform/Console.h"

#include <unistd.h>

// Terminals here take UTF-8, colours and redraws as they are.
void PrepareConsole() {}

bool IsTerminal(FILE* out) { return isatty(fileno(out)) != 0; }

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }
