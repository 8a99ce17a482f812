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
  void ExpectButtons(bool check, bool upgrade) {
    EXPECT_EQ(m_Dialog->CheckButton().isEnabled(), check);
    EXPECT_EQ(m_Dialog->UpgradeButton().isEnabled(), upgrade);
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
  ExpectButtons(true, false);
  ModalResponder responder;
  QTest::keyClick(&dialog, Qt::Key_Return);  // Check is the default button
  ExpectButtons(false, false);
  ASSERT_TRUE(WaitIdle());
  ExpectButtons(true, false);
  EXPECT_EQ(dialog.focusWidget(), &dialog.CheckButton());
  ASSERT_EQ(dialog.List().rowCount(), 5);
  EXPECT_EQ(Cell(MODULE_APP, COL_STATUS), "Version does not match");
  EXPECT_EQ(StatusColour(MODULE_APP), QColor(255, 0, 0));
  EXPECT_EQ(Cell(MODULE_BOOT, COL_STATUS), "Not found");
  EXPECT_EQ(StatusColour(MODULE_BOOT), dialog.List().palette().color(QPalette::Disabled, QPalette::Text));
  const auto [blue, red] = Shot("check.png");
  EXPECT_GT(blue, 20);
  EXPECT_GT(red, 20);

  MakeFittingPackages(m_Packages.Path());
  Press(dialog.CheckButton());
  ExpectButtons(false, false);
  ASSERT_TRUE(WaitIdle());
  ExpectButtons(true, true);
  EXPECT_EQ(dialog.focusWidget(), &dialog.UpgradeButton());
  const char* versions[][2] = {{"1.2.3.4", "1.2.3.10"}, {"1.2.3.4", "1.2.3.11"}, {"1.2.3.4", "1.2.3.12"},
                               {"2.1.0.7", "2.1.5.0"}, {"3.0.1.2", "3.0.1.9"}};
  for (int row = 0; row < 5; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(QStringList({Cell(row, COL_CURRENT), Cell(row, COL_UPGRADE), Cell(row, COL_STATUS)}),
              QStringList({versions[row][0], versions[row][1], "Waiting for the upgrade"}));
    EXPECT_EQ(StatusColour(row), QColor(0, 0, 255));
  }

  Press(dialog.UpgradeButton());
  ExpectButtons(false, false);
  dialog.close();
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_TRUE(WaitIdle(60000));
  ExpectButtons(true, false);
  EXPECT_EQ(dialog.focusWidget(), &dialog.CheckButton());
  for (int row = 0; row < 5; ++row) {
    EXPECT_TRUE(Cell(row, COL_STATUS).startsWith("Download successfully (00:")) << Cell(row, COL_STATUS).toStdString();
    EXPECT_EQ(StatusColour(row), QColor(0, 0, 255)) << row;
  }
  EXPECT_EQ(Cell(MODULE_FIRMWARE, COL_PERCENT), "100%");
  EXPECT_EQ(m_Sim->RouterImages().size(), 3u);
  EXPECT_EQ(responder.m_Boxes, QStringList{"! Warning: The upgrade is in process. Please wait!"});
  const auto [blueAfter, redAfter] = Shot("upgrade.png");
  EXPECT_GT(blueAfter, 100);  // five results
  EXPECT_EQ(redAfter, 0);
}

}  // namespace windowtest
