// One instance per user, and the start of the window program: in-process,
// and the real program for Qt's own options.
#include <QSignalSpy>
#include <QStandardPaths>

#include "window/qt/SingleInstance.h"
#include "window/qt/WindowProgram.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

int Start(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  return RunWindowProgram(static_cast<int>(argv.size()), argv.data());
}

// A bad option or a lock that cannot be made is shown in a "Warning" box and
// ends the program. A start while another instance runs asks it to restore
// its window, which only a minimised one does, and ends silently; the lock
// is free again once the first instance ends.
TEST_F(WindowFixture, StartsThatEndAtOnce) {
  ModalResponder responder;
  EXPECT_NE(Start({"qel-upgrade", "--bogus"}), 0);
  EXPECT_EQ(Start({"qel-upgrade", "--interface", "qel-none"}), 2);
  const QString lock = CSingleInstance().LockPath();  // in the user's own directory
  EXPECT_TRUE(lock.startsWith(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + "/"));
  QFile::remove(lock);
  ASSERT_TRUE(QDir().mkpath(lock));
  EXPECT_EQ(Start({"qel-upgrade"}), 1);
  ASSERT_TRUE(QDir().rmdir(lock));
  CQelOneClickDlg& dialog = OpenDialog();
  {
    CSingleInstance first;
    ASSERT_TRUE(first.Acquire());
    QObject::connect(&first, &CSingleInstance::RestoreRequested, &dialog, &CQelOneClickDlg::RestoreIfMinimized);
    QSignalSpy requests(&first, &CSingleInstance::RestoreRequested);
    for (const bool minimised : {true, false}) {
      minimised ? dialog.showMinimized() : dialog.showMaximized();
      QCoreApplication::processEvents();
      EXPECT_EQ(Start({"qel-upgrade"}), 0);
      ASSERT_TRUE(requests.wait(2000));
      EXPECT_EQ(dialog.windowState(), minimised ? Qt::WindowNoState : Qt::WindowMaximized);
    }
  }
  EXPECT_TRUE(CSingleInstance().Acquire());
  EXPECT_FALSE(CSingleInstance("single-instance-test-alone").NotifyRunning());
  EXPECT_EQ(responder.m_Boxes, QStringList({"! Warning: The following argument was not expected: --bogus",
                                            "! Warning: --interface: this PC has no network interface called \"qel-none\"",
                                            "! Warning: Is a directory"}));
}

// A lock file left by a crashed instance is taken over. The lock is free as
// soon as the window closes, while its Check still winds down, so that a new
// start then is not taken for a second instance.
TEST_F(WindowFixture, LockIsFreeOnceTheWindowCloses) {
  MakeFittingPackages(m_Packages.Path());
  WriteFile(CSingleInstance().LockPath().toStdString(), {'1'});
  bool freed = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<CQelOneClickDlg*>(window);
      if (dialog && dialog->isVisible()) dialog->CheckButton().click(), dialog->accept();
      if (dialog && !dialog->isVisible() && dialog->CheckRunning()) freed = freed || CSingleInstance().Acquire();
    }
  });
  user.start(1);
  EXPECT_EQ(Start({"qel-upgrade", "--dir", m_Packages.Path(), "--broadcast", "127.255.255.255", "--port",
                 std::to_string(m_Options.m_Port), "--time-scale", "100"}), 0);
  EXPECT_TRUE(freed);
}

// Qt's own options are accepted; help needs no display.
TEST_F(WindowFixture, QtOptionsAndHelp) {
  const std::string program = BinDir() + "/qel-upgrade";
  EXPECT_EQ(RunCommand("QEL_UPGRADE_CLOSE_AFTER_START=1 " + program + " -platform offscreen -style fusion --dir " +
                           m_Packages.Path() + " --broadcast 127.255.255.255 --port " + std::to_string(m_Options.m_Port),
                       nullptr), 0);
  std::string help;
  EXPECT_EQ(RunCommand("env -u QT_QPA_PLATFORM -u DISPLAY " + program + " --help", &help), 0);
  EXPECT_NE(help.find("--time-scale"), std::string::npos);
}

}  // namespace windowtest
