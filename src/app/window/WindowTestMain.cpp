// Runs the window's tests inside one QApplication. Everything the window
// writes (settings, log, help, lock) goes to a private temporary directory.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <string>

#include "app/window/WindowResources.h"
#include "support/TestSupport.h"

std::string g_ShotDir;  // where the screenshot test saves its pictures

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind("--shots=", 0) == 0) g_ShotDir = argument.substr(8);
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testsupport::TempDir home;
  setenv("TMPDIR", home.Path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home.Path() + "/config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (home.Path() + "/runtime").c_str(), 1);
  QDir().mkpath(QString::fromStdString(home.Path() + "/runtime"));
  chmod((home.Path() + "/runtime").c_str(), 0700);
  QApplication app(argc, argv);
  InitWindowResources();
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home.Path() + "/config"));
  return RUN_ALL_TESTS();
}
