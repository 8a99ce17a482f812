// qel-upgrade: the window. --help and --version are answered before the
// toolkit starts, so that they need no display; the rest is
// RunWindowProgram's.
#include <QApplication>
#include <string>

#include "app/window/WindowOptions.h"
#include "app/window/WindowProgram.h"

int main(int argc, char** argv) {
  WindowOptions options;
  std::string error;
  if (ParseWindowOptions(argc, argv, &options, &error) == 0) return 0;
  QApplication app(argc, argv);  // takes out Qt's own options
  return RunWindowProgram(argc, argv);
}
