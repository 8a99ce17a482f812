// What the main window does, whatever toolkit shows it: it owns the upgrade
// engine, runs the Check and the upgrade pass on worker threads, keeps the
// two buttons in step with them (both disabled while either runs, so the two
// never overlap), handles the control codes of WM_APP_CONTROL, repeats Check
// and Upgrade in loop-test mode, and refuses a close while the pass runs.
// Each window implements IWindowView for it and hands its button presses,
// control codes and close requests to it.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "engine/UpgradeEngine.h"
#include "engine/UpgradeEvents.h"
#include "model/ModuleList.h"
#include "options/GatewayOptions.h"

// The private control message: the first application message number plus 500.
constexpr unsigned WM_APP_CONTROL = 0x8000 + 500;

// Its codes: what the pass and the Check tell the window, and the loop
// test's starts.
enum ControlCode {
  CTRL_UPGRADE_DONE = 0,
  CTRL_START_CHECK = 2,
  CTRL_START_UPGRADE = 3,
  CTRL_CHECK_FAILED = 4,
  CTRL_CHECK_DONE = 5,
};

constexpr unsigned LOOP_TEST_UPGRADE_DELAY_MS = 2000;
constexpr unsigned LOOP_TEST_CHECK_DELAY_MS = 35000;

enum WindowButton { BUTTON_CHECK, BUTTON_UPGRADE };

// The window as the controller sees it. Calls come on the window's thread
// unless marked "any thread".
class IWindowView {
 public:
  virtual ~IWindowView() = default;
  // Any thread: queues code for the window's thread, which hands it to
  // CWindowController::OnControl.
  virtual void PostControl(int code) = 0;
  // Any thread: runs work on the window's thread and returns when it is done.
  virtual void RunOnWindowThread(const std::function<void()>& work) = 0;
  // PostControl(code) after realMs real milliseconds, unless the window has
  // closed by then.
  virtual void StartDelay(int realMs, int code) = 0;
  virtual void EnableButton(WindowButton button, bool enabled) = 0;
  virtual void FocusButton(WindowButton button) = 0;
  virtual void BringToFront() = 0;
  // Modal boxes captioned "Warning", owned by the window: warning icon and
  // OK; information icon with Yes and No, No the default (true for Yes).
  virtual void ShowWarningBox(const std::string& text) = 0;
  virtual bool AskYesNo(const std::string& text) = 0;
  virtual void SavePlacement() = 0;
};

class CWindowController : private IUpgradeEvents {
 public:
  // loopTestMarker: the file whose existence at Start switches the
  // loop-test mode on. The list must outlive the controller.
  CWindowController(IWindowView& view, IModuleList& list, const GatewayOptions& options,
                    const std::string& loopTestMarker);
  // Joins the workers; the window must no longer need serving by then.
  ~CWindowController();
  CWindowController(const CWindowController&) = delete;
  CWindowController& operator=(const CWindowController&) = delete;

  // Once the window's controls exist: Check enabled and focused, Upgrade
  // disabled; the module type names, embedded packages and loop-test flag.
  void Start();
  // The commands, on the window's thread; ignored while a worker runs.
  void OnCheck();
  void OnUpgrade();
  void OnControl(int code);
  // The close confirmation. True when the window may close (its placement
  // is saved then).
  bool RequestClose();
  // The window goes: what the workers report from now on is dropped.
  void BeginClose() { m_Closing = true; }
  bool WorkersRunning() const { return m_CheckRunning || m_UpgradeRunning; }
  void JoinWorkers();

  bool CheckRunning() const { return m_CheckRunning; }
  // True while the upgrade pass runs, or is about to (close is refused).
  bool UpgradeInProcess() const;
  bool LoopTestMode() const { return m_LoopTest; }
  bool PackagesEmbedded() const { return m_PackagesEmbedded; }
  UpgradeEngine& Engine() { return m_Engine; }

 private:
  // The pass has ended: the window hears it on its own thread.
  void OnPassEnd() override { m_View.PostControl(CTRL_UPGRADE_DONE); }
  // False when a worker runs or the window closes; else both buttons are
  // disabled and the worker's last thread is joined.
  bool PrepareWorker(std::thread& worker);
  void RunCheckThread();
  void OnCheckEnd(bool success);
  void StartDelay(unsigned programMs, int code);
  void Join(std::thread& worker);

  IWindowView& m_View;
  IModuleList& m_List;
  GatewayOptions m_Options;
  std::string m_LoopTestMarker;
  UpgradeEngine m_Engine;
  bool m_PackagesEmbedded = false;
  bool m_LoopTest = false;
  std::atomic<bool> m_Closing{false};
  std::atomic<bool> m_CheckRunning{false};
  std::atomic<bool> m_UpgradeRunning{false};
  std::thread m_CheckThread;
  std::thread m_UpgradeThread;
};
