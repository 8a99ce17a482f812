// The window's title. A Linux executable carries no version resource: the
// version is the one the build stamps into the program.
#pragma once

#include <string>

// "QEL Upgrade - <version> - Press F1 for Help": the product name is the
// program's "STRING" resource 150.
std::string WindowTitle();
