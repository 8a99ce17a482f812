#include "sim/SimSocket.h"

#include <chrono>
#include <cstring>

#include "net/AddressText.h"
#include "platform/Interfaces.h"
#include "platform/SystemError.h"

namespace {

bool Fail(std::string* error, const std::string& what, int code) {
  if (error) *error = what + ": " + SystemErrorPhrase(code);
  return false;
}

}  // namespace

bool OpenUdpSocket(const std::string& interfaceName, int port, CSocket* socket, std::string* error) {
  if (!socket->Open(CSocket::UDP)) return Fail(error, "UDP socket", socket->Error());
  socket->ReuseAddress();
  if (!interfaceName.empty()) {
    if (const int refused = socket->BindToInterface(interfaceName, Ipv4Endpoint{})) {
      return Fail(error, "UDP socket: cannot bind to device " + interfaceName, refused);
    }
  }
  if (!socket->Bind(Ipv4Endpoint{{0, 0, 0, 0}, static_cast<uint16_t>(port)})) {
    return Fail(error, "UDP socket: cannot bind port " + std::to_string(port), socket->Error());
  }
  return true;
}

bool OpenTcpListener(const uint8_t ip[4], int port, CSocket* socket, std::string* error) {
  if (!socket->Open(CSocket::TCP)) return Fail(error, "TCP socket", socket->Error());
  socket->ReuseAddress();
  Ipv4Endpoint local;
  std::memcpy(local.m_Ip, ip, 4);
  local.m_Port = static_cast<uint16_t>(port);
  if (!socket->Bind(local) || !socket->Listen(8)) {
    return Fail(error, "TCP socket: cannot listen on " + FormatIp(ip) + ":" + std::to_string(port), socket->Error());
  }
  return true;
}

bool InterfaceIpv4(const std::string& name, uint8_t ip[4], std::string* error) {
  if (InterfaceAddress(name, ip)) return true;
  if (error) *error = "interface " + name + " has no IPv4 address";
  return false;
}

bool SendAll(CSocket& socket, const uint8_t* data, size_t length, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t sent = 0;
  while (sent < length) {
    size_t n = 0;
    const IoResult result = socket.Send(data + sent, length - sent, &n);
    if (result == IoResult::DONE) {
      sent += n;
      continue;
    }
    if (result != IoResult::WOULD_BLOCK) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    socket.Wait(true, nullptr, static_cast<int>(left));
  }
  return true;
}
