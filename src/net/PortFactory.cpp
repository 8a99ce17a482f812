#include "net/PortFactory.h"

#include "net/TcpPort.h"
#include "net/UdpPort.h"

namespace {

PortMaker& Maker() {
  static PortMaker maker;
  return maker;
}

}  // namespace

std::unique_ptr<INetPort> MakePort(int kind) {
  if (Maker()) return Maker()(kind);
  if (kind == PORT_UDP) return std::make_unique<CUdpPort>();
  if (kind == PORT_TCP) return std::make_unique<CTcpPort>();
  return nullptr;
}

void SetPortMaker(PortMaker maker) { Maker() = std::move(maker); }
