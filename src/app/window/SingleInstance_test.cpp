// One instance per user: in-process, and with the real program.
#include <QProcess>
#include <QSignalSpy>

#include "app/window/SingleInstance.h"
#include "app/window/WindowTestSupport.h"

namespace windowtest {
namespace {

QString TestKey() { return QString("single-instance-test-%1").arg(QCoreApplication::applicationPid()); }

TEST(SingleInstanceTest, SecondAcquireFailsAndAsksTheFirstToRestore) {
  CSingleInstance first(TestKey());
  ASSERT_TRUE(first.Acquire());
  QSignalSpy restore(&first, &CSingleInstance::RestoreRequested);
  {
    CSingleInstance second(TestKey());
    EXPECT_FALSE(second.Acquire());
    EXPECT_TRUE(second.NotifyRunning());
  }
  EXPECT_TRUE(restore.wait(2000));
  EXPECT_EQ(restore.count(), 1);
}

TEST(SingleInstanceTest, LockIsFreeAgainWhenTheFirstEnds) {
  {
    CSingleInstance first(TestKey());
    ASSERT_TRUE(first.Acquire());
  }
  CSingleInstance next(TestKey());
  EXPECT_TRUE(next.Acquire());
}

TEST(SingleInstanceTest, NoOneListeningMeansNothingIsDelivered) {
  CSingleInstance lonely(TestKey() + "-alone");
  EXPECT_FALSE(lonely.NotifyRunning());
}

class RestoreTest : public WindowFixture {};

TEST_F(RestoreTest, MinimisedWindowComesBackNormalOtherwiseNothingHappens) {
  CQelOneClickDlg& dialog = OpenDialog();
  CSingleInstance first(TestKey());
  ASSERT_TRUE(first.Acquire());
  QObject::connect(&first, &CSingleInstance::RestoreRequested, &dialog, &CQelOneClickDlg::RestoreIfMinimized);

  dialog.showMinimized();
  QCoreApplication::processEvents();
  ASSERT_TRUE(dialog.isMinimized());
  CSingleInstance(TestKey()).NotifyRunning();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isMinimized(); }, 2000));
  EXPECT_FALSE(dialog.isMaximized());
  EXPECT_TRUE(dialog.isVisible());

  dialog.showMaximized();
  QCoreApplication::processEvents();
  CSingleInstance(TestKey()).NotifyRunning();
  QTest::qWait(50);
  EXPECT_TRUE(dialog.isMaximized());
}

TEST(SingleInstanceProgram, SecondStartEndsSilentlyWhileTheFirstRuns) {
  const QString program = QString::fromStdString(testsupport::BinDir() + "/qel-upgrade");
  testsupport::TempDir packages;
  const QStringList arguments = {"--broadcast", "127.255.255.255", "--port",
                                 QString::number(testsupport::FreePort()), "--dir",
                                 QString::fromStdString(packages.Path())};
  QProcess first;
  first.start(program, arguments);
  ASSERT_TRUE(first.waitForStarted(5000));
  const QString socket = CSingleInstance().ServerName();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 10000));

  QProcess second;
  second.start(program, arguments);
  ASSERT_TRUE(second.waitForFinished(5000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(second.readAllStandardOutput(), "");
  EXPECT_EQ(first.state(), QProcess::Running);

  first.kill();
  first.waitForFinished(5000);
}

}  // namespace
}  // namespace windowtest
