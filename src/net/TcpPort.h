// The stream connection to the router. Every Write and Read finishes its
// socket operation before it returns (poll, then a non-blocking call), so no
// operation is ever left pending behind the caller's back.
#pragma once

#include <netinet/in.h>

#include <mutex>

#include "net/INetPort.h"

class CTcpPort : public INetPort {
 public:
  CTcpPort();
  ~CTcpPort() override;

  int Write(const uint8_t* data, uint32_t length, uint32_t timeoutMs) override;
  int Read(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t timeoutMs) override;
  int Close() override;
  int SetConfig(const std::string& address, int port) override;
  int Open() override;
  int GetType() const override { return PORT_TCP; }
  int Cancel() override;

 private:
  int m_Socket = -1;
  sockaddr_in m_Peer{};
  int m_CancelEvent = -1;  // eventfd; stays signalled until a Read consumes it
  // Guards m_Socket: a re-connect inside Read (receive thread) may replace
  // the socket while the sending thread is inside Write.
  std::recursive_mutex m_SocketLock;
};
