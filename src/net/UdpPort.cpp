#include "net/UdpPort.h"

#include "net/AddressText.h"
#include "net/PeerAddress.h"
#include "net/SocketWait.h"

CUdpPort::~CUdpPort() { Close(); }

int CUdpPort::SetConfig(const std::string& address, int port) {
  // The classic parser cannot tell the limited broadcast from a bad text,
  // so that one address is recognised by its exact text first.
  if (address == LIMITED_BROADCAST_TEXT) {
    m_Peer = Ipv4Endpoint{{255, 255, 255, 255}, static_cast<uint16_t>(port)};
    return 1;
  }
  return MakePeer(address, port, &m_Peer) ? 1 : 0;
}

int CUdpPort::Open() {
  Close();
  m_InterfaceRefused = 0;
  if (!m_Socket.Open(CSocket::UDP)) {
    m_LastError = m_Socket.Error();
    return 0;
  }
  if (!m_Interface.empty()) m_InterfaceRefused = m_Socket.BindToInterface(m_Interface, m_Peer);
  // The limited broadcast and a subnet's directed broadcast both end in 255.
  if (m_Peer.m_Ip[3] == 255 && !m_Socket.EnableBroadcast()) {
    m_LastError = m_Socket.Error();
    m_Socket.Close();
    return 0;
  }
  return 1;
}

int CUdpPort::Close() {
  // The socket is released even when its close reports an error, so the
  // port counts as closed either way.
  if (m_Socket.Close()) return 1;
  m_LastError = m_Socket.Error();
  return 0;
}

int CUdpPort::Write(const uint8_t* data, uint32_t length, uint32_t timeoutMs) {
  return WriteVia(0, data, length, timeoutMs);
}

// The datagram either goes out whole within the call or not at all: nothing
// is left pending on the caller's buffer after the return.
int CUdpPort::WriteVia(int interfaceIndex, const uint8_t* data, uint32_t length, uint32_t timeoutMs) {
  if (!m_Socket.IsOpen()) return 0;
  for (;;) {
    const IoResult result = m_Socket.SendTo(m_Peer, data, length, interfaceIndex);
    if (result == IoResult::DONE) {
      m_LastError = 0;
      return 1;
    }
    if (result != IoResult::WOULD_BLOCK) {
      m_LastError = m_Socket.Error();
      return 0;
    }
    const SocketWait wait = WaitForSocket(m_Socket, true, nullptr, timeoutMs);
    if (wait != SocketWait::Ready) {
      m_LastError = WaitErrorCode(wait);
      return 0;
    }
  }
}

int CUdpPort::Read(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t timeoutMs) {
  int arrival = 0;
  return ReadArrival(buffer, capacity, received, &arrival, timeoutMs);
}

// One datagram from any sender; one longer than the buffer fails the Read
// as too long.
int CUdpPort::ReadArrival(uint8_t* buffer, uint32_t capacity, uint32_t* received, int* arrival,
                          uint32_t timeoutMs) {
  *received = 0;
  *arrival = 0;
  if (!m_Socket.IsOpen()) return 0;
  const uint64_t start = Clock::TickCount();
  for (;;) {
    size_t count = 0;
    const IoResult result = m_Socket.ReceiveFrom(buffer, capacity, &count, nullptr, arrival);
    if (result == IoResult::DONE) {
      *received = static_cast<uint32_t>(count);
      m_LastError = 0;
      return count > 0 ? 1 : 0;
    }
    if (result != IoResult::WOULD_BLOCK) {
      m_LastError = result == IoResult::TOO_LONG ? TooLongError() : m_Socket.Error();
      return 0;
    }
    const SocketWait wait = WaitForSocket(m_Socket, false, nullptr, RemainingMs(start, timeoutMs));
    if (wait != SocketWait::Ready) {
      m_LastError = WaitErrorCode(wait);
      return 0;
    }
  }
}
