#include "window/qt/WindowProgram.h"

#include <QMessageBox>
#include <QTimer>
#include <memory>

#include "window/qt/QelOneClickDlg.h"
#include "window/qt/SingleInstance.h"
#include "window/WindowOptions.h"
#include "log/Notice.h"
#include "packages/PackageDirectory.h"

namespace {

// Owned by no window: there is none yet.
void ShowStartWarning(const QString& text) {
  QMessageBox box(QMessageBox::Warning, WARNING_CAPTION, text, QMessageBox::Ok);
  box.exec();
}

}  // namespace

int RunWindowProgram(int argc, char** argv) {
  WindowOptions options;
  std::string error;
  const int exitCode = ParseWindowOptions(argc, argv, &options, &error, "qel-upgrade", QT_OPTIONS_FOOTER);
  if (exitCode >= 0) {
    if (!error.empty()) ShowStartWarning(QString::fromStdString(error));
    return exitCode;
  }
  if (!ValidateGatewayOptions(options, &error)) {
    ShowStartWarning(QString::fromStdString(error));
    return 2;
  }
  ApplyGatewayOptions(options);

  CSingleInstance instance;
  if (!instance.Acquire()) {
    if (!instance.Error().isEmpty()) {
      ShowStartWarning(instance.Error());
      return 1;
    }
    instance.NotifyRunning();
    return 0;
  }
  // Settled once, so that an installed copy makes its package folder at the
  // first start, where the user can see it before the first Check.
  options.m_Dir = PackageDirectory(options.m_Dir);
  auto dialog = std::make_unique<CQelOneClickDlg>(options);
  QObject::connect(&instance, &CSingleInstance::RestoreRequested, dialog.get(), &CQelOneClickDlg::RestoreIfMinimized);
  // Lets an unattended start (the package's install test) end by itself.
  if (qEnvironmentVariableIsSet("QEL_UPGRADE_CLOSE_AFTER_START")) QTimer::singleShot(0, dialog.get(), &QDialog::accept);
  dialog->exec();
  // Before the window objects go (a Check may still be winding down), so
  // that a start right after the close is not taken for a second instance.
  instance.Release();
  dialog.reset();
  return 0;
}
