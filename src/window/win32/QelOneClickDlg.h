// The tool's only window on Windows: the dialog of template 102, whose
// class "QEL_UPGRADE_DLG" is a copy of the system dialog class, with the
// owner-drawn Check and Upgrade buttons above the module list. What it does
// is CWindowController's; the dialog procedure hands it the button presses,
// WM_APP_CONTROL codes and close requests, and lays the window out for its
// size and its screen's DPI.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/WindowController.h"
#include "log/Notice.h"
#include "window/WindowOptions.h"
#include "window/win32/ButtonST.h"
#include "window/win32/MyListCtrl.h"

// Runs a std::function<void()> (lParam) on the window's thread.
constexpr UINT WM_APP_RUN = WM_APP + 502;

// Registers "QEL_UPGRADE_DLG" once per process.
bool RegisterWindowClass();

class CQelOneClickDlg : private IWindowView, private INoticeSink {
 public:
  // options.m_LoopTestMarker empty: "C:\LoopTest.ini".
  explicit CQelOneClickDlg(const WindowOptions& options);
  // Closes the window if it is still open, then waits for the workers and
  // destroys the engine, the list, the Upgrade and the Check button.
  ~CQelOneClickDlg() override;

  // The program: runs the dialog until it is closed.
  void DoModal();
  // Tests: opens the dialog and returns; the caller serves its messages.
  HWND Create();
  HWND Handle() const { return m_Dialog; }

  void OnHelp();
  void LayoutControls();
  int Dpi() const;

  CXPStyleButtonST& CheckButton() { return m_CheckButton; }
  CXPStyleButtonST& UpgradeButton() { return m_UpgradeButton; }
  CMyListCtrl& List() { return m_List; }
  CWindowController& Controller() { return m_Controller; }

  // Shows a modal box captioned "Warning" owned by the window (style: the
  // MB_ flags); returns the button pressed. Tests answer in its place.
  std::function<int(const std::wstring& text, UINT style)> m_MessageBox;
  // Opens the extracted guide; the shell's "open" unless replaced.
  std::function<bool(const std::wstring& path)> m_HelpOpener;

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnCommand(int id);
  void OnSize(int width, int height);
  bool OnNotify(NMHDR& header, LRESULT* result);
  void OnPaintMinimised();
  void SetInitialSize();
  void SetButtonIcons();
  LayoutSize MinimumTrack() const;
  void Close();

  // IWindowView: the buttons and the window...
  void EnableButton(WindowButton button, bool enabled) override;
  void FocusButton(WindowButton button) override;
  void BringToFront() override;
  void SavePlacement() override;
  // ...its boxes...
  void ShowWarningBox(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  // ...and its messages.
  void PostControl(int code) override;
  void RunOnWindowThread(const std::function<void()>& work) override;
  void StartDelay(int realMs, int code) override;
  // INoticeSink: the core's notices, from any thread.
  void ShowNotice(const std::string& caption, const std::string& text) override;

  bool m_Modal = false;
  HWND m_Dialog = nullptr;
  HICON m_Icon = nullptr;
  LayoutSize m_LayoutSize;
  // Destroyed in reverse order: engine (with the controller), list, Upgrade, Check.
  CXPStyleButtonST m_CheckButton;
  CXPStyleButtonST m_UpgradeButton;
  CMyListCtrl m_List;
  CWindowController m_Controller;
};
