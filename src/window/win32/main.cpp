// QelUpgrade.exe: the window on Windows (a GUI program, no console).
#include <windows.h>

#include "window/win32/WindowProgram.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunWindowProgram(); }
