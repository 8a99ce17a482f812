// The window's tests: a responder for the modal message boxes the window
// opens, an event-serving wait, and a fixture with the gateway simulator on
// loopback at a fast clock. All tests run in one QApplication whose files
// (settings, log, help, lock) go to a private temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "packages/ModuleTable.h"
#include "window/qt/QelOneClickDlg.h"
#include "support/Packages.h"
#include "support/SimFixture.h"

// Readable failure messages for texts of the window.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace windowtest {

using namespace testsupport;

// Answers every modal message box with m_Answer (else its first button) and
// records it as "<icon> <caption>: <text>" (icon "!" warning, "i"
// information), followed by " [No]" when No is the default button.
struct ModalResponder {
  explicit ModalResponder(QMessageBox::StandardButton answer = QMessageBox::Ok) : m_Answer(answer) {
    QObject::connect(&m_Timer, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      const QAbstractButton* no = box->button(QMessageBox::No);
      m_Boxes << QString("%1 %2: %3%4").arg(box->icon() == QMessageBox::Warning ? "!" : "i", box->windowTitle(),
                                            box->text(), no && box->defaultButton() == no ? " [No]" : "");
      (box->button(m_Answer) ? box->button(m_Answer) : box->buttons().value(0))->click();
    });
    m_Timer.start(2);
  }
  QMessageBox::StandardButton m_Answer;
  QStringList m_Boxes;
  QTimer m_Timer;
};

// Serves events until condition holds or realMs have passed (without the
// 10 ms pauses of QTest::qWaitFor, which would slow every row update of a
// worker waiting for the window's thread).
inline bool WaitFor(const std::function<bool()>& condition, int realMs) {
  for (QDeadlineTimer limit(realMs); !condition() && !limit.hasExpired(); QThread::usleep(200))
    QCoreApplication::processEvents();
  return condition();
}

// A window on the packages folder m_Packages, finding the simulator (once
// started) by the loopback broadcast, with program time 100 times faster.
class WindowFixture : public ::testing::Test {
 protected:
  WindowFixture() : m_SimOptions(FastSimOptions(100)) {
    TheModuleTable().Clear();
    m_SimOptions.m_InstallMs = 10000;  // the router's result must not come before the pass waits for it
    AimAtSimulator(&m_Options, m_SimOptions, m_Packages.Path());
    m_Options.m_LoopTestMarker = m_Packages.File("no-loop-test.ini");
  }
  // Opens a new window in place of the last; F1 adds to m_Opened.
  CQelOneClickDlg& OpenDialog() {
    m_Dialog = std::make_unique<CQelOneClickDlg>(m_Options);
    m_Dialog->m_HelpOpener = [this](const QString& path) { m_Opened << path; return true; };
    m_Dialog->show();
    return *m_Dialog;
  }
  // Serves events until the window's workers are idle and the last posted
  // control code was handled.
  bool WaitIdle(int realMs = 20000) {
    const bool idle = WaitFor([this] { return !m_Dialog->CheckRunning() && !m_Dialog->UpgradeInProcess(); }, realMs);
    for (int round = 0; round < 2; ++round) QCoreApplication::processEvents();
    return idle;
  }
  // The texts of a column, row by row; for STATUS_COLOURS the colours the
  // Status cells are drawn in ("#0000ff").
  static constexpr int STATUS_COLOURS = -1;
  QStringList Column(int column) const {
    QStringList cells;
    for (int row = 0; row < m_Dialog->List().rowCount(); ++row)
      cells << (column == STATUS_COLOURS ? m_Dialog->List().StatusColour(row).name() : m_Dialog->List().CellText(row, column));
    return cells;
  }
  // The buttons: "C" Check enabled, "c" disabled, "U" / "u" the same for
  // Upgrade, then ">C" or ">U" for the one with the focus (else ">-").
  QString Buttons() const {
    const QWidget* focus = m_Dialog->focusWidget();
    return QString(m_Dialog->CheckButton().isEnabled() ? "C" : "c") + (m_Dialog->UpgradeButton().isEnabled() ? "U" : "u") +
           (focus == &m_Dialog->CheckButton() ? ">C" : focus == &m_Dialog->UpgradeButton() ? ">U" : ">-");
  }

  TempDir m_Packages;
  WindowOptions m_Options;
  ScopedClockScale m_Clock{100};
  SimOptions m_SimOptions;
  std::unique_ptr<GatewaySim> m_Sim;
  std::unique_ptr<CQelOneClickDlg> m_Dialog;  // goes before the simulator
  QStringList m_Opened;
};

}  // namespace windowtest
