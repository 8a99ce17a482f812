#include "app/WindowController.h"

#include <filesystem>
#include <system_error>

#include "app/CheckProcedure.h"
#include "packages/ModuleTable.h"
#include "net/Clock.h"

namespace {

bool FileExists(const std::string& utf8Path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end())), error);
}

}  // namespace

CWindowController::CWindowController(IWindowView& view, IModuleList& list, const GatewayOptions& options,
                                     const std::string& loopTestMarker)
    : m_View(view),
      m_List(list),
      m_Options(options),
      m_LoopTestMarker(loopTestMarker),
      m_Engine({.m_List = &list,
                .m_RouterPort = options.m_Port,
                .m_Events = this}) {}

CWindowController::~CWindowController() {
  m_Closing = true;
  JoinWorkers();
}

void CWindowController::Start() {
  m_View.EnableButton(BUTTON_CHECK, true);
  m_View.EnableButton(BUTTON_UPGRADE, false);
  ModuleTable& table = TheModuleTable();
  table.LoadTypeNames();
  for (int kind = 0; kind < MODULE_COUNT; ++kind) {
    if (table[kind].m_Package.LoadFromResource(PACKAGE_RESOURCE_IDS[kind])) m_PackagesEmbedded = true;
  }
  // Looked at once: creating or removing the file later changes nothing.
  m_LoopTest = FileExists(m_LoopTestMarker);
  m_View.FocusButton(BUTTON_CHECK);
}

bool CWindowController::PrepareWorker(std::thread& worker) {
  // Whoever asks, a worker never overlaps another.
  if (m_Closing || WorkersRunning()) return false;
  Join(worker);
  m_View.EnableButton(BUTTON_CHECK, false);
  m_View.EnableButton(BUTTON_UPGRADE, false);
  return true;
}

void CWindowController::OnCheck() {
  if (!PrepareWorker(m_CheckThread)) return;
  m_CheckRunning = true;
  m_CheckThread = std::thread([this] { RunCheckThread(); });
}

void CWindowController::RunCheckThread() {
  CheckOptions options = MakeCheckOptions(m_Options);
  options.m_PackagesEmbedded = m_PackagesEmbedded;
  const bool success = RunCheck(m_Engine, m_List, options);
  m_View.RunOnWindowThread([this, success] { OnCheckEnd(success); });
  m_CheckRunning = false;
}

void CWindowController::OnCheckEnd(bool success) {
  if (m_Closing) return;
  m_View.EnableButton(BUTTON_CHECK, true);
  m_View.EnableButton(BUTTON_UPGRADE, success);
  if (success) {
    m_View.PostControl(CTRL_CHECK_DONE);
    if (m_LoopTest) StartDelay(LOOP_TEST_UPGRADE_DELAY_MS, CTRL_START_UPGRADE);
  } else {
    m_View.PostControl(CTRL_CHECK_FAILED);
  }
  m_View.BringToFront();
}

void CWindowController::OnUpgrade() {
  if (!PrepareWorker(m_UpgradeThread)) return;
  m_UpgradeRunning = true;
  m_UpgradeThread = std::thread([this] {
    m_Engine.RunUpgrade();
    m_UpgradeRunning = false;
  });
}

bool CWindowController::UpgradeInProcess() const {
  // The thread is counted from its start, before the pass marks itself busy.
  return m_Engine.Busy() || m_UpgradeRunning;
}

void CWindowController::OnControl(int code) {
  if (m_Closing) return;
  switch (code) {
    case CTRL_UPGRADE_DONE:
      Join(m_UpgradeThread);
      m_View.EnableButton(BUTTON_CHECK, true);
      m_View.FocusButton(BUTTON_CHECK);
      if (m_LoopTest) StartDelay(LOOP_TEST_CHECK_DELAY_MS, CTRL_START_CHECK);
      break;
    case CTRL_START_CHECK:
      OnCheck();
      break;
    case CTRL_START_UPGRADE:
      OnUpgrade();
      break;
    case CTRL_CHECK_FAILED:
      m_View.FocusButton(BUTTON_CHECK);
      break;
    case CTRL_CHECK_DONE:
      m_View.FocusButton(BUTTON_UPGRADE);
      break;
    default:
      break;
  }
}

bool CWindowController::RequestClose() {
  if (UpgradeInProcess()) {
    m_View.ShowWarningBox(LoadStringId(IDS_UPGRADE_IN_PROCESS));
    return false;
  }
  if (!m_View.AskYesNo(LoadStringId(IDS_CONFIRM_CLOSE))) return false;
  m_View.SavePlacement();
  return true;
}

void CWindowController::StartDelay(unsigned programMs, int code) {
  m_View.StartDelay(Clock::RealTimeoutMs(programMs), code);
}

void CWindowController::JoinWorkers() {
  Join(m_CheckThread);
  Join(m_UpgradeThread);
}

void CWindowController::Join(std::thread& worker) {
  if (worker.joinable()) worker.join();
}
