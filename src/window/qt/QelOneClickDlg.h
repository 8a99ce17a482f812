// The tool's only window: the Check and Upgrade buttons above the module
// list. It runs the Check and the upgrade pass on worker threads, keeps the
// two buttons in step with them (both disabled while either runs, so the two
// never overlap), and handles the control codes the workers post to it.
#pragma once

#include <QDialog>
#include <QIcon>
#include <atomic>
#include <functional>
#include <thread>

#include "app/window/MyListCtrl.h"
#include "app/window/WarningBox.h"
#include "app/window/WindowOptions.h"
#include "app/window/XPStyleButtonST.h"
#include "engine/UpgradeEngine.h"

class CQelOneClickDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CQelOneClickDlg(const WindowOptions& options, QWidget* parent = nullptr);
  // Waits for a worker still running (serving its row updates meanwhile),
  // then destroys the engine, the list, the Upgrade and the Check button.
  ~CQelOneClickDlg() override;

  // The commands, on the window's thread.
  void OnCheck();
  void OnUpgrade();
  void OnHelp();
  // Places buttons and list for the stored layout size and fits the columns.
  void LayoutControls();
  // A later start of the program asks for this: a minimised window comes
  // back to normal; it is never raised or activated.
  void RestoreIfMinimized();
  // Posts a control code to the window (any thread).
  void PostControl(int code);

  CXPStyleButtonST& CheckButton() { return m_CheckButton; }
  CXPStyleButtonST& UpgradeButton() { return m_UpgradeButton; }
  CMyListCtrl& List() { return m_List; }
  UpgradeEngine& Engine() { return m_Engine; }
  bool LoopTestMode() const { return m_LoopTest; }
  bool PackagesEmbedded() const { return m_PackagesEmbedded; }
  QSize StoredLayoutSize() const { return QSize(m_LayoutWidth, m_LayoutHeight); }
  // True while the upgrade pass runs, or is about to (close is refused).
  bool UpgradeInProcess() const;
  bool CheckRunning() const { return m_CheckRunning; }

  // Opens the extracted guide; the desktop's handler unless replaced.
  std::function<bool(const QString&)> m_HelpOpener;

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Escape, the close box and the system menu all end here.
  void reject() override;

 private:
  void InitDialog();
  void LoadEmbeddedPackages();
  void OnControl(int code);
  void RunCheckThread();
  void OnCheckThreadEnd(bool success);
  void StartDelay(unsigned programMs, int code);
  void WaitForWorkers();
  void JoinCheckThread();
  void JoinUpgradeThread();

  WindowOptions m_Options;
  // Destroyed in reverse order: engine, list, Upgrade, Check.
  CXPStyleButtonST m_CheckButton;
  CXPStyleButtonST m_UpgradeButton;
  CMyListCtrl m_List;
  UpgradeEngine m_Engine;
  CWarningBoxSink m_Notices;
  QIcon m_Icon;
  int m_LayoutWidth = 0;
  int m_LayoutHeight = 0;
  bool m_PackagesEmbedded = false;
  bool m_LoopTest = false;
  std::thread m_CheckThread;
  std::thread m_UpgradeThread;
  std::atomic<bool> m_CheckRunning{false};
  std::atomic<bool> m_UpgradeRunning{false};
  bool m_Closing = false;
};
