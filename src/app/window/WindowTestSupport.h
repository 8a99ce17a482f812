// Shared pieces of the window's tests: a responder that answers the modal
// message boxes the window opens (recording their texts), sample packages,
// and a fixture with the gateway simulator on loopback at a fast clock.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ModuleTable.h"
#include "app/window/QelOneClickDlg.h"
#include "net/Clock.h"
#include "packages/PackageBuilder.h"
#include "sim/GatewaySim.h"
#include "support/TestSupport.h"

namespace windowtest {

// Program time runs this many times faster in the window and the simulator.
constexpr double TIME_SCALE = 100;

// Answers every modal message box with the given button and keeps its
// caption, text and icon.
class ModalResponder {
 public:
  explicit ModalResponder(QMessageBox::StandardButton answer = QMessageBox::Ok) : m_Answer(answer) {
    QObject::connect(&m_Timer, &QTimer::timeout, [this] { Poll(); });
    m_Timer.start(2);
  }
  void SetAnswer(QMessageBox::StandardButton answer) { m_Answer = answer; }

  struct Box {
    QString m_Caption;
    QString m_Text;
    QMessageBox::Icon m_Icon;
    bool m_DefaultNo;
  };
  std::vector<Box> m_Boxes;
  QStringList Texts() const {
    QStringList texts;
    for (const Box& box : m_Boxes) texts << box.m_Text;
    return texts;
  }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    QAbstractButton* no = box->button(QMessageBox::No);
    m_Boxes.push_back({box->windowTitle(), box->text(), box->icon(), no && box->defaultButton() == no});
    QAbstractButton* button = box->button(m_Answer);
    if (!button) button = box->buttons().value(0);
    button->click();
  }

  QTimer m_Timer;
  QMessageBox::StandardButton m_Answer;
};

// Serves events without pausing until condition holds or realMs have passed.
// (QTest::qWaitFor sleeps between rounds, which would slow every row update
// of a worker waiting for the window's thread.)
inline bool WaitFor(const std::function<bool()>& condition, int realMs) {
  if (condition()) return true;
  QEventLoop loop;
  QTimer poll;
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (condition()) loop.quit();
  });
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  poll.start(1);
  limit.start(realMs);
  loop.exec();
  return condition();
}

inline std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return bytes;
}

// Writes one package of kind with version into dir.
inline void MakePackage(const std::string& dir, ModuleKind kind, const std::string& version, size_t length = 9000) {
  PackagePlan plan;
  plan.m_Kind = kind;
  plan.m_Version = version;
  plan.m_Units = {PackageUnit{0x00100000, Pattern(length, static_cast<uint8_t>(kind * 40 + 3))}};
  std::string reason;
  ASSERT_TRUE(WritePackageFile(plan, dir + "/pkg" + std::to_string(kind) + ".bin", &reason)) << reason;
}

// Five packages that fit the simulator's default versions (router 1.2.3.4,
// firmware 2.1.0.7, dashboard 3.0.1.2).
inline void MakeFittingPackages(const std::string& dir) {
  MakePackage(dir, MODULE_BOOT, "1.2.3.10");
  MakePackage(dir, MODULE_APP, "1.2.3.11");
  MakePackage(dir, MODULE_CUSTOMIZATION, "1.2.3.12");
  MakePackage(dir, MODULE_FIRMWARE, "2.1.5.0", 20000);
  MakePackage(dir, MODULE_DASHBOARD, "3.0.1.9", 12000);
}

class WindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Clock::SetScale(TIME_SCALE);
    TheModuleTable().Clear();
    m_Options.m_Dir = m_Packages.Path();
    m_Options.m_Broadcast = "127.255.255.255";
    m_Options.m_Port = testsupport::FreePort();
    m_Options.m_LoopTestMarker = m_Packages.File("no-loop-test.ini");
    m_SimOptions.m_Port = m_Options.m_Port;
    m_SimOptions.m_TimeScale = TIME_SCALE;
    // The router's result must not come before the pass waits for it.
    m_SimOptions.m_InstallMs = 10000;
  }

  void TearDown() override {
    m_Dialog.reset();
    if (m_Sim) m_Sim->Stop();
    TheModuleTable().Clear();
  }

  void StartSim() {
    m_Sim = std::make_unique<GatewaySim>(m_SimOptions);
    ASSERT_TRUE(m_Sim->Start());
  }

  CQelOneClickDlg& OpenDialog() {
    m_Dialog = std::make_unique<CQelOneClickDlg>(m_Options);
    m_Dialog->m_HelpOpener = [this](const QString& path) {
      m_Opened << path;
      return true;
    };
    m_Dialog->show();
    return *m_Dialog;
  }

  // Presses a button the way a user does, with the mouse.
  static void Press(QPushButton& button) { QTest::mouseClick(&button, Qt::LeftButton); }

  // Serves events until the window's workers are idle again and the last
  // posted control code was handled.
  bool WaitIdle(int realMs = 20000) {
    const bool idle = WaitFor([this] { return !m_Dialog->CheckRunning() && !m_Dialog->UpgradeInProcess(); }, realMs);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return idle;
  }

  QString Cell(int row, int column) const { return m_Dialog->List().CellText(row, column); }

  testsupport::TempDir m_Packages;
  WindowOptions m_Options;
  SimOptions m_SimOptions;
  std::unique_ptr<GatewaySim> m_Sim;
  std::unique_ptr<CQelOneClickDlg> m_Dialog;
  QStringList m_Opened;
};

}  // namespace windowtest
