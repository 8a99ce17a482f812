// The window through Checks and an Upgrade against the simulator: its
// buttons, its rows and its pictures (check.png, upgrade.png). Part of the
// offscreen window tests, and run again under Xvfb for real pictures.
#include <QFile>

#include "support/window/WindowTestSupport.h"

extern std::string g_ShotDir;

namespace windowtest {

// Pixels of the list near a colour (smoothed glyph edges blend into the background).
int CountNear(const QImage& image, const QRect& area, QRgb colour) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      count += std::abs(qRed(pixel) - qRed(colour)) < 60 && std::abs(qGreen(pixel) - qGreen(colour)) < 60 &&
               std::abs(qBlue(pixel) - qBlue(colour)) < 60;
    }
  return count;
}

class ScreenshotTest : public WindowFixture {
 protected:
  // Blue and red pixels of the list in a picture saved as name.
  std::pair<int, int> Shot(const std::string& name) {
    QTest::qWait(100);
    const QImage image = m_Dialog->grab().toImage();
    EXPECT_TRUE(image.save(QString::fromStdString((g_ShotDir.empty() ? m_Packages.Path() : g_ShotDir) + "/" + name)));
    const QRect list = m_Dialog->List().geometry();
    return {CountNear(image, list, qRgb(0, 0, 255)), CountNear(image, list, qRgb(255, 0, 0))};
  }
};

// A missing and a conflicting package keep Upgrade disabled; once they are
// fixed a new Check allows the Upgrade, during which closing is refused.
TEST_F(ScreenshotTest, ChecksAndUpgradeDriveTheButtonsAndRows) {
  MakeFittingPackages(m_Packages.Path());
  MakePackage(m_Packages.Path(), MODULE_APP, "1.3.0.0");
  QFile::remove(QString::fromStdString(m_Packages.File("pkg0.bin")));
  m_SimOptions.m_NewFirmwareVersion = "2.1.5.0";
  StartSim();
  CQelOneClickDlg& dialog = OpenDialog();
  dialog.resize(900, 300);
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  EXPECT_EQ(Buttons(), "Cu>C");
  ModalResponder responder;
  QTest::keyClick(&dialog, Qt::Key_Return);  // Check is the default button
  EXPECT_EQ(Buttons().left(2), "cu");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Buttons(), "Cu>C");
  EXPECT_EQ(Column(COL_STATUS), QStringList({"Not found", "Version does not match", "Waiting for the upgrade",
                                             "Waiting for the upgrade", "Waiting for the upgrade"}));
  const QString grey = dialog.List().palette().color(QPalette::Disabled, QPalette::Text).name();
  EXPECT_EQ(Column(STATUS_COLOURS), QStringList({grey, "#ff0000", "#0000ff", "#0000ff", "#0000ff"}));
  const auto [blue, red] = Shot("check.png");
  EXPECT_GT(blue, 20);
  EXPECT_GT(red, 20);

  MakeFittingPackages(m_Packages.Path());
  Press(dialog.CheckButton());
  EXPECT_EQ(Buttons().left(2), "cu");
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(Buttons(), "CU>U");
  EXPECT_EQ(Column(COL_CURRENT), QStringList({"1.2.3.4", "1.2.3.4", "1.2.3.4", "2.1.0.7", "3.0.1.2"}));
  EXPECT_EQ(Column(COL_UPGRADE), QStringList({"1.2.3.10", "1.2.3.11", "1.2.3.12", "2.1.5.0", "3.0.1.9"}));
  EXPECT_EQ(Column(COL_STATUS), QStringList(5, "Waiting for the upgrade"));
  EXPECT_EQ(Column(STATUS_COLOURS), QStringList(5, "#0000ff"));

  Press(dialog.UpgradeButton());
  EXPECT_EQ(Buttons().left(2), "cu");
  dialog.close();
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_TRUE(WaitIdle(60000));
  EXPECT_EQ(Buttons(), "Cu>C");
  for (const QString& status : Column(COL_STATUS)) EXPECT_TRUE(status.startsWith("Download successfully (00:")) << status.toStdString();
  EXPECT_EQ(Column(STATUS_COLOURS), QStringList(5, "#0000ff"));
  EXPECT_EQ(Column(COL_PERCENT).value(MODULE_FIRMWARE), "100%");
  EXPECT_EQ(m_Sim->RouterImages().size(), 3u);
  EXPECT_EQ(responder.m_Boxes, QStringList{"! Warning: The upgrade is in process. Please wait!"});
  const auto [blueAfter, redAfter] = Shot("upgrade.png");
  EXPECT_GT(blueAfter, 100);  // five results
  EXPECT_EQ(redAfter, 0);
}

}  // namespace windowtest
