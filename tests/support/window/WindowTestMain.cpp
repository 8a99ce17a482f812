// The window tests' main and the pieces of WindowTestSupport.h.
#include <stdlib.h>
#include <sys/stat.h>

#include <QEventLoop>
#include <QSettings>

#include "app/window/WindowResources.h"
#include "support/window/WindowTestSupport.h"

std::string g_ShotDir;  // --shots=DIR: where the screenshot test saves its pictures

namespace windowtest {

ModalResponder::ModalResponder(QMessageBox::StandardButton answer) : m_Answer(answer) {
  QObject::connect(&m_Timer, &QTimer::timeout, [this] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    const QAbstractButton* no = box->button(QMessageBox::No);
    m_Boxes << QString("%1 %2: %3%4").arg(box->icon() == QMessageBox::Warning ? "!" : box->icon() == QMessageBox::Information ? "i" : "?",
                                          box->windowTitle(), box->text(), no && box->defaultButton() == no ? " [No]" : "");
    QAbstractButton* button = box->button(m_Answer);
    (button ? button : box->buttons().value(0))->click();
  });
  m_Timer.start(2);
}

bool WaitFor(const std::function<bool()>& condition, int realMs) {
  QEventLoop loop;
  QTimer poll, limit;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (condition()) loop.quit();
  });
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  poll.start(1);
  limit.start(realMs);
  if (!condition()) loop.exec();
  return condition();
}

WindowFixture::WindowFixture() : m_SimOptions(TestSimOptions(100)) {
  TheModuleTable().Clear();
  m_SimOptions.m_InstallMs = 10000;  // the router's result must not come before the pass waits for it
  m_Options.m_Dir = m_Packages.Path();
  m_Options.m_Broadcast = "127.255.255.255";
  m_Options.m_Port = m_SimOptions.m_Port;
  m_Options.m_LoopTestMarker = m_Packages.File("no-loop-test.ini");
}

WindowFixture::~WindowFixture() {
  m_Dialog.reset();
  if (m_Sim) m_Sim->Stop();
}

CQelOneClickDlg& WindowFixture::OpenDialog() {
  m_Dialog = std::make_unique<CQelOneClickDlg>(m_Options);
  m_Dialog->m_HelpOpener = [this](const QString& path) {
    m_Opened << path;
    return true;
  };
  m_Dialog->show();
  return *m_Dialog;
}

bool WindowFixture::WaitIdle(int realMs) {
  const bool idle = WaitFor([this] { return !m_Dialog->CheckRunning() && !m_Dialog->UpgradeInProcess(); }, realMs);
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  return idle;
}

}  // namespace windowtest

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).rfind("--shots=", 0) == 0) g_ShotDir = argv[i] + 8;
  testsupport::TempDir home;
  const std::string config = home.File("config"), runtime = home.File("runtime");
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("TMPDIR", home.Path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  mkdir(runtime.c_str(), 0700);
  QApplication app(argc, argv);
  InitWindowResources();
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(config));
  return RUN_ALL_TESTS();
}
