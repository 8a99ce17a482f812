// The waits on sockets (see Native.h for how the threads share a socket's
// event).
#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/Socket.h"
#include "platform/win32/Native.h"

namespace {

using Native = CSocket::Native;
using Steady = std::chrono::steady_clock;

enum class Outcome { Ready, Stopped, TimedOut, Failed };

// What a wait looks at for one socket: the socket and its interfaces'
// sockets.
std::vector<SOCKET> Watched(Native* native, bool writable) {
  std::vector<SOCKET> list;
  if (native->m_Socket == INVALID_SOCKET) return list;
  if (writable || HasAddress(native)) list.push_back(native->m_Socket);
  std::lock_guard<std::mutex> guard(native->m_Lock);
  for (const Native::Way& way : native->m_Ways) list.push_back(way.m_Socket);
  return list;
}

bool Signalled(WSAEVENT event) { return event != WSA_INVALID_EVENT && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// Which sockets are ready at this moment: readable (or writable, or with a
// failed connect, which shows among the exceptions only), or shut down.
// Their count, or -1 when the system cannot tell.
int ReadyNow(const std::vector<Native*>& sockets, bool writable, bool* ready) {
  std::vector<std::vector<SOCKET>> watched;
  size_t total = 0;
  for (Native* native : sockets) {
    watched.push_back(Watched(native, writable));
    total += watched.back().size();
  }
  if (total > FD_SETSIZE) {
    WSASetLastError(WSAEINVAL);
    return -1;
  }
  fd_set chosen;
  fd_set failed;
  FD_ZERO(&chosen);
  FD_ZERO(&failed);
  for (const std::vector<SOCKET>& list : watched) {
    for (SOCKET socket : list) {
      FD_SET(socket, &chosen);
      FD_SET(socket, &failed);
    }
  }
  timeval now{0, 0};
  if (total > 0 && select(0, writable ? nullptr : &chosen, writable ? &chosen : nullptr, writable ? &failed : nullptr,
                          &now) == SOCKET_ERROR) {
    return -1;
  }
  int count = 0;
  for (size_t i = 0; i < sockets.size(); ++i) {
    bool is = Signalled(sockets[i]->m_Closing);
    for (SOCKET socket : watched[i]) is = is || FD_ISSET(socket, &chosen) || (writable && FD_ISSET(socket, &failed));
    ready[i] = is;
    count += is ? 1 : 0;
  }
  return count;
}

// A waiting thread's own event, known to the sockets for as long as it
// waits on them.
class CWaiter {
 public:
  explicit CWaiter(const std::vector<Native*>& sockets)
      : m_Sockets(sockets), m_Event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    if (!m_Event) return;
    for (Native* native : m_Sockets) {
      std::lock_guard<std::mutex> guard(native->m_Lock);
      native->m_Waiters.push_back(m_Event);
    }
  }
  CWaiter(const CWaiter&) = delete;
  CWaiter& operator=(const CWaiter&) = delete;

  // Leaves the thread's last error as the wait left it.
  ~CWaiter() {
    if (!m_Event) return;
    const int error = WSAGetLastError();
    for (Native* native : m_Sockets) {
      std::lock_guard<std::mutex> guard(native->m_Lock);
      std::erase(native->m_Waiters, m_Event);
    }
    CloseHandle(m_Event);
    WSASetLastError(error);
  }

  HANDLE Event() const { return m_Event; }

 private:
  const std::vector<Native*>& m_Sockets;
  const HANDLE m_Event;
};

// The socket's event woke this thread: it is reset for the next wait, with
// the record of what happened on each socket that sets it (or the system
// may set it again at once), and every other thread waiting on the socket
// looks again, as what happened may concern them and their wait no longer
// sees it.
void PassOn(Native* native, HANDLE own) {
  std::lock_guard<std::mutex> guard(native->m_Lock);
  WSANETWORKEVENTS record;
  WSAEnumNetworkEvents(native->m_Socket, nullptr, &record);
  for (const Native::Way& way : native->m_Ways) WSAEnumNetworkEvents(way.m_Socket, nullptr, &record);
  WSAResetEvent(native->m_Network);
  for (HANDLE other : native->m_Waiters) {
    if (other != own) SetEvent(other);
  }
}

// Real milliseconds left until end, rounded up; no limit for realMs -1.
DWORD Left(int realMs, Steady::time_point end) {
  if (realMs < 0) return WSA_INFINITE;
  const auto rest = std::chrono::ceil<std::chrono::milliseconds>(end - Steady::now()).count();
  return rest > 0 ? static_cast<DWORD>(rest) : 0;
}

// The state is read before every wait and after every wake-up, so a
// happening before the wait is seen, and one during it ends it.
Outcome WaitOn(const std::vector<Native*>& sockets, bool writable, const CCancelEvent* stop, int realMs, bool* ready) {
  const Steady::time_point end = Steady::now() + std::chrono::milliseconds(realMs < 0 ? 0 : realMs);
  CWaiter waiter(sockets);
  if (!waiter.Event()) return Outcome::Failed;
  // What can end a wait: the sockets' events, their closing events, this
  // thread's own event, the stop.
  std::vector<WSAEVENT> events;
  std::vector<Native*> owners;
  for (Native* native : sockets) {
    if (native->m_Socket == INVALID_SOCKET) continue;
    events.push_back(native->m_Network);
    owners.push_back(native);
  }
  for (Native* native : owners) events.push_back(native->m_Closing);
  events.push_back(waiter.Event());
  const bool stoppable = stop && stop->IsValid();
  if (stoppable) events.push_back(stop->Handle().m_Event);
  if (events.size() > WSA_MAXIMUM_WAIT_EVENTS) {
    WSASetLastError(WSAEINVAL);
    return Outcome::Failed;
  }
  const DWORD count = static_cast<DWORD>(events.size());
  for (;;) {
    const int found = ReadyNow(sockets, writable, ready);
    if (found != 0) return found > 0 ? Outcome::Ready : Outcome::Failed;
    // Looked at here too: a wake-up names only the first of the events set.
    if (stoppable && Signalled(stop->Handle().m_Event)) return Outcome::Stopped;
    // Checked here, not only when the system's wait times out: events that
    // come again and again would keep that from ever happening. And a wait
    // of the system may end a little early; this one never does.
    const DWORD left = Left(realMs, end);
    if (left == 0) return Outcome::TimedOut;
    const DWORD woke = WSAWaitForMultipleEvents(count, events.data(), FALSE, left, FALSE);
    if (woke == WSA_WAIT_TIMEOUT) continue;
    if (woke == WSA_WAIT_FAILED || woke - WSA_WAIT_EVENT_0 >= count) return Outcome::Failed;
    const DWORD which = woke - WSA_WAIT_EVENT_0;
    if (which < owners.size()) PassOn(owners[which], waiter.Event());
  }
}

}  // namespace

SocketWait CSocket::Wait(bool writable, const CCancelEvent* cancel, int realMs) const {
  const std::vector<Native*> one{m_Native.get()};
  bool ready = false;
  switch (WaitOn(one, writable, cancel, realMs, &ready)) {
    case Outcome::Ready:
      return SocketWait::Ready;
    case Outcome::Stopped:
      return SocketWait::Cancelled;
    case Outcome::TimedOut:
      return SocketWait::TimedOut;
    case Outcome::Failed:
      break;
  }
  return SocketWait::Failed;
}

bool CSocket::WaitForAny(const CSocket* const* sockets, size_t count, const CCancelEvent* stop, int realMs, bool* ready) {
  std::vector<Native*> natives;
  for (size_t i = 0; i < count; ++i) natives.push_back(sockets[i]->m_Native.get());
  if (WaitOn(natives, false, stop, realMs, ready) == Outcome::Ready) return true;
  std::fill(ready, ready + count, false);
  return false;
}
