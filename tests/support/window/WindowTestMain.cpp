// Runs the window's tests inside one QApplication. Everything the window
// writes (settings, log, help, lock) goes to a private temporary directory.
#include <stdlib.h>
#include <sys/stat.h>

#include "window/qt/WindowResources.h"
#include "support/window/WindowTestSupport.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  testsupport::TempDir home;
  const std::string config = home.File("config"), runtime = home.File("runtime");
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("TMPDIR", home.Path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  mkdir(runtime.c_str(), 0700);
  QApplication app(argc, argv);
  InitWindowResources();
  return RUN_ALL_TESTS();
}
