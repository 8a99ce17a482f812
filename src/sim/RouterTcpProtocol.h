// What the router does on its TCP connection, without the socket: it takes
// the bytes the tool sent, at a time, and gives the bytes the router sends
// back. The stream is cut at 0x7E into frames (leading flag optional).
// 40-byte control packets (first byte 0xFF) are the router's own:
//   "Zyphex RUT Begin Download Pkt"  the stream turns into raw image bytes
//       for the announced size, or until it has been idle for a second after
//       at least one image byte (the tool announces the sum of all units but
//       sends only the first). The router then installs the image and sends
//       the 40-byte result packet: 0xFF, 29 zeros, code (LE32) at 30, 6 zeros.
//   "Zyphex FWT Begin Download Pkt"  recorded.
//   "Zyphex FWT Force Download Pkt"  recorded; sets the forcing download flag.
// Every other frame goes to the wireless module, and its reply comes back
// as a frame with a leading flag.
//
// The socket around it (sim/RouterTcpService.h) sends each answer before it
// hands on the bytes after the request, and calls OnTimer by Deadline().
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/GatewaySim.h"
#include "sim/RouterState.h"
#include "sim/SimFrame.h"
#include "sim/SimTime.h"

class SimRecorder;
class WirelessModule;

class RouterTcpProtocol {
 public:
  // Program milliseconds of silence that end a shorter image than announced,
  // and the least real time allowed for it, so that an accelerated run does
  // not cut an image at a scheduling hiccup.
  static constexpr uint32_t IMAGE_IDLE_MS = 1000;
  static constexpr int IMAGE_IDLE_MIN_REAL_MS = 50;

  RouterTcpProtocol(const SimOptions& options, RouterState* router, WirelessModule* module,
                    SimRecorder* recorder);

  // Takes the tool's bytes from the front of data, up to the end of the
  // first frame that draws an answer or a reset, and appends that answer to
  // *out as the router sends it. Returns how many bytes it took (at least
  // one when length is not 0); *reset tells that the router resets the
  // connection instead of answering.
  size_t Receive(const uint8_t* data, size_t length, SimTime now, std::vector<uint8_t>* out,
                 bool* reset);
  // Ends an image that has gone idle and appends the result packet to *out
  // when it is due.
  void OnTimer(SimTime now, std::vector<uint8_t>* out);
  // When OnTimer has work next (the idle end of an image, the result);
  // SIM_NEVER for none.
  SimTime Deadline() const;
  // When the result packet of the last image is due; SIM_NEVER while none
  // waits.
  SimTime ResultDue() const { return m_ResultDue; }
  // The connection has ended: an image under way is recorded as cut short,
  // the upgrade pass ends and the next connection starts afresh.
  void EndConnection();

 private:
  void OnFrame(const std::vector<uint8_t>& payload, SimTime now, std::vector<uint8_t>* out,
               bool* reset);
  // The fail-every-tenth-pass fault counts a pass at its first image.
  void BeginPass();
  void FinishImage(SimTime now);
  SimClock::duration IdleLimit() const;

  const SimOptions& m_Options;
  RouterState* m_Router;
  WirelessModule* m_Module;
  SimRecorder* m_Recorder;
  FrameCutter m_Cutter;

  // Raw image phase after a RUT begin packet.
  bool m_Raw = false;
  uint32_t m_RawAnnounced = 0;
  std::vector<uint8_t> m_Image;
  SimTime m_LastImageByte{};
  // The result packet waiting for the end of the installation.
  SimTime m_ResultDue = SIM_NEVER;
  size_t m_ImageEvent = 0;
};
