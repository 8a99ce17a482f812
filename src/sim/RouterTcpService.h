// The router's TCP service: one connection at a time (a new connection
// replaces the old one). The stream is cut at 0x7E into frames (leading flag
// optional). 40-byte control packets (first byte 0xFF) are the router's own:
//   "Zyphex RUT Begin Download Pkt"  the stream turns into raw image bytes
//       for the announced size, or until it has been idle for a second after
//       at least one image byte (the tool announces the sum of all units but
//       sends only the first). The router then installs the image and sends
//       the 40-byte result packet: 0xFF, 29 zeros, code (LE32) at 30, 6 zeros.
//   "Zyphex FWT Begin Download Pkt"  recorded.
//   "Zyphex FWT Force Download Pkt"  recorded; sets the forcing download flag.
// Every other frame goes to the wireless module, and its reply comes back
// as a frame with a leading flag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "log/FileDescriptor.h"
#include "sim/GatewaySim.h"
#include "sim/RouterState.h"
#include "sim/SimFrame.h"
#include "sim/SimTime.h"

class SimRecorder;
class WirelessModule;

class RouterTcpService {
 public:
  // Program milliseconds of silence that end a shorter image than announced,
  // and the least real time allowed for it, so that an accelerated run does
  // not cut an image at a scheduling hiccup.
  static constexpr uint32_t IMAGE_IDLE_MS = 1000;
  static constexpr int IMAGE_IDLE_MIN_REAL_MS = 50;

  RouterTcpService(const SimOptions& options, const uint8_t ip[4], RouterState* router,
                   WirelessModule* module, SimRecorder* recorder);
  ~RouterTcpService();

  bool Open(std::string* error);
  // Ends the connection and stops listening.
  void Close();
  int ListenFd() const { return m_Listener.Get(); }
  int ConnectionFd() const { return m_Connection.Get(); }
  int ConnectionCount() const { return m_ConnectionCount; }

  void OnAcceptable(SimTime now);
  // Serves a connected, non-blocking socket (one accepted, or one end of a
  // socket pair), replacing the connection there was.
  void Adopt(CFileDescriptor connection);
  void OnReadable(SimTime now);
  // Ends an idle image and sends a due result.
  void OnTimer(SimTime now);
  SimTime Deadline() const;

 private:
  void Consume(const uint8_t* data, size_t length, SimTime now);
  void OnFrame(const std::vector<uint8_t>& payload, SimTime now);
  // The fail-every-tenth-pass fault counts a pass at its first image.
  void BeginPass();
  void FinishImage(SimTime now);
  void SendResult();
  void Send(const std::vector<uint8_t>& payload);
  void Drop(bool reset, const std::string& why);
  SimClock::duration IdleLimit() const;

  const SimOptions& m_Options;
  uint8_t m_Ip[4];
  RouterState* m_Router;
  WirelessModule* m_Module;
  SimRecorder* m_Recorder;
  CFileDescriptor m_Listener;
  CFileDescriptor m_Connection;
  int m_ConnectionCount = 0;
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
