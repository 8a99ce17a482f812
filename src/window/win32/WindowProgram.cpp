#include "window/win32/WindowProgram.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <vector>

#include "platform/SocketsStartup.h"
#include "app/WindowNames.h"
#include "packages/PackageDirectory.h"
#include "platform/SystemError.h"
#include "platform/win32/WideText.h"
#include "window/WindowOptions.h"
#include "window/win32/QelOneClickDlg.h"

namespace {

void ShowStartBox(const std::string& text, const char* caption, UINT icon) {
  MessageBoxW(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(), MB_OK | icon);
}

// What the start-up shows, before there is a window.
// The program's arguments as UTF-8, the program's name first.
std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; wide && i < count; ++i) arguments.push_back(Utf8FromWide(std::wstring(wide[i])));
  LocalFree(wide);
  return arguments;
}

// Another instance runs: its window comes back if minimised, nothing else.
void RestoreFirstInstance() {
  const HWND first = FindWindowW(WideFromUtf8(WINDOW_CLASS_NAME).c_str(), nullptr);
  if (first && IsIconic(first)) ShowWindow(first, SW_RESTORE);
}

}  // namespace

int RunWindowProgram() {
  std::vector<std::string> arguments = CommandLineArguments();
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  WindowOptions options;
  std::string message;
  const int exitCode = ParseWindowOptions(static_cast<int>(argv.size()), argv.data(), &options, &message, "QelUpgrade");
  if (exitCode >= 0) {
    if (exitCode == 0) ShowStartBox(message, "QEL Upgrade", MB_ICONINFORMATION);
    else ShowStartBox(message, WARNING_CAPTION, MB_ICONWARNING);
    return exitCode;
  }
  if (!ValidateGatewayOptions(options, &message)) {
    ShowStartBox(message, WARNING_CAPTION, MB_ICONWARNING);
    return 2;
  }
  ApplyGatewayOptions(options);

  RegisterWindowClass();
  const HANDLE mutex = CreateMutexW(nullptr, TRUE, WideFromUtf8(SINGLE_INSTANCE_KEY).c_str());
  if (!mutex) {
    ShowStartBox(SystemErrorText(static_cast<int>(GetLastError())), WARNING_CAPTION, MB_ICONWARNING);
    return 1;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // The handle stays open: the process's end releases it.
    RestoreFirstInstance();
    return 0;
  }
  std::string warning;
  if (!StartSockets(&warning)) {
    ShowStartBox(warning, WARNING_CAPTION, MB_ICONWARNING);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 1;
  }
  const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // Settled once, as the package folder does not change while the window runs.
  options.m_Dir = PackageDirectory(options.m_Dir);
  auto dialog = std::make_unique<CQelOneClickDlg>(options);
  dialog->DoModal();
  // Before the window objects go (a Check may still be winding down), so
  // that a start right after the close is not taken for a second instance.
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  dialog.reset();
  return 0;
}
