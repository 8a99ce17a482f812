// The router's side of an upgrade: a router image announced by a begin
// packet, streamed raw over the TCP connection and confirmed by the router's
// result packet; the begin packets of the wireless stages; and the router's
// short UDP commands (NVRAM erase, forcing download mode, presence check).
// A step that fails leaves the string id of its outcome in the result the
// engine shows.
#pragma once

#include <cstdint>
#include <string>

#include "log/UpgradeLog.h"
#include "model/ModuleKind.h"
#include "model/StageView.h"
#include "net/PortChannel.h"
#include "packages/UpgradePackage.h"
#include "router/DiscoverRouter.h"

// Begin packet types.
enum BeginType { BEGIN_RUT = 0, BEGIN_FWT = 1, BEGIN_FWT_FORCE = 2 };
constexpr uint32_t ROUTER_RESULT_OK = 4;

class CRouterUpgrade {
 public:
  // Works over channel (the engine's connection), logs to log, shows its
  // steps on view and stores the id of a failure in *resultTextId.
  CRouterUpgrade(PortChannel& channel, UpgradeLog& log, IStageView& view, int* resultTextId);

  // The router the commands go to, on port, reached through link.
  void SetRouter(const RouterInfo& router, int port, const RouterLink& link);
  // A new connection: its refused interface binding is logged again.
  void NewConnection() { m_RefusalLogged = false; }
  // Logs, once per connection, that the interface refused a binding (error 0:
  // it did not).
  void NoteInterfaceRefused(int error);

  // One router image (its kind decides the result's time limit).
  bool UpgradeImage(const UpgradePackage& package);
  bool SendBeginPacket(int type, uint32_t value);
  bool TCP_GetRouterResult(ModuleKind kind);
  bool EraseNvram();
  // Pings until the router answers or timeoutMs have passed.
  bool WaitForRouter(uint32_t timeoutMs);
  bool EnterForceLoad();
  bool LeaveForceLoad();
  // Whether the router's forcing download mode was entered since the last
  // ClearForceLoad (by a command or a force begin packet).
  bool ForceLoad() const { return m_ForceLoad; }
  void ClearForceLoad() { m_ForceLoad = false; }

 private:
  // One command record to the router on a client of its own, acknowledged
  // by its echo within timeoutMs.
  bool SendRouterCommand(uint8_t code, uint32_t timeoutMs);

  PortChannel& m_Channel;
  UpgradeLog& m_Log;
  IStageView& m_View;
  int* m_ResultTextId;
  RouterInfo m_Router;
  int m_Port = 0;
  RouterLink m_Link;
  bool m_ForceLoad = false;
  bool m_RefusalLogged = false;
};
