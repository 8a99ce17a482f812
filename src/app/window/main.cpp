// qel-upgrade: the window. One instance per user; a later start restores a
// minimised first window and ends silently. The window runs as a modal
// dialog until the user closes it.
#include <QApplication>
#include <memory>

#include "app/window/QelOneClickDlg.h"
#include "app/window/SingleInstance.h"
#include "app/window/WindowOptions.h"

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
  auto dialog = std::make_unique<CQelOneClickDlg>(options);
  QObject::connect(&instance, &CSingleInstance::RestoreRequested, dialog.get(),
                   &CQelOneClickDlg::RestoreIfMinimized);
  dialog->exec();
  dialog.reset();
  return 0;
}
