// The router's UDP command service: one frame per datagram, every answer
// sent back to the address and port that asked.
//   code 1   discovery: code 1, reported IPv4, MAC, version text from offset
//            11 and its NUL (longer than 32 bytes for long texts)
//   code 6   erase NVRAM: echoed
//   code 7   enter the forcing download mode: echoed; the force flag is set
//            and the wireless module restarts (into its downloader)
//   code 8   leave the forcing download mode: echoed; the flag is cleared
//   code 10  ping: echoed
// Other codes and frames that do not decode get no answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Socket.h"
#include "sim/GatewaySim.h"
#include "sim/RouterState.h"
#include "sim/SimTime.h"

class SimRecorder;
class WirelessModule;

class RouterUdpService {
 public:
  RouterUdpService(const SimOptions& options, const uint8_t reportedIp[4], RouterState* router,
                   WirelessModule* module, SimRecorder* recorder);
  ~RouterUdpService();

  // Binds the port on the device (the loopback device unless an interface
  // is named).
  bool Open(std::string* error);
  void Close();
  const CSocket& Socket() const { return m_Socket; }
  // Reads and answers every datagram waiting.
  void OnReadable(SimTime now);
  // The answer (a whole frame) to one decoded request of at least one byte;
  // empty for none. Also serves a peer that carries the datagrams itself,
  // without the socket.
  std::vector<uint8_t> Answer(const std::vector<uint8_t>& request, SimTime now);

 private:
  std::vector<uint8_t> DiscoveryReply(size_t event);

  const SimOptions& m_Options;
  uint8_t m_ReportedIp[4];
  RouterState* m_Router;
  WirelessModule* m_Module;
  SimRecorder* m_Recorder;
  CSocket m_Socket;
};
