// The window position between runs, through the settings.
#include <QSettings>

#include "window/qt/WindowPlacement.h"
#include "support/window/WindowTestSupport.h"

namespace windowtest {

// A confirmed close saves the placement as eleven little-endian fields, a
// minimised window as a normal one; the next window restores it. A record
// of another size is ignored.
TEST_F(WindowFixture, ConfirmedCloseSavesWhatTheNextWindowRestores) {
  std::unique_ptr<QSettings> settings(NewWindowSettings());
  ModalResponder responder(QMessageBox::Yes);
  for (const Qt::WindowState state : {Qt::WindowNoState, Qt::WindowMaximized, Qt::WindowMinimized}) {
    SCOPED_TRACE(static_cast<int>(state));
    CQelOneClickDlg& dialog = OpenDialog();
    dialog.showNormal();
    dialog.setGeometry(120, 90, 640, 300);
    dialog.setWindowState(state);
    QCoreApplication::processEvents();
    dialog.close();
    EXPECT_EQ(settings->value("Settings/Window Position").toByteArray().toHex(),
              QByteArray("0000000000000000") + (state == Qt::WindowMaximized ? "03" : "01") + "000000" +
                  QByteArray(32, 'f') + "78000000" "5a000000" "f8020000" "86010000");  // 120, 90, 760, 390
    EXPECT_EQ(OpenDialog().windowState(), state == Qt::WindowMaximized ? Qt::WindowMaximized : Qt::WindowNoState);
    EXPECT_EQ(m_Dialog->normalGeometry(), QRect(120, 90, 640, 300));
  }
  const QByteArray other = QByteArray(36, '\0') + QByteArray::fromHex("f40100002c010000");  // 0, 0, 500, 300
  settings->setValue("Settings/Window Position", other + '\0');
  EXPECT_NE(OpenDialog().size(), QSize(500, 300));
}

}  // namespace windowtest
