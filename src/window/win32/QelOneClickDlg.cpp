#include "window/win32/QelOneClickDlg.h"

#include <shellapi.h>

#include <algorithm>

#include "app/WindowNames.h"
#include "platform/win32/WideText.h"
#include "window/win32/HelpFile.h"
#include "window/win32/ModuleVersion.h"
#include "window/win32/WindowPlacement.h"
#include "window/win32/resource.h"

namespace {

// A loop-test delay's timer id is this plus its control code.
constexpr UINT_PTR DELAY_TIMER = 100;

std::string LoopTestMarker(const WindowOptions& options) {
  return options.m_LoopTestMarker.empty() ? std::string("C:\\LoopTest.ini") : options.m_LoopTestMarker;
}

int ControlId(WindowButton button) { return button == BUTTON_CHECK ? IDC_CHECK : IDC_UPGRADE; }

}  // namespace

bool RegisterWindowClass() {
  static const bool registered = [] {
    // The system dialog class under the window's own name, so that a later
    // start finds the window by its class.
    WNDCLASSEXW dialogClass = {};
    dialogClass.cbSize = sizeof dialogClass;
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), L"#32770", &dialogClass)) return false;
    const std::wstring name = WideFromUtf8(WINDOW_CLASS_NAME);
    dialogClass.hInstance = GetModuleHandleW(nullptr);
    dialogClass.lpszClassName = name.c_str();
    return RegisterClassExW(&dialogClass) != 0;
  }();
  return registered;
}

CQelOneClickDlg::CQelOneClickDlg(const WindowOptions& options)
    : m_Controller(*this, m_List, options, LoopTestMarker(options)) {
  m_MessageBox = [this](const std::wstring& text, UINT style) {
    return MessageBoxW(m_Dialog, text.c_str(), WideFromUtf8(WARNING_CAPTION).c_str(), style);
  };
  SetNoticeSink(this);
}

CQelOneClickDlg::~CQelOneClickDlg() {
  m_Controller.BeginClose();
  // A worker's call to a window that is gone fails at once, so the workers
  // finish without the window's thread serving them.
  if (IsWindow(m_Dialog)) DestroyWindow(m_Dialog);
  m_Controller.JoinWorkers();
  SetNoticeSink(nullptr);
  if (m_Icon) DestroyIcon(m_Icon);
}

void CQelOneClickDlg::DoModal() {
  RegisterWindowClass();
  m_Modal = true;
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_QELONECLICK_DIALOG), nullptr, DialogProc,
                  reinterpret_cast<LPARAM>(this));
}

HWND CQelOneClickDlg::Create() {
  RegisterWindowClass();
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_QELONECLICK_DIALOG), nullptr, DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

void CQelOneClickDlg::Close() {
  m_Controller.BeginClose();
  if (m_Modal) {
    EndDialog(m_Dialog, IDCANCEL);
  } else {
    DestroyWindow(m_Dialog);
  }
}

INT_PTR CALLBACK CQelOneClickDlg::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    reinterpret_cast<CQelOneClickDlg*>(lParam)->m_Dialog = dialog;
  }
  auto* self = reinterpret_cast<CQelOneClickDlg*>(GetWindowLongPtrW(dialog, DWLP_USER));
  return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

void CQelOneClickDlg::OnInitDialog() {
  m_CheckButton.Attach(GetDlgItem(m_Dialog, IDC_CHECK));
  m_UpgradeButton.Attach(GetDlgItem(m_Dialog, IDC_UPGRADE));
  m_List.Attach(GetDlgItem(m_Dialog, IDC_LIST));
  m_Icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
  SendMessageW(m_Dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_Icon));
  SendMessageW(m_Dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_Icon));
  SetInitialSize();
  RestoreWindowPlacement(m_Dialog);
  SetWindowTextW(m_Dialog, WideFromUtf8(WindowTitle()).c_str());

  SetWindowTextW(m_CheckButton.Handle(), WideFromUtf8(LoadStringId(IDS_CHECK_BUTTON)).c_str());
  SetWindowTextW(m_UpgradeButton.Handle(), WideFromUtf8(LoadStringId(IDS_UPGRADE_BUTTON)).c_str());
  for (CButtonST* button : {static_cast<CButtonST*>(&m_CheckButton), static_cast<CButtonST*>(&m_UpgradeButton)})
    button->SetColor(BTNST_COLOR_FG_IN, RGB(255, 0, 0));
  SetButtonIcons();
  m_List.InsertColumns();
  RECT client;
  GetClientRect(m_Dialog, &client);
  OnSize(client.right, client.bottom);
  // F1 anywhere activates the window and opens the guide.
  SendMessageW(m_Dialog, WM_SETHOTKEY, VK_F1, 0);
  m_Controller.Start();
}

void CQelOneClickDlg::SetInitialSize() {
  // The template's units make another size in every font: the first size is
  // the same as on Linux, at the screen's DPI, around the template's centre.
  RECT frame = {0, 0, ScaleForDpi(INITIAL_CLIENT_WIDTH, Dpi()), ScaleForDpi(INITIAL_CLIENT_HEIGHT, Dpi())};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(m_Dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(m_Dialog, GWL_EXSTYLE)));
  RECT now;
  GetWindowRect(m_Dialog, &now);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int left = std::max(0, static_cast<int>(now.left + now.right - width) / 2);
  const int top = std::max(0, static_cast<int>(now.top + now.bottom - height) / 2);
  SetWindowPos(m_Dialog, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CQelOneClickDlg::SetButtonIcons() {
  m_CheckButton.SetIcon(IDI_CHECK, Dpi());
  m_UpgradeButton.SetIcon(IDI_UPGRADE, Dpi());
}

int CQelOneClickDlg::Dpi() const {
  // Windows 10 and later know each window's DPI; before, the screen's.
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (dpiForWindow && m_Dialog) return static_cast<int>(dpiForWindow(m_Dialog));
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : LAYOUT_DPI;
}

LayoutSize CQelOneClickDlg::MinimumTrack() const {
  // The frame metrics are read once, at the first use.
  static const int frameWidth = GetSystemMetrics(SM_CXSIZEFRAME);
  static const int frameHeight = GetSystemMetrics(SM_CYSIZEFRAME);
  static const int caption = GetSystemMetrics(SM_CYCAPTION);
  return MinimumTrackSize(frameWidth, frameHeight, caption, Dpi());
}

void CQelOneClickDlg::OnSize(int width, int height) {
  m_LayoutSize = ClampLayoutSize({width, height}, MinimumTrack());
  LayoutControls();
}

void CQelOneClickDlg::LayoutControls() {
  if (!m_List.Handle()) return;
  const DialogLayout layout = ComputeDialogLayout(m_LayoutSize, Dpi());
  const std::pair<HWND, LayoutRect> places[] = {
      {m_CheckButton.Handle(), layout.m_Check}, {m_UpgradeButton.Handle(), layout.m_Upgrade}, {m_List.Handle(), layout.m_List}};
  for (const auto& [control, r] : places) MoveWindow(control, r.m_Left, r.m_Top, r.m_Width, r.m_Height, TRUE);
  SendMessageW(m_List.Handle(), WM_SETREDRAW, FALSE, 0);
  m_List.FitColumns();
  SendMessageW(m_List.Handle(), WM_SETREDRAW, TRUE, 0);
  RedrawWindow(m_Dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CQelOneClickDlg::OnPaintMinimised() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(m_Dialog, &paint);
  RECT client;
  GetClientRect(m_Dialog, &client);
  const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_Icon);
  EndPaint(m_Dialog, &paint);
}

void CQelOneClickDlg::OnCommand(int id) {
  switch (id) {
    case IDC_CHECK:
      m_Controller.OnCheck();
      break;
    case IDC_UPGRADE:
      m_Controller.OnUpgrade();
      break;
    case IDCANCEL:  // Escape, the close box and the system menu
      if (m_Controller.RequestClose()) Close();
      break;
    default:  // IDOK: Enter with the default button disabled does nothing
      break;
  }
}

bool CQelOneClickDlg::OnNotify(NMHDR& header, LRESULT* result) {
  if (header.idFrom != IDC_LIST || header.code != NM_CUSTOMDRAW) return false;
  *result = m_List.OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
  return true;
}

void CQelOneClickDlg::OnHelp() {
  const std::wstring path = HelpFilePath();
  // A guide extracted before is opened as it is.
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && !ExtractHelp(path)) {
    m_MessageBox(WideFromUtf8(LoadStringId(IDS_HELP_MISSING)), MB_OK | MB_ICONWARNING);
    return;
  }
  if (m_HelpOpener) {
    m_HelpOpener(path);
  } else {
    ShellExecuteW(m_Dialog, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
}

INT_PTR CQelOneClickDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return FALSE;  // the focus is the controller's
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_APP_CONTROL:
      m_Controller.OnControl(static_cast<int>(wParam));
      return TRUE;
    case WM_APP_RUN:
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return TRUE;
    case WM_APP_LAYOUT:
    case WM_DISPLAYCHANGE:
      LayoutControls();
      return TRUE;
    case WM_TIMER:
      KillTimer(m_Dialog, wParam);
      PostControl(static_cast<int>(wParam - DELAY_TIMER));
      return TRUE;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      return FALSE;
    case WM_GETMINMAXINFO: {
      const LayoutSize track = MinimumTrack();
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {track.m_Width, track.m_Height};
      return TRUE;
    }
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetButtonIcons();
      SetWindowPos(m_Dialog, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return TRUE;
    }
    case WM_PAINT:
      if (!IsIconic(m_Dialog)) return FALSE;
      OnPaintMinimised();
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_HOTKEY) return FALSE;
      OnHelp();
      return TRUE;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlID == IDC_CHECK) m_CheckButton.DrawItem(item);
      if (item.CtlID == IDC_UPGRADE) m_UpgradeButton.DrawItem(item);
      return TRUE;
    }
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(*reinterpret_cast<NMHDR*>(lParam), &result)) return FALSE;
      SetWindowLongPtrW(m_Dialog, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) m_CheckButton.CancelHover(), m_UpgradeButton.CancelHover();
      return FALSE;
    case WM_SYSCOLORCHANGE:
      for (HWND child : {m_CheckButton.Handle(), m_UpgradeButton.Handle(), m_List.Handle()})
        SendMessageW(child, WM_SYSCOLORCHANGE, wParam, lParam);
      return FALSE;
    case WM_DESTROY:
      m_Controller.BeginClose();
      for (int code : {CTRL_START_CHECK, CTRL_START_UPGRADE}) KillTimer(m_Dialog, DELAY_TIMER + code);
      return FALSE;
    default:
      return FALSE;
  }
}

void CQelOneClickDlg::PostControl(int code) { PostMessageW(m_Dialog, WM_APP_CONTROL, static_cast<WPARAM>(code), 0); }

void CQelOneClickDlg::RunOnWindowThread(const std::function<void()>& work) {
  // Run at once on the window's own thread; from another, a message that
  // fails at once when the window is gone.
  SendMessageW(m_Dialog, WM_APP_RUN, 0, reinterpret_cast<LPARAM>(&work));
}

void CQelOneClickDlg::StartDelay(int realMs, int code) {
  SetTimer(m_Dialog, DELAY_TIMER + code, static_cast<UINT>(std::max(realMs, 1)), nullptr);
}

void CQelOneClickDlg::EnableButton(WindowButton button, bool enabled) {
  EnableWindow(GetDlgItem(m_Dialog, ControlId(button)), enabled);
}

void CQelOneClickDlg::FocusButton(WindowButton button) {
  // As the dialog moves the focus itself, so that the default button follows.
  SendMessageW(m_Dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(m_Dialog, ControlId(button))), TRUE);
}

void CQelOneClickDlg::BringToFront() { SetForegroundWindow(m_Dialog); }

void CQelOneClickDlg::ShowWarningBox(const std::string& text) { m_MessageBox(WideFromUtf8(text), MB_OK | MB_ICONWARNING); }

bool CQelOneClickDlg::AskYesNo(const std::string& text) {
  return m_MessageBox(WideFromUtf8(text), MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2) == IDYES;
}

void CQelOneClickDlg::SavePlacement() { SaveWindowPlacement(m_Dialog); }

void CQelOneClickDlg::ShowNotice(const std::string& caption, const std::string& text) {
  (void)caption;  // every box of the window is a "Warning"
  RunOnWindowThread([this, &text] { ShowWarningBox(text); });
}
