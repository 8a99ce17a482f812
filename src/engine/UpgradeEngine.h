// The object that carries every conversation with the gateway: it owns the
// TCP connection to the router, the diagnostic caller and the upgrade log,
// keeps what the Check learned about the router, and runs the upgrade pass.
// One worker thread at a time uses it (the Check or the upgrade pass).
//
// A front end sets it up (EngineSetup, then the router the Check found),
// lets the Check read the wireless module's versions through it, runs the
// pass and observes it: the rows show the work through the module list,
// and the events (engine/UpgradeEvents.h) tell each row's outcome.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "diag/DiagCaller.h"
#include "engine/RowDisplay.h"
#include "engine/UpgradeEvents.h"
#include "log/Notice.h"
#include "log/UpgradeLog.h"
#include "model/ModuleKind.h"
#include "model/ModuleList.h"
#include "net/PortChannel.h"
#include "packages/ModuleTable.h"
#include "router/DiscoverRouter.h"
#include "router/RouterUdpClient.h"
#include "router/RouterUpgrade.h"

constexpr uint8_t BUSY_UPGRADING = 3;

// What an engine is given when it is made. Nothing of it is shared with
// another engine, so that several passes can run at once in one process.
struct EngineSetup {
  IModuleList* m_List = nullptr;          // the rows; null: they reach only the log
  ModuleTable* m_Table = nullptr;         // null: the process's module table
  int m_RouterPort = ROUTER_UDP_PORT;     // the router's UDP and TCP port
  PortMaker m_MakePort = {};              // where its ports come from; empty: sockets
  INoticeSink* m_Notices = nullptr;       // who shows its notices; null: the process's
  std::string m_LogFileName = UpgradeLog::FILE_NAME;  // in the user's log folder
  IUpgradeEvents* m_Events = nullptr;     // who hears the pass row by row; null: nobody
};

class UpgradeEngine {
 public:
  explicit UpgradeEngine(EngineSetup setup = {});
  // Writes the pending log lines first, then closes the connection.
  ~UpgradeEngine();
  UpgradeEngine(const UpgradeEngine&) = delete;
  UpgradeEngine& operator=(const UpgradeEngine&) = delete;

  // The router the pass talks to, as discovery found it: its address and
  // MAC, and the interface it answered on, which every later connection and
  // datagram goes through.
  void SetRouter(const RouterInfo& router);
  const RouterInfo& Router() const { return m_RouterInfo; }
  int RouterPort() const { return m_RouterPort; }
  // How the engine's UDP clients reach the router (and discovery its routers).
  RouterLink Link() const;

  ModuleTable& Table() { return *m_Table; }
  UpgradeLog& Log() { return m_Log; }
  const UpgradeLog& Log() const { return m_Log; }
  INoticeSink& Notices() { return m_Notices ? *m_Notices : ProcessNotices(); }

  // The Check's part: reads the installed firmware and dashboard versions
  // into the table's wireless rows (only those with a package; forceLoadText
  // for both when the module runs its downloader, which cannot tell them).
  void ReadWirelessVersions(const std::string& forceLoadText);
  // The rows were made anew: their "%" cells are empty again.
  void ForgetRowProgress() { m_Display.ForgetProgress(); }

  // The upgrade pass (thread body): every selected row in order, the first
  // failing stage ending it; returns 0.
  int RunUpgrade();
  // True while the upgrade pass runs (any thread may ask).
  bool Busy() const { return m_Busy.load() == BUSY_UPGRADING; }

 private:
  ModuleEntry& Entry(ModuleKind kind) { return (*m_Table)[kind]; }

  // engine/UpgradeEngine.cpp: the connection to the router's address and
  // port with its receive thread.
  bool Connect();
  void Disconnect();

  // engine/FirmwareStage.cpp and engine/DashboardStage.cpp: the wireless
  // stages and the downloader steps they share.
  bool UpgradeWirelessFirmware();
  bool EnterDownloadingMode();
  bool UnlockWirelessModule(const uint8_t code[8]);
  bool DownloadImage(const UpgradePackage& package);
  bool CheckNvRestore();
  bool UpgradeDashboard();

  // engine/RestartWaits.cpp: restart and verification waits.
  bool RestartWirelessModule();
  bool WaitHandshake();
  bool WaitModuleRestart();
  // The module's handshake, which tells whether it runs its downloader and
  // whether it is offline (both taken as 1 when it fails).
  bool HandShakeModule(int leadingFlag);

  // Destroyed in reverse order: the router's side, the display, the caller,
  // then the log (which writes its pending lines), and only then the channel
  // (receive thread stopped, port closed).
  PortChannel m_Channel;
  UpgradeLog m_Log;
  CDiagCaller m_DiagCaller;
  CRowDisplay m_Display;
  int m_ResultTextId = IDS_DOWNLOAD_OK;  // of the last outcome
  CRouterUpgrade m_Router;
  std::atomic<uint8_t> m_Busy{0};
  RouterInfo m_RouterInfo;
  int m_InDownloader = 0;
  int m_Offline = 0;

  int m_RouterPort;
  ModuleTable* m_Table;
  PortMaker m_MakePort;
  INoticeSink* m_Notices;
  IUpgradeEvents* m_Events;
};
