// What a window is told on its command line: the gateway options and, for
// tests, the loop-test marker's path. Both windows take the same options.
#pragma once

#include <string>

#include "options/GatewayOptions.h"

struct WindowOptions : GatewayOptions {
  std::string m_LoopTestMarker;  // empty: the window's own place for it
};

// Parses argv (UTF-8) into options. program names the window in --help and
// --version; footer ends the help. Returns -1 to go on; 0 when help or the
// version was asked for, with its text in *message; or an exit code with the
// reason in *message for a bad option. Nothing is printed: a window started
// from the desktop has nowhere to print, so the caller shows the message.
int ParseWindowOptions(int argc, char** argv, WindowOptions* options, std::string* message,
                       const std::string& program = "qel-upgrade", const std::string& footer = "");
