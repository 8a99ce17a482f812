// What the Win32 implementations hold behind the platform's classes. Only
// the files of this folder include it: the system's headers stay out of the
// core.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/CancelEvent.h"
#include "platform/Socket.h"

struct CCancelEvent::Native {
  WSAEVENT m_Event = WSA_INVALID_EVENT;  // manual reset
  std::mutex m_Lock;                     // makes Take's test and reset one step
};

// A socket and what its waits need. The socket and its interfaces' sockets
// are selected (WSAEventSelect) for their network events on m_Network, which
// makes them non-blocking. That event only says "something happened", and
// the system signals most happenings only once until a later call re-arms
// them: so a wait reads the sockets' state itself (select, no time-out)
// before it waits, and whoever resets the event tells every other waiting
// thread through that thread's own event in m_Waiters to look again. No
// wake-up is then lost between a thread's look at the socket and its wait,
// with a reader and a writer waiting on one socket at once.
struct CSocket::Native {
  // A datagram socket bound to one interface's address, through which
  // datagrams for that interface leave and their answers come back.
  struct Way {
    int m_Index;
    SOCKET m_Socket;
    uint8_t m_Local[4] = {};  // the address it sends from
  };

  SOCKET m_Socket = INVALID_SOCKET;
  bool m_Datagram = false;
  std::atomic<bool> m_Bound{false};  // see HasAddress
  WSAEVENT m_Network = WSA_INVALID_EVENT;
  WSAEVENT m_Closing = WSA_INVALID_EVENT;  // set by Shutdown, never reset
  LPFN_WSARECVMSG m_ReceiveMessage = nullptr;

  std::mutex m_Lock;  // guards the two lists below and the reset of m_Network
  std::vector<HANDLE> m_Waiters;
  std::vector<Way> m_Ways;
};

// Whether the socket can be read from. A datagram socket has a local
// address only after its bind or its first datagram sent, and before, the
// system refuses to read it (where nothing can arrive anyway).
bool HasAddress(CSocket::Native* native);
