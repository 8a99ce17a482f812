// The object that carries every conversation with the gateway: it owns the
// TCP connection to the router, the diagnostic caller and the upgrade log,
// keeps what the Check learned about the router, and runs the upgrade pass.
// One worker thread at a time uses it (the Check or the upgrade pass).
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "app/ModuleKind.h"
#include "app/ModuleList.h"
#include "app/ModuleTable.h"
#include "app/StringIds.h"
#include "diag/DiagCaller.h"
#include "log/Notice.h"
#include "log/UpgradeLog.h"
#include "net/PortChannel.h"
#include "packages/UpgradePackage.h"
#include "router/DiscoverRouter.h"
#include "router/RouterUdpClient.h"

// Begin packet types.
enum BeginType { BEGIN_RUT = 0, BEGIN_FWT = 1, BEGIN_FWT_FORCE = 2 };
constexpr uint32_t ROUTER_RESULT_OK = 4;
constexpr uint8_t BUSY_UPGRADING = 3;

// Codes of the control message the pass and the Check send to the window.
enum ControlCode {
  CTRL_UPGRADE_DONE = 0,
  CTRL_START_CHECK = 2,
  CTRL_START_UPGRADE = 3,
  CTRL_CHECK_FAILED = 4,
  CTRL_CHECK_DONE = 5,
};

// What an engine is given when it is made. Nothing of it is shared with
// another engine, so that several passes can run at once in one process.
struct EngineSetup {
  IModuleList* m_List = nullptr;          // the rows; null: they reach only the log
  ModuleTable* m_Table = nullptr;         // null: the process's module table
  int m_RouterPort = ROUTER_UDP_PORT;     // the router's UDP and TCP port
  PortMaker m_MakePort = {};              // where its ports come from; empty: sockets
  INoticeSink* m_Notices = nullptr;       // who shows its notices; null: the process's
  std::string m_LogFileName = UpgradeLog::FILE_NAME;  // in the user's log folder
  std::function<void(int code)> m_Notify = {};  // hears the pass end (ControlCode)
};

// Its methods live in the files of their subsystems: construction, the
// router's address and the connection in engine/UpgradeEngine.cpp; the row
// display in engine/RowDisplay.cpp; the router upgrade protocol in
// router/RouterUpgrade.cpp; the pass in engine/RunUpgrade.cpp; the wireless
// stages in engine/FirmwareStage.cpp and engine/DashboardStage.cpp; the
// restart and verification waits in engine/RestartWaits.cpp.
class UpgradeEngine {
 public:
  explicit UpgradeEngine(EngineSetup setup = {});
  // Writes the pending log lines first, then closes the connection.
  ~UpgradeEngine();
  UpgradeEngine(const UpgradeEngine&) = delete;
  UpgradeEngine& operator=(const UpgradeEngine&) = delete;

  // --- engine/UpgradeEngine.cpp

  // The router the pass talks to, as discovery found it: its address and
  // MAC, and the interface it answered on, which every later connection and
  // datagram goes through.
  void SetRouter(const RouterInfo& router);
  const uint8_t* RouterMac() const { return m_RouterMac; }
  const uint8_t* RouterIp() const { return m_RouterIp; }
  const std::string& RouterInterface() const { return m_RouterInterface; }
  int RouterPort() const { return m_RouterPort; }
  // How the engine's UDP clients reach the router (and discovery its routers).
  RouterLink Link() const;

  // Connection to the router's address and port with its receive thread.
  bool Connect();
  void Disconnect();
  const PortChannel& Channel() const { return m_Channel; }

  ModuleTable& Table() { return *m_Table; }
  UpgradeLog& Log() { return m_Log; }
  const UpgradeLog& Log() const { return m_Log; }
  INoticeSink& Notices() { return m_Notices ? *m_Notices : ProcessNotices(); }
  CDiagCaller& Diag() { return m_DiagCaller; }
  // The row the engine works on (MODULE_NONE: none), the text id of the
  // last outcome (IDS_DOWNLOAD_OK: success), and when the stage began.
  ModuleKind Row() const { return m_Row; }
  void SetRow(ModuleKind row) { m_Row = row; }
  int ResultTextId() const { return m_ResultTextId; }
  void SetResultTextId(int id) { m_ResultTextId = id; }
  void SetStageStart(time_t start) { m_StageStart = start; }
  time_t StageStart() const { return m_StageStart; }
  // The router's forcing download mode was entered by this pass.
  bool ForceLoad() const { return m_ForceLoad != 0; }
  void SetForceLoad(bool on) { m_ForceLoad = on ? 1 : 0; }
  // True while the upgrade pass runs (any thread may ask).
  bool Busy() const { return m_Busy.load() == BUSY_UPGRADING; }

  // --- engine/RowDisplay.cpp: how the rows show the work (on the current
  // row; with MODULE_NONE only the log line is written).

  void ShowRowStatus(const std::string& text, uint32_t colour);
  void ShowRowStatusId(int id, uint32_t colour);
  void ShowRowResult();
  void ShowRowProgress(int percentage);
  // The share of done in total, in whole percent (100 when total is 0).
  void ShowRowProgress(uint64_t done, uint64_t total);
  // A transfer of total bytes begins (the list may time it; the "%" cell
  // stays as it is), and done of them have gone (the "%" follows).
  void StartRowTransfer(uint64_t total);
  void ShowRowTransfer(uint64_t done, uint64_t total);
  // Forgets the "%" last written to every row; for a list whose rows were
  // made anew (their "%" cells are empty again).
  void ForgetRowProgress();

  // --- router/RouterUpgrade.cpp: the router upgrade protocol.

  bool UpgradeRouterImage(const UpgradePackage& package);
  bool SendBeginPacket(int type, uint32_t value);
  bool TCP_GetRouterResult(ModuleKind kind);
  bool EraseRouterNvram();
  bool WaitForRouter(uint32_t timeoutMs);
  bool EnterForceLoad();
  bool LeaveForceLoad();

  // --- engine/RunUpgrade.cpp: the upgrade pass (thread body); returns 0.

  int RunUpgrade();

  // --- engine/FirmwareStage.cpp and engine/DashboardStage.cpp: the
  // wireless stages and the downloader steps they share.

  bool UpgradeWirelessFirmware();
  bool EnterDownloadingMode();
  bool UnlockWirelessModule(const uint8_t code[8]);
  bool DownloadImage(const UpgradePackage& package);
  bool CheckNvRestore();
  bool UpgradeDashboard();

  // --- engine/RestartWaits.cpp: restart and verification waits.

  bool RestartWirelessModule();
  bool WaitHandshake();
  bool WaitModuleRestart();
  // The module's handshake, which tells whether it runs its downloader and
  // whether it is offline (both taken as 1 when it fails).
  bool HandShakeModule(int leadingFlag);
  bool InDownloader() const { return m_InDownloader == 1; }

 private:
  ModuleEntry& Entry(ModuleKind kind) { return (*m_Table)[kind]; }
  // One command record to the router on a client of its own, acknowledged
  // by its echo within timeoutMs.
  bool SendRouterCommand(uint8_t code, uint32_t timeoutMs);
  // Logs, once per connection, that the interface refused the binding.
  void NoteInterfaceRefused(int error);

  ModuleKind m_Row = MODULE_NONE;
  time_t m_StageStart = 0;
  IModuleList* m_ListCtrl;
  PortChannel m_Channel;
  int m_ResultTextId = IDS_DOWNLOAD_OK;
  int m_ForceLoad = 0;
  std::atomic<uint8_t> m_Busy{0};
  uint8_t m_RouterMac[6] = {};
  uint8_t m_RouterIp[4] = {};
  int m_InDownloader = 0;
  int m_Offline = 0;
  UpgradeLog m_Log;
  CDiagCaller m_DiagCaller;

  int m_RouterPort;
  ModuleTable* m_Table;
  PortMaker m_MakePort;
  INoticeSink* m_Notices;
  std::function<void(int code)> m_Notify;
  std::string m_RouterInterface;
  bool m_RefusalLogged = false;
  int m_LastProgress[MODULE_COUNT + 1];  // last "%" written, per row
};
