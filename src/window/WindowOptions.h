// What the window is told on its command line: the gateway options and,
// for tests, the loop-test marker's path.
#pragma once

#include <string>

#include "app/GatewayOptions.h"

struct WindowOptions : GatewayOptions {
  std::string m_LoopTestMarker;  // empty: LoopTestMarkerPath()
};

// Parses argv into options. Returns -1 to go on, 0 when help or the version
// was printed, or an exit code with the reason in *error for a bad option
// (printed nowhere: a launcher shows no standard error).
int ParseWindowOptions(int argc, char** argv, WindowOptions* options, std::string* error);
