// The window position record and its round trip through the settings.
#include <QSettings>
#include <memory>

#include "app/window/WindowPlacement.h"
#include "app/window/WindowTestSupport.h"

namespace windowtest {
namespace {

TEST(WindowPlacementRecord, ElevenLittleEndianFieldsWithLengthZero) {
  WindowPlacement placement;
  placement.m_Flags = 2;
  placement.m_ShowCmd = SHOW_MAXIMIZED;
  placement.m_Left = 0x01020304;
  placement.m_Top = -2;
  placement.m_Right = 800;
  placement.m_Bottom = 600;
  const QByteArray bytes = placement.Encode();
  ASSERT_EQ(bytes.size(), 44);
  EXPECT_EQ(bytes.left(4), QByteArray(4, '\0'));
  EXPECT_EQ(bytes.mid(4, 4), QByteArray::fromHex("02000000"));
  EXPECT_EQ(bytes.mid(8, 4), QByteArray::fromHex("03000000"));
  EXPECT_EQ(bytes.mid(12, 4), QByteArray::fromHex("ffffffff"));  // minimised position unset
  EXPECT_EQ(bytes.mid(28, 4), QByteArray::fromHex("04030201"));
  EXPECT_EQ(bytes.mid(32, 4), QByteArray::fromHex("feffffff"));
  EXPECT_EQ(bytes.mid(40, 4), QByteArray::fromHex("58020000"));

  WindowPlacement back;
  ASSERT_TRUE(back.Decode(bytes));
  EXPECT_EQ(back.m_ShowCmd, SHOW_MAXIMIZED);
  EXPECT_EQ(back.m_Left, 0x01020304);
  EXPECT_EQ(back.m_Top, -2);
  EXPECT_EQ(back.m_Bottom, 600);
  EXPECT_FALSE(back.Decode(bytes.left(43)));
  EXPECT_FALSE(back.Decode(bytes + QByteArray(1, '\0')));
}

class PlacementTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    Settings()->remove("Settings");
  }
  static std::unique_ptr<QSettings> Settings() { return std::unique_ptr<QSettings>(NewWindowSettings()); }
  static QByteArray Stored() { return Settings()->value("Settings/Window Position").toByteArray(); }
};

TEST_F(PlacementTest, KeyedByCompanyAndExecutableName) {
  EXPECT_EQ(Settings()->organizationName(), "Zyphex");
  EXPECT_EQ(Settings()->applicationName(), QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

TEST_F(PlacementTest, NormalWindowComesBackWhereItWas) {
  CQelOneClickDlg& dialog = OpenDialog();
  dialog.setGeometry(120, 90, 640, 300);
  QCoreApplication::processEvents();
  ModalResponder responder(QMessageBox::Yes);
  dialog.close();  // confirmed close saves
  ASSERT_EQ(Stored().size(), 44);
  WindowPlacement saved;
  ASSERT_TRUE(saved.Decode(Stored()));
  EXPECT_EQ(saved.m_Length, 0);
  EXPECT_EQ(saved.m_ShowCmd, SHOW_NORMAL);
  EXPECT_EQ(QRect(saved.m_Left, saved.m_Top, saved.m_Right - saved.m_Left, saved.m_Bottom - saved.m_Top),
            QRect(120, 90, 640, 300));

  m_Dialog.reset();
  CQelOneClickDlg& again = OpenDialog();
  EXPECT_EQ(again.geometry(), QRect(120, 90, 640, 300));
  EXPECT_FALSE(again.isMaximized());
}

TEST_F(PlacementTest, MaximisedComesBackMaximised) {
  CQelOneClickDlg& dialog = OpenDialog();
  dialog.showMaximized();
  QCoreApplication::processEvents();
  SaveWindowPlacement(dialog);
  WindowPlacement saved;
  ASSERT_TRUE(saved.Decode(Stored()));
  EXPECT_EQ(saved.m_ShowCmd, SHOW_MAXIMIZED);
  m_Dialog.reset();
  CQelOneClickDlg& again = OpenDialog();
  EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
}

TEST_F(PlacementTest, MinimisedComesBackNormal) {
  CQelOneClickDlg& dialog = OpenDialog();
  dialog.setGeometry(50, 60, 500, 250);
  dialog.showMinimized();
  QCoreApplication::processEvents();
  SaveWindowPlacement(dialog);
  WindowPlacement saved;
  ASSERT_TRUE(saved.Decode(Stored()));
  EXPECT_EQ(saved.m_ShowCmd, SHOW_NORMAL);
  m_Dialog.reset();
  CQelOneClickDlg& again = OpenDialog();
  EXPECT_FALSE(again.isMinimized());
  EXPECT_FALSE(again.isMaximized());
  EXPECT_EQ(again.size(), QSize(500, 250));
}

TEST_F(PlacementTest, RecordOfAnotherSizeIsIgnored) {
  WindowPlacement placement;
  placement.m_Left = 10;
  placement.m_Top = 10;
  placement.m_Right = 510;
  placement.m_Bottom = 310;
  Settings()->setValue("Settings/Window Position", placement.Encode() + "x");
  CQelOneClickDlg& dialog = OpenDialog();
  EXPECT_NE(dialog.size(), QSize(500, 300));
  m_Dialog.reset();
  Settings()->setValue("Settings/Window Position", placement.Encode());
  EXPECT_EQ(OpenDialog().size(), QSize(500, 300));
}

}  // namespace
}  // namespace windowtest
