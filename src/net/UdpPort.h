// One UDP datagram per Write (to the fixed peer, which may be a broadcast
// address) and per Read (from any sender), each bounded by a time-out. A
// datagram may be sent out of a chosen interface, and a received one tells
// the interface it came in on, so that one port can ask every interface.
#pragma once

#include "net/INetPort.h"
#include "platform/Socket.h"

class CUdpPort : public INetPort {
 public:
  CUdpPort() = default;
  ~CUdpPort() override;

  int Write(const uint8_t* data, uint32_t length, uint32_t timeoutMs) override;
  int Read(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t timeoutMs) override;
  int Close() override;
  // Accepts "255.255.255.255"; other text must be dotted IPv4 (<= 24 chars).
  int SetConfig(const std::string& address, int port) override;
  // Enables broadcasting when the peer's last octet is 255.
  int Open() override;
  int GetType() const override { return PORT_UDP; }
  void SetInterface(const std::string& name) override { m_Interface = name; }
  int InterfaceRefused() const override { return m_InterfaceRefused; }
  int WriteVia(int interfaceIndex, const uint8_t* data, uint32_t length, uint32_t timeoutMs) override;
  int ReadArrival(uint8_t* buffer, uint32_t capacity, uint32_t* received, int* arrival,
                  uint32_t timeoutMs) override;

  bool IsOpen() const { return m_Socket.IsOpen(); }
  // Whether the open socket may send to a broadcast address.
  bool BroadcastEnabled() const { return m_Socket.BroadcastEnabled(); }

 private:
  CSocket m_Socket;
  Ipv4Endpoint m_Peer;
  std::string m_Interface;
  int m_InterfaceRefused = 0;
};
