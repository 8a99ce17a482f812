// The window against the gateway simulator: button states through Checks and
// an Upgrade, the rows they leave, closing, help and the loop-test cycle.
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include "app/window/HelpFile.h"
#include "app/window/LoopTest.h"
#include "app/window/WindowTestSupport.h"

namespace windowtest {
namespace {

const QColor BLUE(0, 0, 255);
const QColor RED(255, 0, 0);

class DialogTest : public WindowFixture {};

TEST_F(DialogTest, OpensWithTitleButtonsAndEmptyList) {
  CQelOneClickDlg& dialog = OpenDialog();
  EXPECT_EQ(dialog.windowTitle(), QString("QEL Upgrade - %1 - Press F1 for Help").arg(QEL_VERSION));
  EXPECT_EQ(dialog.CheckButton().text(), "&Check");
  EXPECT_EQ(dialog.UpgradeButton().text(), "&Upgrade");
  EXPECT_TRUE(dialog.CheckButton().isEnabled());
  EXPECT_FALSE(dialog.UpgradeButton().isEnabled());
  EXPECT_TRUE(dialog.CheckButton().isDefault());
  EXPECT_FALSE(dialog.UpgradeButton().isDefault());
  EXPECT_EQ(dialog.CheckButton().GetColor(BTNST_COLOR_FG_IN), RED);
  EXPECT_FALSE(dialog.windowIcon().isNull());
  ASSERT_EQ(dialog.List().columnCount(), 5);
  const char* headers[] = {"Type", "Current Version", "Upgrade Version", "%", "Status"};
  for (int column = 0; column < 5; ++column)
    EXPECT_EQ(dialog.List().horizontalHeaderItem(column)->text(), headers[column]);
  EXPECT_EQ(dialog.List().rowCount(), 0);
  EXPECT_FALSE(dialog.LoopTestMode());
  EXPECT_FALSE(dialog.PackagesEmbedded());
  EXPECT_EQ(TheModuleTable()[MODULE_FIRMWARE].m_TypeName, "Firmware of wireless module");
}

TEST_F(DialogTest, SuccessfulCheckThenUpgradeDriveTheButtonsAndRows) {
  MakeFittingPackages(m_Packages.Path());
  m_SimOptions.m_NewFirmwareVersion = "2.1.5.0";
  StartSim();
  CQelOneClickDlg& dialog = OpenDialog();
  ModalResponder responder;

  Press(dialog.CheckButton());
  EXPECT_FALSE(dialog.CheckButton().isEnabled());
  EXPECT_FALSE(dialog.UpgradeButton().isEnabled());
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(responder.m_Boxes.empty()) << responder.Texts().join("|").toStdString();
  EXPECT_TRUE(dialog.CheckButton().isEnabled());
  EXPECT_TRUE(dialog.UpgradeButton().isEnabled());
  EXPECT_EQ(dialog.focusWidget(), &dialog.UpgradeButton());
  ASSERT_EQ(dialog.List().rowCount(), 5);
  EXPECT_EQ(Cell(0, COL_TYPE), "BOOT of router module");
  EXPECT_EQ(Cell(0, COL_CURRENT), "1.2.3.4");
  EXPECT_EQ(Cell(0, COL_UPGRADE), "1.2.3.10");
  EXPECT_EQ(Cell(3, COL_CURRENT), "2.1.0.7");
  EXPECT_EQ(Cell(4, COL_CURRENT), "3.0.1.2");
  for (int row = 0; row < 5; ++row) {
    EXPECT_EQ(Cell(row, COL_STATUS), "Waiting for the upgrade") << row;
    EXPECT_EQ(dialog.List().StatusColour(row), BLUE) << row;
    EXPECT_EQ(Cell(row, COL_PERCENT), "") << row;
  }

  // Closing is refused while the pass runs.
  responder.SetAnswer(QMessageBox::Yes);
  Press(dialog.UpgradeButton());
  EXPECT_FALSE(dialog.CheckButton().isEnabled());
  EXPECT_FALSE(dialog.UpgradeButton().isEnabled());
  EXPECT_TRUE(dialog.UpgradeInProcess());
  dialog.close();
  QTest::qWait(20);
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_FALSE(responder.m_Boxes.empty());
  EXPECT_EQ(responder.m_Boxes[0].m_Text, "The upgrade is in process. Please wait!");
  EXPECT_EQ(responder.m_Boxes[0].m_Caption, "Warning");
  EXPECT_EQ(responder.m_Boxes[0].m_Icon, QMessageBox::Warning);

  ASSERT_TRUE(WaitIdle(30000));
  EXPECT_TRUE(dialog.CheckButton().isEnabled());
  EXPECT_FALSE(dialog.UpgradeButton().isEnabled());
  EXPECT_EQ(dialog.focusWidget(), &dialog.CheckButton());
  for (int row = 0; row < 5; ++row) {
    EXPECT_TRUE(Cell(row, COL_STATUS).startsWith("Download successfully (00:")) << Cell(row, COL_STATUS).toStdString();
    EXPECT_EQ(dialog.List().StatusColour(row), BLUE) << row;
  }
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_PERCENT), "100%");
  EXPECT_EQ(m_Sim->RouterImages().size(), 3u);
  EXPECT_TRUE(dialog.isVisible());
  if (HasFailure())
    for (const std::string& line : m_Sim->Transcript()) std::cerr << line << "\n";
}

TEST_F(DialogTest, CheckWithConflictingPackageFailsAndKeepsUpgradeDisabled) {
  MakePackage(m_Packages.Path(), MODULE_APP, "1.3.0.0");
  MakePackage(m_Packages.Path(), MODULE_DASHBOARD, "9.9.9.9");
  StartSim();
  CQelOneClickDlg& dialog = OpenDialog();
  ModalResponder responder;
  Press(dialog.CheckButton());
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(dialog.CheckButton().isEnabled());
  EXPECT_FALSE(dialog.UpgradeButton().isEnabled());
  EXPECT_EQ(dialog.focusWidget(), &dialog.CheckButton());
  ASSERT_EQ(dialog.List().rowCount(), 5);
  EXPECT_EQ(Cell(MODULE_APP, COL_STATUS), "Version does not match");
  EXPECT_EQ(dialog.List().StatusColour(MODULE_APP), RED);
  EXPECT_EQ(Cell(MODULE_BOOT, COL_STATUS), "Not found");
  EXPECT_EQ(Cell(MODULE_BOOT, COL_CURRENT), "");
  EXPECT_EQ(dialog.List().StatusColour(MODULE_BOOT), dialog.List().palette().color(QPalette::Disabled, QPalette::Text));
  EXPECT_EQ(Cell(MODULE_DASHBOARD, COL_STATUS), "Waiting for the upgrade");
}

TEST_F(DialogTest, CheckWithoutRouterShowsWarningAndLeavesRowsEmpty) {
  MakeFittingPackages(m_Packages.Path());
  m_SimOptions.m_Faults.m_NoDiscoveryAnswer = true;
  StartSim();
  CQelOneClickDlg& dialog = OpenDialog();
  ModalResponder responder;
  Press(dialog.CheckButton());
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(responder.m_Boxes.size(), 1u);
  EXPECT_EQ(responder.m_Boxes[0].m_Text, "No router is detected");
  EXPECT_EQ(responder.m_Boxes[0].m_Caption, "Warning");
  EXPECT_EQ(responder.m_Boxes[0].m_Icon, QMessageBox::Warning);
  EXPECT_EQ(dialog.List().rowCount(), 0);
  EXPECT_TRUE(dialog.CheckButton().isEnabled());
  EXPECT_FALSE(dialog.UpgradeButton().isEnabled());
  EXPECT_EQ(dialog.focusWidget(), &dialog.CheckButton());
}

TEST_F(DialogTest, EnterPressesTheDefaultCheckButton) {
  MakePackage(m_Packages.Path(), MODULE_BOOT, "1.2.3.10");
  StartSim();
  CQelOneClickDlg& dialog = OpenDialog();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  ModalResponder responder;
  QTest::keyClick(&dialog, Qt::Key_Return);
  EXPECT_TRUE(dialog.CheckRunning());
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Cell(MODULE_BOOT, COL_STATUS), "Waiting for the upgrade");
  EXPECT_EQ(Cell(MODULE_APP, COL_STATUS), "Not found");
  EXPECT_TRUE(dialog.UpgradeButton().isEnabled());
}

TEST_F(DialogTest, CloseAsksAndOnlyYesCloses) {
  CQelOneClickDlg& dialog = OpenDialog();
  ModalResponder responder(QMessageBox::No);
  QTest::keyClick(&dialog, Qt::Key_Escape);
  QTest::qWait(20);
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_EQ(responder.m_Boxes.size(), 1u);
  EXPECT_EQ(responder.m_Boxes[0].m_Text, "Are you sure?");
  EXPECT_EQ(responder.m_Boxes[0].m_Caption, "Warning");
  EXPECT_EQ(responder.m_Boxes[0].m_Icon, QMessageBox::Information);
  EXPECT_TRUE(responder.m_Boxes[0].m_DefaultNo);

  responder.SetAnswer(QMessageBox::Yes);
  dialog.close();
  QTest::qWait(20);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(DialogTest, ClosingDuringCheckWaitsForItWithoutHanging) {
  MakeFittingPackages(m_Packages.Path());
  m_SimOptions.m_Faults.m_NoDiscoveryAnswer = true;  // a long Check
  StartSim();
  CQelOneClickDlg& dialog = OpenDialog();
  ModalResponder responder(QMessageBox::Yes);
  Press(dialog.CheckButton());
  dialog.close();
  QTest::qWait(20);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(dialog.CheckRunning());
  m_Dialog.reset();  // must not deadlock with the Check's row updates
  EXPECT_EQ(responder.Texts(), QStringList{"Are you sure?"});
}

TEST_F(DialogTest, HelpIsExtractedOnceAndOpened) {
  CQelOneClickDlg& dialog = OpenDialog();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  const QString path = QDir(QDir::tempPath()).filePath(HELP_FILE_NAME);
  QFile::remove(path);
  QTest::keyClick(&dialog, Qt::Key_F1);
  ASSERT_EQ(m_Opened, QStringList{path});
  QFile guide(path);
  ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
  EXPECT_TRUE(guide.readAll().contains("QEL Upgrade"));
  guide.close();

  // A file already there is opened as it is, even a damaged one.
  ASSERT_TRUE(guide.open(QIODevice::WriteOnly | QIODevice::Truncate));
  guide.write("damaged");
  guide.close();
  QTest::keyClick(&dialog, Qt::Key_F1);
  EXPECT_EQ(m_Opened.size(), 2);
  ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
  EXPECT_EQ(guide.readAll(), "damaged");
  QFile::remove(path);
}

TEST(HelpFileTest, MissingGuideOrUnwritableDirectoryShowsTheWarning) {
  struct Recorder : INoticeSink {
    void ShowNotice(const std::string& caption, const std::string& text) override { m_Seen.push_back(caption + ":" + text); }
    std::vector<std::string> m_Seen;
  } recorder;
  SetNoticeSink(&recorder);
  testsupport::TempDir dir;
  CHelpFile help(QString::fromStdString(dir.Path()));
  EXPECT_FALSE(help.Extract(":/help/missing.html"));
  EXPECT_FALSE(QFileInfo::exists(help.Path()));

  CHelpFile nowhere(QString::fromStdString(dir.File("no/such/dir")));
  bool opened = false;
  EXPECT_FALSE(nowhere.Open([&](const QString&) { return opened = true; }));
  EXPECT_FALSE(opened);
  ASSERT_EQ(recorder.m_Seen.size(), 1u);
  EXPECT_EQ(recorder.m_Seen[0], "Warning:Help.chm is not exist in the current directory!");
  SetNoticeSink(nullptr);
}

TEST_F(DialogTest, LoopTestRepeatsCheckAndUpgradeOnItsOwn) {
  MakeFittingPackages(m_Packages.Path());
  StartSim();
  testsupport::WriteFile(m_Options.m_LoopTestMarker, {});
  CQelOneClickDlg& dialog = OpenDialog();
  ASSERT_TRUE(dialog.LoopTestMode());
  // Tested once: removing the marker now changes nothing in this run.
  QFile::remove(QString::fromStdString(m_Options.m_LoopTestMarker));
  ModalResponder responder;

  Press(dialog.CheckButton());
  // 2000 ms after the successful Check the upgrade starts by itself...
  ASSERT_TRUE(WaitFor([&] { return dialog.UpgradeInProcess(); }, 10000));
  ASSERT_TRUE(WaitFor([&] { return !dialog.UpgradeInProcess(); }, 30000));
  // ...and 35000 ms after the upgrade a new Check starts by itself.
  QTest::qWait(50);
  EXPECT_FALSE(dialog.CheckRunning());
  ASSERT_TRUE(WaitFor([&] { return dialog.CheckRunning(); }, 10000));
  ASSERT_TRUE(WaitIdle());
  EXPECT_GE(m_Sim->RouterImages().size(), 3u);
  EXPECT_TRUE(responder.m_Boxes.empty());
}

TEST_F(DialogTest, WithoutMarkerNothingStartsByItself) {
  MakeFittingPackages(m_Packages.Path());
  StartSim();
  CQelOneClickDlg& dialog = OpenDialog();
  testsupport::WriteFile(m_Options.m_LoopTestMarker, {});  // too late for this run
  ASSERT_FALSE(dialog.LoopTestMode());
  Press(dialog.CheckButton());
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(dialog.UpgradeButton().isEnabled());
  QTest::qWait(Clock::RealTimeoutMs(LOOP_TEST_UPGRADE_DELAY_MS) * 3);
  EXPECT_FALSE(dialog.UpgradeInProcess());
  EXPECT_TRUE(m_Sim->RouterImages().empty());
}

TEST(LoopTestPath, SitsInTheUsersConfigDirectory) {
  const std::string config = qEnvironmentVariable("XDG_CONFIG_HOME").toStdString();
  EXPECT_EQ(LoopTestMarkerPath(), config + "/Zyphex/LoopTest.ini");
}

}  // namespace
}  // namespace windowtest
