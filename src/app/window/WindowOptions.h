// What the window is told on its command line. Without options it behaves
// as it always has: packages from the executable's directory (the user's
// package folder when installed), discovery by limited broadcast on the
// router's port 1280, the clock at real speed.
#pragma once

#include <string>

struct WindowOptions {
  std::string m_Dir;                            // empty: PackageDirectory decides
  std::string m_Broadcast = "255.255.255.255";  // discovery target
  int m_Port = 1280;                            // router port, UDP and TCP
  double m_TimeScale = 1.0;                     // clock speed factor
  std::string m_LoopTestMarker;                 // empty: LoopTestMarkerPath()
};

// Parses argv into options. Returns -1 to go on, or the exit code to end
// with at once (help shown, or a bad option reported on stderr).
int ParseWindowOptions(int argc, char** argv, WindowOptions* options);
