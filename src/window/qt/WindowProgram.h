// The window program from its command line to its end, once the QApplication
// exists (which has taken Qt's own options such as -platform and -style out
// of argv): the options, one instance per user, then the window until the
// user closes it. A later start while the window runs restores it if
// minimised and ends silently. A launcher shows no standard error, so what
// else ends the program at once is shown in a "Warning" box: an option it
// does not know, a lock it cannot make. Returns the exit code.
#pragma once

int RunWindowProgram(int argc, char** argv);

constexpr const char* QT_OPTIONS_FOOTER = "Qt's own options (-platform, -style, ...) are accepted too.";
