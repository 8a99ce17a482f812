#include "window/qt/WarningBox.h"

#include <QMessageBox>
#include <QWidget>

#include "window/qt/GuiThread.h"

void CWarningBoxSink::ShowNotice(const std::string& caption, const std::string& text) {
  if (m_Silent) return;
  RunOnGuiThread(m_Owner, [this, caption, text] {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, m_Owner);
    box.exec();
  });
}
