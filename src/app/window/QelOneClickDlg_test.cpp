// The window: closing, help, the loop-test cycle and the layout. Checks and
// an Upgrade are in WindowScreenshot_test.cpp.
#include <QFile>

#include "app/window/DialogLayout.h"
#include "app/window/HelpFile.h"
#include "support/Recorders.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

class DialogTest : public WindowFixture {};

// Closing asks first (No keeps the window); closing during a Check that
// waits for a router ends the window without waiting for its rows.
TEST_F(DialogTest, WithoutRouterWarnsAndCloseDuringCheckDoesNotHang) {
  MakeFittingPackages(m_Packages.Path());
  m_SimOptions.m_Faults.m_NoDiscoveryAnswer = true;
  StartSim();
  CQelOneClickDlg& dialog = OpenDialog();
  ModalResponder responder(QMessageBox::No);
  Press(dialog.CheckButton());
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(dialog.List().rowCount(), 0);
  EXPECT_EQ(Buttons(), "Cu>C");
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());
  responder.SetAnswer(QMessageBox::Yes);
  Press(dialog.CheckButton());
  dialog.close();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(dialog.CheckRunning());
  m_Dialog.reset();
  const QString confirm = "i Warning: Are you sure? [No]";
  EXPECT_EQ(responder.m_Boxes, QStringList({"! Warning: No router is detected", confirm, confirm}));
}

// The guide is written once: a file already there is opened as it is.
TEST_F(DialogTest, HelpIsExtractedOnceAndOpened) {
  CQelOneClickDlg& dialog = OpenDialog();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  const std::string path = QDir(QDir::tempPath()).filePath(HELP_FILE_NAME).toStdString();
  QFile::remove(QString::fromStdString(path));
  QTest::keyClick(&dialog, Qt::Key_F1);
  EXPECT_NE(ReadText(path).find("QEL Upgrade"), std::string::npos);
  WriteFile(path, {'x'});
  QTest::keyClick(&dialog, Qt::Key_F1);
  EXPECT_EQ(m_Opened, QStringList({QString::fromStdString(path), QString::fromStdString(path)}));
  EXPECT_EQ(ReadText(path), "x");
  RecordingNotices notices;
  SetNoticeSink(&notices);
  EXPECT_FALSE(CHelpFile(QString::fromStdString(path)).Open([](const QString&) { return true; }));  // no such dir
  EXPECT_FALSE(CHelpFile(QString::fromStdString(m_Packages.Path())).Extract(":/help/missing.html"));
  EXPECT_EQ(notices.Texts(), std::vector<std::string>{LoadStringId(IDS_HELP_MISSING)});
  SetNoticeSink(nullptr);
}

// The marker is looked at once, when the window opens. Then an Upgrade
// follows a successful Check after 2000 ms, a Check an Upgrade after 35000.
TEST_F(DialogTest, LoopTestRepeatsCheckAndUpgradeOnItsOwn) {
  MakeFittingPackages(m_Packages.Path());
  StartSim();
  WriteFile(m_Options.m_LoopTestMarker, {});
  CQelOneClickDlg& dialog = OpenDialog();
  QFile::remove(QString::fromStdString(m_Options.m_LoopTestMarker));
  ModalResponder responder;
  Press(dialog.CheckButton());
  ASSERT_TRUE(WaitFor([&] { return !dialog.CheckRunning(); }, 10000));
  const uint64_t checked = Clock::TickCount();
  ASSERT_TRUE(WaitFor([&] { return dialog.UpgradeInProcess(); }, 10000));
  EXPECT_GE(Clock::TickCount() - checked, 1000u);
  ASSERT_TRUE(WaitFor([&] { return !dialog.UpgradeInProcess(); }, 30000));
  const uint64_t upgraded = Clock::TickCount();
  ASSERT_TRUE(WaitFor([&] { return dialog.CheckRunning(); }, 10000));
  EXPECT_GE(Clock::TickCount() - upgraded, 25000u);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(m_Sim->RouterImages().size(), 3u);
  EXPECT_TRUE(responder.m_Boxes.empty());
}

// Buttons and list for the client size, raised to at least the minimum
// track size; columns at least their width basis and their contents.
TEST_F(DialogTest, LayoutFollowsTheWindowSize) {
  CQelOneClickDlg& dialog = OpenDialog();
  const QSize minimum = MinimumTrackSize();
  EXPECT_EQ(LayoutSize(QSize(0, 0), minimum), minimum);  // minimised
  const QSize small(std::max(433, minimum.width()), std::max(80, minimum.height()));
  const struct {
    QSize m_Client, m_Layout;
    int m_Gap;
  } cases[] = {{{1000, 500}, {1000, 500}, 200},
               {{801, 300}, {801, 300}, 133},  // (W - 400) / 3 truncates
               {{433, 80}, small, (small.width() - 400) / 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.m_Client.width());
    dialog.resize(c.m_Client);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.StoredLayoutSize(), c.m_Layout);
    EXPECT_EQ(dialog.CheckButton().geometry(), QRect(c.m_Gap, 6, 200, 50));
    EXPECT_EQ(dialog.UpgradeButton().geometry(), QRect(2 * c.m_Gap + 200, 6, 200, 50));
    EXPECT_EQ(dialog.List().geometry(), QRect(10, 62, c.m_Layout.width() - 20, c.m_Layout.height() - 68));
  }
  const QFontMetrics metrics(dialog.List().font());
  for (int column = 0; column < LIST_COLUMN_COUNT; ++column)
    EXPECT_GE(dialog.List().columnWidth(column),
              metrics.horizontalAdvance(QString(LIST_COLUMNS[column].m_WidthBasis + 2, '1'))) << column;
  dialog.List().InsertRow(0, std::string(60, 'W'));
  dialog.LayoutControls();
  EXPECT_GE(dialog.List().columnWidth(COL_TYPE), metrics.horizontalAdvance(QString(60, 'W')));
}

}  // namespace windowtest
