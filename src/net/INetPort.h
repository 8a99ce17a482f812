// A port: a socket with one peer, a timed Write, a timed Read and the cause
// of the last failure. Operations return 1 on success and 0 on failure.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "net/Clock.h"

enum PortType { PORT_UDP = 1, PORT_TCP = 2 };

class INetPort {
 public:
  virtual ~INetPort() = default;

  // Sends all length bytes; each send attempt waits at most timeoutMs.
  virtual int Write(const uint8_t* data, uint32_t length, uint32_t timeoutMs) = 0;
  // Receives at least one byte into buffer; timeoutMs may be INFINITE.
  virtual int Read(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t timeoutMs) = 0;
  virtual int Close() = 0;
  // Peer as dotted IPv4 text and port. A refused text sets errno to EINVAL
  // and leaves m_LastError alone.
  virtual int SetConfig(const std::string& address, int port) = 0;
  virtual int Open() = 0;
  virtual int GetType() const = 0;
  // Wakes a Read that waits (TCP only); the wake-up stays pending until a
  // Read consumes it.
  virtual int Cancel() { return 1; }

  // From the next Open on, the socket goes through the interface of that
  // name only, whatever the routing table says ("" : the routing table
  // chooses). Where the system refuses, Open goes on without it and
  // InterfaceRefused tells why.
  virtual void SetInterface(const std::string&) {}
  // errno of the refused binding at the last Open, 0 when there was none.
  virtual int InterfaceRefused() const { return 0; }

  // UDP: one datagram to the peer out of the interface with that index
  // (0: the routing table chooses). Other ports just Write.
  virtual int WriteVia(int interfaceIndex, const uint8_t* data, uint32_t length, uint32_t timeoutMs) {
    (void)interfaceIndex;
    return Write(data, length, timeoutMs);
  }
  // UDP: Read, and the index of the interface the datagram came in on (0:
  // unknown). Other ports just Read.
  virtual int ReadArrival(uint8_t* buffer, uint32_t capacity, uint32_t* received, int* arrival,
                          uint32_t timeoutMs) {
    *arrival = 0;
    return Read(buffer, capacity, received, timeoutMs);
  }

  // errno of the last failed socket operation, WAIT_CANCELLED (1) or
  // WAIT_TIMED_OUT (258) for a wait that ended without data, 0 after success.
  // Atomic: the receive thread's Read and the sender's Write both set it.
  std::atomic<int> m_LastError{0};
};
