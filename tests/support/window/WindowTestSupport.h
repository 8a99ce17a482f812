// The window's tests: a responder for the modal message boxes the window
// opens, an event-serving wait, and a fixture with the gateway simulator on
// loopback at a fast clock. All tests run in one QApplication whose files
// (settings, log, help, lock) go to a private temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>

#include "app/ModuleTable.h"
#include "app/window/QelOneClickDlg.h"
#include "support/Packages.h"
#include "support/SimFixture.h"

// Readable failure messages for texts of the window.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace windowtest {

using namespace testsupport;

// Answers every modal message box with the given button and records it as
// "<icon> <caption>: <text>" (icon "!" warning, "i" information), followed
// by " [No]" when No is the default button.
class ModalResponder {
 public:
  explicit ModalResponder(QMessageBox::StandardButton answer = QMessageBox::Ok);
  void SetAnswer(QMessageBox::StandardButton answer) { m_Answer = answer; }
  QStringList m_Boxes;

 private:
  QTimer m_Timer;
  QMessageBox::StandardButton m_Answer;
};

// Serves events without pausing until condition holds or realMs have passed.
// (QTest::qWaitFor sleeps between rounds, which would slow every row update
// of a worker waiting for the window's thread.)
bool WaitFor(const std::function<bool()>& condition, int realMs);

// A window on the packages folder m_Packages, finding the simulator (once
// started) by the loopback broadcast, with program time 100 times faster.
class WindowFixture : public ::testing::Test {
 protected:
  WindowFixture();
  ~WindowFixture() override;
  void StartSim() { m_Sim = testsupport::StartSim(m_SimOptions); }
  // Opens a new window in place of the last; F1 adds to m_Opened.
  CQelOneClickDlg& OpenDialog();
  // Presses a button the way a user does, with the mouse.
  static void Press(QPushButton& button) { QTest::mouseClick(&button, Qt::LeftButton); }
  // Serves events until the window's workers are idle and the last posted
  // control code was handled.
  bool WaitIdle(int realMs = 20000);
  QString Cell(int row, int column) const { return m_Dialog->List().CellText(row, column); }
  QColor StatusColour(int row) const { return m_Dialog->List().StatusColour(row); }

  TempDir m_Packages;
  WindowOptions m_Options;
  SimOptions m_SimOptions;
  std::unique_ptr<GatewaySim> m_Sim;
  std::unique_ptr<CQelOneClickDlg> m_Dialog;
  QStringList m_Opened;
};

}  // namespace windowtest
