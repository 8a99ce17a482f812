// One instance per user: in-process, and with the real program.
#include <QProcess>
#include <QSignalSpy>

#include "app/window/SingleInstance.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

QString TestKey() { return QString("single-instance-test-%1").arg(QCoreApplication::applicationPid()); }

class SingleInstanceTest : public WindowFixture {};

// A later start restores a minimised first window and leaves any other as
// it is; the lock is free again once the first instance ends.
TEST_F(SingleInstanceTest, SecondStartRestoresOnlyAMinimisedWindow) {
  CQelOneClickDlg& dialog = OpenDialog();
  {
    CSingleInstance first(TestKey());
    ASSERT_TRUE(first.Acquire());
    QObject::connect(&first, &CSingleInstance::RestoreRequested, &dialog, &CQelOneClickDlg::RestoreIfMinimized);
    QSignalSpy requests(&first, &CSingleInstance::RestoreRequested);
    for (const bool minimised : {true, false}) {
      SCOPED_TRACE(minimised);
      minimised ? dialog.showMinimized() : dialog.showMaximized();
      QCoreApplication::processEvents();
      CSingleInstance second(TestKey());
      EXPECT_FALSE(second.Acquire());
      EXPECT_TRUE(second.NotifyRunning());
      ASSERT_TRUE(requests.wait(2000));
      EXPECT_FALSE(dialog.isMinimized());
      EXPECT_EQ(dialog.isMaximized(), !minimised);
    }
  }
  CSingleInstance next(TestKey());
  EXPECT_TRUE(next.Acquire());
  EXPECT_FALSE(CSingleInstance(TestKey() + "-alone").NotifyRunning());
}

TEST(SingleInstanceProgram, SecondStartEndsSilentlyWhileTheFirstRuns) {
  const QString program = QString::fromStdString(BinDir() + "/qel-upgrade");
  TempDir packages;
  const QStringList arguments = {"--broadcast", "127.255.255.255", "--port", QString::number(FreePort()),
                                 "--dir", QString::fromStdString(packages.Path())};
  QProcess first, second;
  first.start(program, arguments);
  ASSERT_TRUE(first.waitForStarted(5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(CSingleInstance().ServerName()); }, 10000));
  second.start(program, arguments);
  ASSERT_TRUE(second.waitForFinished(5000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(second.readAllStandardOutput(), "");
  EXPECT_EQ(first.state(), QProcess::Running);
  first.kill();
  first.waitForFinished(5000);
}

}  // namespace windowtest
