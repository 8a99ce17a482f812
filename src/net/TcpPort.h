// The stream connection to the router. Every Write and Read finishes its
// socket operation before it returns (a wait, then a non-blocking call), so no
// operation is ever left pending behind the caller's back. Read takes what
// the socket holds into a buffer of the connection and hands it out from
// there: the receive loop asks for one byte at a time, and most of its Reads
// then cost no system call.
#pragma once

#include <memory>
#include <mutex>

#include "net/INetPort.h"
#include "platform/CancelEvent.h"
#include "platform/Socket.h"

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
  void SetInterface(const std::string& name) override;
  int InterfaceRefused() const override { return m_InterfaceRefused.load(); }

  // True while a connected socket is held.
  bool IsConnected() const;

 private:
  // One connected socket. Write (sending thread) and Read (receive thread)
  // each hold a reference while they use it, so a re-connect by the other
  // thread never closes a descriptor in use: it shuts the old socket down
  // (waking its user) and the last reference closes it. A descriptor number
  // can therefore never be reused under a thread that still polls it.
  struct Socket;
  using SocketRef = std::shared_ptr<Socket>;

  SocketRef CurrentSocket() const;
  bool IsCurrent(const SocketRef& socket) const;
  int CloseLocked();
  // cancellable: a Cancel ends the connect (a re-connect on the receive
  // thread must not hold up StopReceiveThread).
  int OpenLocked(bool cancellable);
  // Re-connects after a reset seen on socket, unless a connect was made or
  // tried since (both threads may see the same reset; one re-connect is enough).
  void Reconnect(const SocketRef& socket, bool cancellable);
  // Consumes a pending Cancel; true when there was one.
  bool TakeCancel();

  SocketRef m_Socket;  // null when closed
  Ipv4Endpoint m_Peer;
  std::string m_Interface;  // under m_OpenLock; "" : the routing table's way
  std::atomic<int> m_InterfaceRefused{0};
  CCancelEvent m_CancelEvent;  // stays set until a Read consumes it
  uint64_t m_Generation = 0;  // counts connect attempts, under m_OpenLock
  // Guards m_Socket; held only for the swap or the copy of the reference,
  // never while blocking.
  mutable std::mutex m_SocketLock;
  // Serialises Open and Close (connect may block; the socket lock is free
  // meanwhile, so a Write fails at once on the closed port instead of waiting).
  std::recursive_mutex m_OpenLock;
};
