// QelUpgrade.exe from its command line to its end: the options, the window
// class, one instance per session (a later start restores a minimised first
// window and ends silently), the sockets library at version 2.2, then the
// window until the user closes it. There is no console: a bad option or a
// failed start is shown in a "Warning" box owned by no window. Returns the
// exit code; the caller releases the sockets library.
#pragma once

int RunWindowProgram();
