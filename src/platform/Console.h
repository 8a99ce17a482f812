// The terminal a command-line program writes to.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Readies stdout and stderr for UTF-8 text and, on a terminal that takes
// them, colours and redraws; call once, first.
void PrepareConsole();
// Whether out is a terminal that takes colours and redraws.
bool IsTerminal(FILE* out);
// The command line as UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
