#include "engine/UpgradeEngine.h"

#include <cstring>

#include "platform/SystemError.h"
#include "router/RouterUdpClient.h"

UpgradeEngine::UpgradeEngine(EngineSetup setup)
    : m_ListCtrl(setup.m_List),
      m_Channel(setup.m_MakePort),
      m_Log(UpgradeLog::InLogFolder{setup.m_LogFileName}),
      m_DiagCaller(m_Channel, m_Log),
      m_RouterPort(setup.m_RouterPort),
      m_Table(setup.m_Table ? setup.m_Table : &TheModuleTable()),
      m_MakePort(std::move(setup.m_MakePort)),
      m_Notices(setup.m_Notices),
      m_Notify(std::move(setup.m_Notify)) {
  ForgetRowProgress();
}

// Members go in reverse order: the caller, then the log (which writes its
// pending lines), and only then the channel (receive thread stopped, port
// closed).
UpgradeEngine::~UpgradeEngine() = default;

void UpgradeEngine::SetRouter(const RouterInfo& router) {
  memcpy(m_RouterMac, router.m_Mac, sizeof m_RouterMac);
  memcpy(m_RouterIp, router.m_Ip, sizeof m_RouterIp);
  m_RouterInterface = router.m_Interface;
}

RouterLink UpgradeEngine::Link() const { return RouterLink{m_MakePort, m_RouterInterface, m_Notices}; }

void UpgradeEngine::NoteInterfaceRefused(int error) {
  if (error == 0 || m_RefusalLogged) return;
  m_RefusalLogged = true;
  LogPrintf(&m_Log, "Cannot bind to interface %s (%s): the routing table picks the way to the router",
            m_RouterInterface.c_str(), SystemMessage(error).c_str());
}

bool UpgradeEngine::Connect() {
  m_Row = MODULE_NONE;
  m_RefusalLogged = false;
  // 0.0.0.0 means "no router found yet"; connecting to it would reach this
  // very machine, so it is refused here.
  const bool opened = memcmp(m_RouterIp, ZERO_IP, sizeof m_RouterIp) != 0 &&
                      m_Channel.Open(FormatIp(m_RouterIp), m_RouterPort, PORT_TCP, m_RouterInterface);
  NoteInterfaceRefused(m_Channel.InterfaceRefused());
  if (!opened) {
    m_ResultTextId = IDS_TCP_FAILED;
    return false;
  }
  m_Channel.StartReceiveThread();
  return true;
}

void UpgradeEngine::Disconnect() {
  // A close that reports failure has still let go of the port; the second
  // one finds nothing left and succeeds.
  if (!m_Channel.Close()) m_Channel.Close();
}
