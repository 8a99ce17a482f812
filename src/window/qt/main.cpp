// qel-upgrade: the window. --help and --version are answered before the
// toolkit starts, so that they need no display; the rest is
// RunWindowProgram's.
#include <QApplication>
#include <cstdio>
#include <string>

#include "window/WindowOptions.h"
#include "window/qt/WindowProgram.h"

int main(int argc, char** argv) {
  WindowOptions options;
  std::string message;
  if (ParseWindowOptions(argc, argv, &options, &message, "qel-upgrade", QT_OPTIONS_FOOTER) == 0) {
    std::fputs(message.c_str(), stdout);
    return 0;
  }
  QApplication app(argc, argv);  // takes out Qt's own options
  return RunWindowProgram(argc, argv);
}
