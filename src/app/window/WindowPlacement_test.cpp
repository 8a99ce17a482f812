// The window position record and its round trip through the settings.
#include <QSettings>

#include "app/window/WindowPlacement.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

TEST(WindowPlacementRecord, ElevenLittleEndianFieldsWithLengthZero) {
  WindowPlacement placement{0, 2, SHOW_MAXIMIZED, -1, -1, -1, -1, 0x01020304, -2, 800, 600};
  const QByteArray bytes = placement.Encode();
  EXPECT_EQ(bytes.toHex(), "00000000" "02000000" "03000000" "ffffffffffffffffffffffffffffffff"
                           "04030201" "feffffff" "20030000" "58020000");
  WindowPlacement back;
  ASSERT_TRUE(back.Decode(bytes));
  EXPECT_EQ(back.Encode(), bytes);
  EXPECT_FALSE(back.Decode(bytes.left(43)));
  EXPECT_FALSE(back.Decode(bytes + '\0'));
}

class PlacementTest : public WindowFixture {
 protected:
  std::unique_ptr<QSettings> m_Settings{NewWindowSettings()};
};

// A confirmed close saves the placement; the next window restores it, a
// minimised one as a normal window.
TEST_F(PlacementTest, ConfirmedCloseSavesWhatTheNextWindowRestores) {
  const struct {
    Qt::WindowState m_State;
    int32_t m_ShowCmd;
    Qt::WindowState m_Restored;
  } cases[] = {{Qt::WindowNoState, SHOW_NORMAL, Qt::WindowNoState},
               {Qt::WindowMaximized, SHOW_MAXIMIZED, Qt::WindowMaximized},
               {Qt::WindowMinimized, SHOW_NORMAL, Qt::WindowNoState}};
  ModalResponder responder(QMessageBox::Yes);
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.m_State));
    CQelOneClickDlg& dialog = OpenDialog();
    dialog.showNormal();
    dialog.setGeometry(120, 90, 640, 300);
    dialog.setWindowState(c.m_State);
    QCoreApplication::processEvents();
    dialog.close();
    WindowPlacement saved;
    ASSERT_TRUE(saved.Decode(m_Settings->value("Settings/Window Position").toByteArray()));
    EXPECT_EQ(saved.m_ShowCmd, c.m_ShowCmd);
    EXPECT_EQ(QRect(saved.m_Left, saved.m_Top, saved.m_Right - saved.m_Left, saved.m_Bottom - saved.m_Top),
              QRect(120, 90, 640, 300));
    CQelOneClickDlg& again = OpenDialog();
    EXPECT_EQ(again.windowState(), c.m_Restored);
    EXPECT_EQ(again.normalGeometry(), QRect(120, 90, 640, 300));
  }
  // A record of another size is ignored.
  WindowPlacement other;
  other.m_Right = 500;
  other.m_Bottom = 300;
  m_Settings->setValue("Settings/Window Position", other.Encode() + 'x');
  EXPECT_NE(OpenDialog().size(), QSize(500, 300));
  m_Settings->setValue("Settings/Window Position", other.Encode());
  EXPECT_EQ(OpenDialog().size(), QSize(500, 300));
}

}  // namespace windowtest
