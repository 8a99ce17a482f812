// One instance per user.
#include <QSignalSpy>

#include "app/window/SingleInstance.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

// A later start restores a minimised first window and leaves any other as
// it is; the lock is free again once the first instance ends.
TEST_F(WindowFixture, SecondStartRestoresOnlyAMinimisedWindow) {
  const QString key = QString("single-instance-test-%1").arg(QCoreApplication::applicationPid());
  CQelOneClickDlg& dialog = OpenDialog();
  {
    CSingleInstance first(key);
    ASSERT_TRUE(first.Acquire());
    QObject::connect(&first, &CSingleInstance::RestoreRequested, &dialog, &CQelOneClickDlg::RestoreIfMinimized);
    QSignalSpy requests(&first, &CSingleInstance::RestoreRequested);
    for (const bool minimised : {true, false}) {
      minimised ? dialog.showMinimized() : dialog.showMaximized();
      QCoreApplication::processEvents();
      CSingleInstance second(key);
      EXPECT_TRUE(!second.Acquire() && second.NotifyRunning());
      ASSERT_TRUE(requests.wait(2000));
      EXPECT_EQ(dialog.windowState(), minimised ? Qt::WindowNoState : Qt::WindowMaximized);
    }
  }
  EXPECT_TRUE(CSingleInstance(key).Acquire());
  EXPECT_FALSE(CSingleInstance(key + "-alone").NotifyRunning());
}

}  // namespace windowtest
