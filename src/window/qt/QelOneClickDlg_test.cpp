// The window against the simulator: its layout, buttons, rows, message boxes
// and help through Checks and an Upgrade, saved as pictures (check.png,
// upgrade.png; real ones when run again under Xvfb); the loop-test cycle.
#include <QFile>
#include <QStandardPaths>

#include "window/qt/HelpFile.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

class ScreenshotTest : public WindowFixture {};

// The window opens laid out for its size ((W - 400) / 3 between the buttons)
// with Check in focus; F1 writes the guide afresh and opens it. Without a
// router a Check warns and fills no rows; Escape asks first and No keeps
// the window. Enter presses the focused button, else Check. A missing and a conflicting package keep Upgrade disabled;
// once they are fixed a new Check allows the Upgrade, during which closing
// is refused. Closing during a Check that waits for a router ends the window
// without waiting for its rows.
TEST_F(ScreenshotTest, ChecksAndUpgradeDriveTheButtonsAndRows) {
  MakeFittingPackages(m_Packages.Path());
  CQelOneClickDlg& dialog = OpenDialog();
  dialog.resize(900, 300);
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  EXPECT_EQ(QList<QRect>({dialog.CheckButton().geometry(), dialog.UpgradeButton().geometry(), dialog.List().geometry()}),
            QList<QRect>({{166, 6, 200, 50}, {532, 6, 200, 50}, {10, 62, 880, 232}}));
  EXPECT_EQ(Buttons(), "Cu>C");
  const QString help = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + "/" + HELP_FILE_NAME;
  WriteFile(m_Packages.File("other"), {'x'});
  ASSERT_TRUE(QFile::link(QString::fromStdString(m_Packages.File("other")), help));  // found at the guide's place
  QTest::keyClick(&dialog, Qt::Key_F1);
  EXPECT_NE(ReadText(help.toStdString()).find("QEL Upgrade"), std::string::npos);
  EXPECT_EQ(ReadText(m_Packages.File("other")), "x");
  EXPECT_EQ(m_Opened, QStringList{help});

  ModalResponder responder(QMessageBox::No);
  auto key = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
  dialog.List().setFocus();
  key(Qt::Key_Return);  // with the focus elsewhere Enter presses Check, the default button
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(dialog.List().rowCount(), 0);
  EXPECT_EQ(Buttons(), "Cu>C");
  key(Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());

  MakePackage(m_Packages.Path(), MODULE_APP, "1.3.0.0");
  QFile::remove(QString::fromStdString(m_Packages.File("pkg0.bin")));
  m_SimOptions.m_NewFirmwareVersion = "2.1.5.0";
  m_Sim = StartSim(m_SimOptions);
  QTest::mouseClick(&dialog.CheckButton(), Qt::LeftButton);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Buttons(), "Cu>C");
  EXPECT_EQ(Column(COL_STATUS), QStringList({"Not found", "Version does not match", "Waiting for the upgrade",
                                             "Waiting for the upgrade", "Waiting for the upgrade"}));
  const QString grey = dialog.List().palette().color(QPalette::Disabled, QPalette::Text).name();
  EXPECT_EQ(Column(STATUS_COLOURS), QStringList({grey, "#ff0000", "#0000ff", "#0000ff", "#0000ff"}));
  const QFontMetrics metrics(dialog.List().font());  // columns at least their width basis and their contents
  EXPECT_GE(dialog.List().columnWidth(COL_PERCENT), metrics.horizontalAdvance("111111"));
  EXPECT_GE(dialog.List().columnWidth(COL_TYPE), metrics.horizontalAdvance("Customization of router module"));
  const QString shots = qEnvironmentVariable("QEL_SHOT_DIR", m_Packages.Path().c_str());
  EXPECT_TRUE(dialog.grab().save(shots + "/check.png"));

  MakeFittingPackages(m_Packages.Path());
  QTest::mouseClick(&dialog.CheckButton(), Qt::LeftButton);
  EXPECT_EQ(Buttons().left(2), "cu");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Buttons(), "CU>U");
  EXPECT_EQ(Column(COL_CURRENT), QStringList({"1.2.3.4", "1.2.3.4", "1.2.3.4", "2.1.0.7", "3.0.1.2"}));
  EXPECT_EQ(Column(COL_UPGRADE), QStringList({"1.2.3.10", "1.2.3.11", "1.2.3.12", "2.1.5.0", "3.0.1.9"}));
  EXPECT_EQ(Column(COL_STATUS), QStringList(5, "Waiting for the upgrade"));

  key(Qt::Key_Backtab);
  key(Qt::Key_Tab);
  EXPECT_EQ(Buttons(), "CU>U");
  key(Qt::Key_Return);  // presses the focused Upgrade
  dialog.close();
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_TRUE(WaitIdle(60000));
  EXPECT_EQ(Buttons(), "Cu>C");
  EXPECT_EQ(Column(COL_STATUS).filter(QRegularExpression("^Download successfully \\(00:\\d\\d\\)$")), Column(COL_STATUS));
  EXPECT_EQ(Column(STATUS_COLOURS), QStringList(5, "#0000ff"));
  EXPECT_EQ(Column(COL_PERCENT).value(MODULE_FIRMWARE), "100%");
  EXPECT_EQ(m_Sim->RouterImages().size(), 3u);
  EXPECT_TRUE(dialog.grab().save(shots + "/upgrade.png"));

  m_Sim.reset();
  responder.m_Answer = QMessageBox::Yes;
  QTest::mouseClick(&dialog.CheckButton(), Qt::LeftButton);
  dialog.close();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(dialog.CheckRunning());
  m_Dialog.reset();
  const QString confirm = "i Warning: Are you sure? [No]";
  EXPECT_EQ(responder.m_Boxes, QStringList({"! Warning: No router is detected", confirm,
                                            "! Warning: The upgrade is in process. Please wait!", confirm}));
}

// The marker is looked at once, when the window opens. Then an Upgrade
// follows a successful Check after 2000 ms, a Check an Upgrade after 35000.
TEST_F(WindowFixture, LoopTestRepeatsCheckAndUpgradeOnItsOwn) {
  MakeFittingPackages(m_Packages.Path());
  m_Sim = StartSim(m_SimOptions);
  WriteFile(m_Options.m_LoopTestMarker, {});
  CQelOneClickDlg& dialog = OpenDialog();
  QFile::remove(QString::fromStdString(m_Options.m_LoopTestMarker));
  ModalResponder responder;
  dialog.CheckButton().click();
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

}  // namespace windowtest
