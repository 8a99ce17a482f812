// The router's TCP service on its socket: one connection at a time (a new
// connection replaces the old one), what arrives handed to the router's
// protocol (sim/RouterTcpProtocol.h) and what it answers sent back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Socket.h"
#include "sim/GatewaySim.h"
#include "sim/RouterState.h"
#include "sim/RouterTcpProtocol.h"
#include "sim/SimTime.h"

class SimRecorder;
class WirelessModule;

class RouterTcpService {
 public:
  RouterTcpService(const SimOptions& options, const uint8_t ip[4], RouterState* router,
                   WirelessModule* module, SimRecorder* recorder);
  ~RouterTcpService();

  bool Open(std::string* error);
  // Ends the connection and stops listening.
  void Close();
  const CSocket& Listener() const { return m_Listener; }
  const CSocket& Connection() const { return m_Connection; }
  int ConnectionCount() const { return m_ConnectionCount; }

  void OnAcceptable(SimTime now);
  void OnReadable(SimTime now);
  // Ends an idle image and sends a due result.
  void OnTimer(SimTime now);
  SimTime Deadline() const;

 private:
  // Serves a connected, non-blocking socket, replacing the connection there was.
  void Adopt(CSocket connection);
  // Hands bytes to the protocol, each answer sent before the bytes after it.
  void Take(const uint8_t* data, size_t length, SimTime now);
  void Send(const std::vector<uint8_t>& bytes);
  void Drop(bool reset, const std::string& why);

  const SimOptions& m_Options;
  uint8_t m_Ip[4];
  SimRecorder* m_Recorder;
  RouterTcpProtocol m_Protocol;
  CSocket m_Listener;
  CSocket m_Connection;
  int m_ConnectionCount = 0;
};
