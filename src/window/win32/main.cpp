// QelUpgrade.exe: the window on Windows (a GUI program, no console).
#include <windows.h>

#include "platform/Networking.h"
#include "window/win32/WindowProgram.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const int exitCode = RunWindowProgram();
  // On every path, started or not: a needless clean-up only returns an error.
  StopNetworking();
  return exitCode;
}
