#include "engine/UpgradeEngine.h"

#include <cstring>

#include "router/RouterUdpClient.h"

UpgradeEngine::UpgradeEngine(EngineSetup setup)
    : m_Channel(setup.m_MakePort),
      m_Log(UpgradeLog::InLogFolder{setup.m_LogFileName}),
      m_DiagCaller(m_Channel, m_Log),
      m_Display(setup.m_List, setup.m_Events, m_Log),
      m_Router(m_Channel, m_Log, m_Display, &m_ResultTextId),
      m_RouterPort(setup.m_RouterPort),
      m_Table(setup.m_Table ? setup.m_Table : &TheModuleTable()),
      m_MakePort(std::move(setup.m_MakePort)),
      m_Notices(setup.m_Notices),
      m_Events(setup.m_Events) {
  m_Router.SetRouter(m_RouterInfo, m_RouterPort, Link());
}

UpgradeEngine::~UpgradeEngine() = default;

void UpgradeEngine::SetRouter(const RouterInfo& router) {
  m_RouterInfo = router;
  m_Router.SetRouter(m_RouterInfo, m_RouterPort, Link());
}

RouterLink UpgradeEngine::Link() const { return RouterLink{m_MakePort, m_RouterInfo.m_Interface, m_Notices}; }

bool UpgradeEngine::Connect() {
  m_Display.SetRow(MODULE_NONE);
  m_Router.NewConnection();
  // 0.0.0.0 means "no router found yet"; connecting to it would reach this
  // very machine, so it is refused here.
  const bool opened = memcmp(m_RouterInfo.m_Ip, ZERO_IP, sizeof m_RouterInfo.m_Ip) != 0 &&
                      m_Channel.Open(FormatIp(m_RouterInfo.m_Ip), m_RouterPort, PORT_TCP, m_RouterInfo.m_Interface);
  m_Router.NoteInterfaceRefused(m_Channel.InterfaceRefused());
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
