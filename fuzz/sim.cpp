// The simulator's request parsing: the wireless module, the router's UDP
// service and its TCP stream, one gateway per input. Two leading bytes turn
// faults on; then each record goes, by kind & 3, to the module as a request,
// to the UDP service as a datagram, or into the TCP stream as a frame of its
// bytes or as raw bytes. kind >> 2 advances the gateway's time in 0.5 s
// steps first, so restarts, idle image ends and results come due.
#include <sys/socket.h>

#include "FuzzInput.h"
#include "sim/RouterTcpService.h"
#include "sim/RouterUdpService.h"
#include "sim/SimFrame.h"
#include "sim/SimRecorder.h"
#include "sim/WirelessModule.h"

namespace {

// Feeds bytes to the TCP service through a socket pair (a new one whenever
// it has no connection) in small pieces, drained after each so that answers
// never fill the pair.
struct Stream {
  CFileDescriptor m_Peer;
  void Feed(RouterTcpService& service, const Bytes& bytes, SimTime now) {
    for (size_t at = 0; at < bytes.size(); at += 1024) {
      int fds[2];
      if (service.ConnectionFd() < 0) {
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) return;
        service.Adopt(CFileDescriptor(fds[0]));
        m_Peer = CFileDescriptor(fds[1]);
      }
      const size_t n = std::min<size_t>(1024, bytes.size() - at);
      if (send(m_Peer.Get(), bytes.data() + at, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) return;
      service.OnReadable(now);
      Drain();
    }
  }
  void Drain() {
    uint8_t buffer[65536];
    while (m_Peer.Get() >= 0 && recv(m_Peer.Get(), buffer, sizeof buffer, 0) > 0) continue;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  SimOptions options;
  SimFaults& faults = options.m_Faults;
  const uint8_t f1 = in.Byte(), f2 = in.Byte();
  bool* flags[] = {&faults.m_StartInDownloader, &faults.m_Offline,    &faults.m_ResetRefused,
                   &faults.m_StaysInDownloader, &faults.m_NoRouterResult, &faults.m_CorruptFcs,
                   &faults.m_ZeroMac,           &faults.m_RestoreStatusForced};
  for (int bit = 0; bit < 8; ++bit) *flags[bit] = (f1 >> bit) & 1;
  faults.m_HandshakeSilent = f2 & 3;
  faults.m_UnlockRefused = (f2 >> 2) & 3;
  faults.m_NvBackupReason = (f2 >> 4) & 7;
  faults.m_ConnectionResetAtBlock = f2 >> 7;
  faults.m_BlockRefusedAt = faults.m_BlockRefusedTries = (f2 >> 6) & 1;
  faults.m_RestoreRefused = f2 & 1;

  SimRecorder recorder("", true);
  RouterState router;
  WirelessModule module(options, &router, &recorder);
  RouterUdpService udp(options, options.m_Ip, &router, &module, &recorder);
  RouterTcpService tcp(options, options.m_Ip, &router, &module, &recorder);
  Stream stream;
  SimTime now{};
  while (!in.Empty()) {
    const auto [kind, bytes] = in.Record();
    now += std::chrono::milliseconds(500) * (kind >> 2);
    module.Tick(now);
    tcp.OnTimer(now);  // may send a result
    stream.Drain();
    bool reset = false;
    Bytes request;
    if ((kind & 3) == 0) {
      module.Handle(bytes.data(), bytes.size(), now, &reset);
    } else if ((kind & 3) == 1) {
      if (bytes.size() <= 2048 && DecodeFrame(bytes.data(), bytes.size(), &request)) udp.Answer(request, now);
    } else {
      stream.Feed(tcp, (kind & 3) == 2 ? EncodeFrame(bytes, kind & 4) : bytes, now);
    }
  }
  return 0;
}
