// The simulator's request parsing: the wireless module, the router's UDP
// service and its TCP stream, one gateway per input. Two leading bytes turn
// faults on; then each record goes, by kind & 3, to the module as a request,
// to the UDP service as a datagram, or into the TCP stream as a frame of its
// bytes or as raw bytes. kind >> 2 advances the gateway's time in 0.5 s
// steps first, so restarts, idle image ends and results come due.
#include "FuzzInput.h"
#include "sim/RouterTcpProtocol.h"
#include "sim/RouterUdpService.h"
#include "sim/SimFrame.h"
#include "sim/SimRecorder.h"
#include "sim/WirelessModule.h"

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
  RouterTcpProtocol tcp(options, &router, &module, &recorder);
  Bytes answers;  // what the router sends back, which nobody reads
  SimTime now{};
  while (!in.Empty()) {
    const auto [kind, bytes] = in.Record();
    now += std::chrono::milliseconds(500) * (kind >> 2);
    module.Tick(now);
    tcp.OnTimer(now, &answers);
    answers.clear();
    bool reset = false;
    Bytes request;
    if ((kind & 3) == 0) {
      module.Handle(bytes.data(), bytes.size(), now, &reset);
    } else if ((kind & 3) == 1) {
      if (bytes.size() <= 2048 && DecodeFrame(bytes.data(), bytes.size(), &request)) udp.Answer(request, now);
    } else {
      // As the socket hands the stream over: a reset ends the connection, the rest opens a new one.
      const Bytes stream = (kind & 3) == 2 ? EncodeFrame(bytes, kind & 4) : bytes;
      for (size_t at = 0; at < stream.size();) {
        at += tcp.Receive(&stream[at], stream.size() - at, now, &answers, &reset);
        if (reset) tcp.EndConnection();
      }
    }
  }
  return 0;
}
