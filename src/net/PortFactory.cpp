#include "net/PortFactory.h"

#include "net/TcpPort.h"
#include "net/UdpPort.h"

std::unique_ptr<INetPort> MakePort(const PortMaker& maker, int kind) {
  if (maker) return maker(kind);
  if (kind == PORT_UDP) return std::make_unique<CUdpPort>();
  if (kind == PORT_TCP) return std::make_unique<CTcpPort>();
  return nullptr;
}
