// Under a display server: pictures of the window after a Check and after an
// Upgrade against the simulator, saved as check.png and upgrade.png.
#include <QImage>
#include <QPixmap>

#include "app/window/WindowTestSupport.h"

extern std::string g_ShotDir;

namespace windowtest {
namespace {

// Pixels close to a colour inside the list (status texts; the edges of
// smoothed glyphs blend into the background).
int CountColour(const QImage& image, const QRect& area, QRgb colour) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      count += std::abs(qRed(pixel) - qRed(colour)) < 60 && std::abs(qGreen(pixel) - qGreen(colour)) < 60 &&
               std::abs(qBlue(pixel) - qBlue(colour)) < 60;
    }
  return count;
}

class ScreenshotTest : public WindowFixture {};

TEST_F(ScreenshotTest, WindowAfterCheckAndAfterUpgrade) {
  const std::string dir = g_ShotDir.empty() ? m_Packages.Path() : g_ShotDir;
  MakeFittingPackages(m_Packages.Path());
  MakePackage(m_Packages.Path(), MODULE_APP, "1.3.0.0");  // one red row after the Check
  m_SimOptions.m_NewFirmwareVersion = "2.1.5.0";
  StartSim();
  CQelOneClickDlg& dialog = OpenDialog();
  dialog.resize(900, 300);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  ModalResponder responder;

  Press(dialog.CheckButton());
  ASSERT_TRUE(WaitIdle());
  QTest::qWait(100);
  const QImage check = dialog.grab().toImage();
  ASSERT_TRUE(check.save(QString::fromStdString(dir + "/check.png")));
  const QRect list = dialog.List().geometry();
  EXPECT_GT(CountColour(check, list, qRgb(0, 0, 255)), 20);  // "Waiting for the upgrade"
  EXPECT_GT(CountColour(check, list, qRgb(255, 0, 0)), 20);  // "Version does not match"
  EXPECT_FALSE(dialog.UpgradeButton().isEnabled());

  // Remove the conflict and upgrade everything.
  QFile::remove(QString::fromStdString(m_Packages.File("pkg1.bin")));
  MakePackage(m_Packages.Path(), MODULE_APP, "1.2.3.11");
  Press(dialog.CheckButton());
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(dialog.UpgradeButton().isEnabled());
  Press(dialog.UpgradeButton());
  ASSERT_TRUE(WaitIdle(60000));
  QTest::qWait(100);
  const QImage upgrade = dialog.grab().toImage();
  ASSERT_TRUE(upgrade.save(QString::fromStdString(dir + "/upgrade.png")));
  EXPECT_GT(CountColour(upgrade, list, qRgb(0, 0, 255)), 100);  // five blue results
  EXPECT_EQ(CountColour(upgrade, list, qRgb(255, 0, 0)), 0);
  EXPECT_TRUE(responder.m_Boxes.empty());
}

}  // namespace
}  // namespace windowtest
