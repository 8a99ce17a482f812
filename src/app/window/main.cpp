// qel-upgrade: the window. One instance per user; a later start restores a
// minimised first window and ends silently. The window runs as a modal
// dialog until the user closes it.
#include <QApplication>
#include <QTimer>
#include <memory>

#include "app/window/QelOneClickDlg.h"
#include "app/window/SingleInstance.h"
#include "app/window/WindowOptions.h"
#include "packages/PackageDirectory.h"

int main(int argc, char** argv) {
  WindowOptions options;
  const int exitCode = ParseWindowOptions(argc, argv, &options);
  if (exitCode >= 0) return exitCode;
  ApplyGatewayOptions(options);

  QApplication app(argc, argv);
  CSingleInstance instance;
  if (!instance.Acquire()) {
    instance.NotifyRunning();
    return 0;
  }
  // Settled once, so that an installed copy makes its package folder at the
  // first start, where the user can see it before the first Check.
  options.m_Dir = PackageDirectory(options.m_Dir);
  auto dialog = std::make_unique<CQelOneClickDlg>(options);
  QObject::connect(&instance, &CSingleInstance::RestoreRequested, dialog.get(),
                   &CQelOneClickDlg::RestoreIfMinimized);
  // Lets an unattended start (the package's install test) end by itself.
  if (qEnvironmentVariableIsSet("QEL_UPGRADE_CLOSE_AFTER_START"))
    QTimer::singleShot(0, dialog.get(), &QDialog::accept);
  dialog->exec();
  dialog.reset();
  return 0;
}
