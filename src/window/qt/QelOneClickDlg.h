// The tool's only window on Linux: the Check and Upgrade buttons above the
// module list. What it does is CWindowController's; this class shows it
// with Qt and hands the controller the user's presses, the control codes
// and close requests.
#pragma once

#include <QDialog>
#include <QIcon>
#include <functional>

#include "app/WindowController.h"
#include "window/qt/MyListCtrl.h"
#include "window/qt/WarningBox.h"
#include "window/WindowOptions.h"
#include "window/qt/XPStyleButtonST.h"

class CQelOneClickDlg : public QDialog, private IWindowView {
  Q_OBJECT

 public:
  explicit CQelOneClickDlg(const WindowOptions& options, QWidget* parent = nullptr);
  // Waits for a worker still running (serving its row updates meanwhile),
  // then destroys the engine, the list, the Upgrade and the Check button.
  ~CQelOneClickDlg() override;

  // The commands, on the window's thread.
  void OnCheck() { m_Controller.OnCheck(); }
  void OnUpgrade() { m_Controller.OnUpgrade(); }
  void OnHelp();
  // Places buttons and list for the stored layout size and fits the columns.
  void LayoutControls();
  // A later start of the program asks for this: a minimised window comes
  // back to normal; it is never raised or activated.
  void RestoreIfMinimized();
  // Posts a control code to the window (any thread).
  void PostControl(int code) override;

  CXPStyleButtonST& CheckButton() { return m_CheckButton; }
  CXPStyleButtonST& UpgradeButton() { return m_UpgradeButton; }
  CMyListCtrl& List() { return m_List; }
  UpgradeEngine& Engine() { return m_Controller.Engine(); }
  bool LoopTestMode() const { return m_Controller.LoopTestMode(); }
  bool PackagesEmbedded() const { return m_Controller.PackagesEmbedded(); }
  QSize StoredLayoutSize() const { return QSize(m_LayoutWidth, m_LayoutHeight); }
  bool UpgradeInProcess() const { return m_Controller.UpgradeInProcess(); }
  bool CheckRunning() const { return m_Controller.CheckRunning(); }

  // Opens the extracted guide; the desktop's handler unless replaced.
  std::function<bool(const QString&)> m_HelpOpener;

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Escape, the close box and the system menu all end here.
  void reject() override;

 private:
  // IWindowView
  void RunOnWindowThread(const std::function<void()>& work) override;
  void StartDelay(int realMs, int code) override;
  void EnableButton(WindowButton button, bool enabled) override;
  void FocusButton(WindowButton button) override;
  void BringToFront() override;
  void ShowWarningBox(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void SavePlacement() override;

  void InitDialog();
  CXPStyleButtonST& Button(WindowButton button) { return button == BUTTON_CHECK ? m_CheckButton : m_UpgradeButton; }

  // Destroyed in reverse order: engine (with the controller), list, Upgrade, Check.
  CXPStyleButtonST m_CheckButton;
  CXPStyleButtonST m_UpgradeButton;
  CMyListCtrl m_List;
  CWarningBoxSink m_Notices;
  CWindowController m_Controller;
  QIcon m_Icon;
  int m_LayoutWidth = 0;
  int m_LayoutHeight = 0;
};
