// The system's sockets as the ports and the simulator use them: IPv4,
// non-blocking, not inherited by programs started later. Every call returns
// at once but Wait, which blocks for at most a time-out in real
// milliseconds. A failure leaves the system's own code in Error() (errno
// values here, Winsock's on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/CancelEvent.h"

// An IPv4 address (first octet first) and a port.
struct Ipv4Endpoint {
  uint8_t m_Ip[4] = {};
  uint16_t m_Port = 0;
};

// How a call that moves bytes ended.
enum class IoResult {
  DONE,         // all or part of the bytes moved (the count says)
  WOULD_BLOCK,  // nothing to move now: wait and call again
  CLOSED,       // the peer ended the connection
  TOO_LONG,     // the datagram did not fit the buffer and is gone
  FAILED,       // Error() says why
};

// How a wait ended. When the socket and the cancel are both ready the
// socket wins.
enum class SocketWait { Ready, Cancelled, TimedOut, Failed };

class CSocket {
 public:
  enum Kind { UDP, TCP };

  CSocket();
  ~CSocket();
  CSocket(CSocket&& other) noexcept;
  CSocket& operator=(CSocket&& other) noexcept;
  CSocket(const CSocket&) = delete;
  CSocket& operator=(const CSocket&) = delete;

  // A new socket of the kind in place of the one held.
  bool Open(Kind kind);
  bool IsOpen() const;
  // Closes now. The socket is gone even when the system reports an error;
  // false then. True when nothing was open.
  bool Close();
  // Closes with a reset instead of an orderly end (TCP).
  void CloseWithReset();
  int Error() const { return m_Error; }

  // Options; true on success.
  bool EnableBroadcast();
  bool BroadcastEnabled() const;
  // The smallest buffers (a write completes only when the network has taken
  // it) and no delay for small segments (TCP).
  bool PrepareStream();
  // A listener may take its port again at once.
  bool ReuseAddress();
  // Ties the socket to the interface of that name, for talking to peer: it
  // sends and receives through it only. (Windows ties a socket by its local
  // address: the interface's address in the peer's subnet, or where it has
  // none, the interface's index alone, leaving the address to the system.)
  // 0, or the system's code when refused.
  int BindToInterface(const std::string& name, const Ipv4Endpoint& peer);
  bool Bind(const Ipv4Endpoint& local);
  // The port the socket is bound to (0: none).
  uint16_t LocalPort() const;
  bool Listen(int backlog);
  // A pending connection, non-blocking and without delay; false for none.
  bool Accept(CSocket* connection);

  // Starts a connect: DONE, WOULD_BLOCK (wait until writable, then ask
  // ConnectError) or FAILED.
  IoResult Connect(const Ipv4Endpoint& peer);
  // 0 once the connect has succeeded, else the system's code.
  int ConnectError();

  IoResult Send(const uint8_t* data, size_t length, size_t* sent);
  IoResult Receive(uint8_t* buffer, size_t capacity, size_t* received);
  // One datagram to peer, out of the interface with that index (0: the
  // routing table chooses).
  IoResult SendTo(const Ipv4Endpoint& peer, const uint8_t* data, size_t length, int interfaceIndex = 0);
  // One datagram, its sender and the index of the interface it came in on
  // (0: unknown); from and arrival may be null.
  IoResult ReceiveFrom(uint8_t* buffer, size_t capacity, size_t* received, Ipv4Endpoint* from, int* arrival);

  // Ends both directions; a thread waiting on the socket wakes up.
  void Shutdown();
  // Waits until the socket can be read (or written), cancel is set, or
  // realMs have passed (-1: no limit).
  SocketWait Wait(bool writable, const CCancelEvent* cancel, int realMs) const;

  // Waits until one of sockets can be read, stop is set, or realMs have
  // passed (-1: no limit). ready[i] tells which; false when none is (stop,
  // time-out, failure).
  static bool WaitForAny(const CSocket* const* sockets, size_t count, const CCancelEvent* stop, int realMs,
                         bool* ready);

  struct Native;

 private:
  IoResult Failed();

  std::unique_ptr<Native> m_Native;
  int m_Error = 0;
};

// The system's codes the ports give a name: a lost connection (reset,
// aborted, broken), and a datagram too long for its buffer.
bool IsConnectionLoss(int code);
int TooLongError();
