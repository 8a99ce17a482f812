// What the window is told on its command line: the gateway options and,
// for tests, the loop-test marker's path.
#pragma once

#include <string>

#include "app/GatewayOptions.h"

struct WindowOptions : GatewayOptions {
  std::string m_LoopTestMarker;  // empty: LoopTestMarkerPath()
};

// Parses argv into options. Returns -1 to go on, or the exit code to end
// with at once (help shown, or a bad option reported on stderr).
int ParseWindowOptions(int argc, char** argv, WindowOptions* options);
