// The simulator's tests speak to it over loopback sockets with the request
// bytes as the protocol tables give them, nothing of the tool's own, and
// judge the replies by patterns:
//   "4B C9 03 FF '2.1.0.7' 00 *66"
// hex bytes, ".." any byte, 'text' its bytes, and a final "*" any rest
// ("*N": any rest up to N bytes in all); without "*" the lengths agree.
#pragma once

#include "sim/SimFaultParser.h"
#include "support/LoopbackPeers.h"
#include "support/Packages.h"
#include "support/SimFixture.h"

namespace simtest {

using namespace testsupport;

inline Bytes Padded(Bytes head, size_t length) { head.resize(length, 0); return head; }
inline const Bytes HANDSHAKE = Padded({0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06}, 133), BOARD_VERSION{0x4B, 0xC9, 0x03, 0xFF},
                   ISO_VERSION = Padded({0x4B, 0xC9, 0x24, 0xFF}, 36), RESTORE_STATUS = Padded({0x4B, 0xC9, 0x21, 0xFF}, 36),
                   NV_BACKUP{0x4B, 0xC8, 0x1E, 0xFF, 0, 0, 0, 0}, NV_RESTORE{0x4B, 0xC8, 0x1E, 0xFF, 1, 1, 0, 0},
                   SWITCH{0x3A} /* to the downloader */, RESET{0x0A};
inline const char RUT_BEGIN[] = "Zyphex RUT Begin Download Pkt";

inline Bytes Unlock(const std::string& code = "QELUNLK1") { return Concat({{0x0B}, Bytes(code.begin(), code.end())}); }
inline Bytes Write(uint32_t address, const Bytes& data) {
  return Concat({{0x0F, uint8_t(address >> 24), uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address),
                  uint8_t(data.size() >> 8), uint8_t(data.size())}, data});
}
// The router's 32-byte UDP record with the default address and MAC.
inline Bytes RouterRecord(uint8_t code) { return Padded({code, 127, 0, 0, 1, 0x02, 0x51, 0xE1, 0x00, 0x00, 0x01}, 32); }
// The router's 40-byte begin or result packet (a value below 65536).
inline Bytes ControlPacket(const std::string& magic, uint32_t value) {
  return Padded(Concat({{0xFF}, Padded(Bytes(magic.begin(), magic.end()), 29), {uint8_t(value), uint8_t(value >> 8)}}), 40);
}
// The pattern of the module's handshake reply with its two flags.
inline std::string HandshakeReply(int inDownloader, int offline) {
  return "26 00 00 25 A7 00 06 00 00 00 00 00 00 00 0" + std::to_string(inDownloader) + " 0" + std::to_string(offline) +
         " 00 00 00 00";
}

inline bool Matches(const Bytes& reply, const std::string& pattern) {
  std::istringstream tokens(pattern);
  std::string token, rest;
  std::vector<int> expected;  // -1: any byte
  while (tokens >> token) {
    if (token[0] == '*') rest = token;
    else if (token[0] == '\'') expected.insert(expected.end(), token.begin() + 1, token.end() - 1);
    else expected.push_back(token == ".." ? -1 : std::stoi(token, nullptr, 16));
  }
  const bool sized = rest.empty() ? reply.size() == expected.size()
                                  : reply.size() >= expected.size() &&
                                        (rest.size() == 1 || reply.size() == std::stoul(rest.substr(1)));
  return sized && std::equal(expected.begin(), expected.end(), reply.begin(), [](int e, uint8_t r) { return e < 0 || e == r; });
}

// One step of a conversation: how the request goes, the request, and the
// pattern of the reply: "" none (the reply to the next request then comes
// first), "=" the request itself. m_Via:
//   'T' a frame on the TCP connection, 'L' the same with a leading flag,
//   'R' raw bytes on it, 'U' a record to the router's UDP port (a reply
//   that is no frame is judged raw),
//   'X' the simulator has ended the connection: connect anew,
//   'W' waits for the module's restart to end.
struct Step { char m_Via; Bytes m_Request; std::string m_Reply; };

// A simulator at 100 times the speed (restart 30000 ms: 300 ms real, room to
// be seen silent) with a TCP connection and a UDP socket to talk to it.
class SimTest : public ::testing::Test {
 protected:
  void Launch(const std::vector<std::string>& faults, const std::function<void(SimOptions&)>& change = {}) {
    m_Options = FastSimOptions(100);
    m_Options.m_RestartMs = 30000;
    std::string error;
    for (const std::string& text : faults) EXPECT_TRUE(ApplyFault(text, &m_Options.m_Faults, &error)) << error;
    if (change) change(m_Options);
    m_Sim = StartSim(m_Options);
    m_Tool = std::make_unique<TcpPeer>(m_Options.m_Port);
  }
  void Run(const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i));
      const Step& s = steps[i];
      if (s.m_Via == 'W' && !WaitUntil([&] { return !m_Sim->Restarting(); }, 3000)) FAIL() << "still restarting";
      if (s.m_Via == 'X' && !(m_Tool->ReceiveFrame().empty() && !m_Tool->Send({0x7E}))) ADD_FAILURE() << "open";
      if (s.m_Via == 'X') m_Tool = std::make_unique<TcpPeer>(m_Options.m_Port);
      if (s.m_Via == 'U') m_Udp.SendTo(Frame(s.m_Request, true), LoopbackAddress("127.0.0.1", m_Options.m_Port));
      if (strchr("TLR", s.m_Via)) m_Tool->Send(s.m_Via == 'R' ? s.m_Request : Frame(s.m_Request, s.m_Via == 'L'));
      if (s.m_Reply.empty()) continue;
      Bytes reply = s.m_Via == 'U' ? Bytes{} : m_Tool->ReceiveFrame();
      if (s.m_Via == 'U' && m_Udp.ReceiveFrom(&reply, nullptr) && !Unframe(reply).empty()) reply = Unframe(reply);
      EXPECT_TRUE(s.m_Reply == "=" ? reply == s.m_Request : Matches(reply, s.m_Reply))
          << ::testing::PrintToString(reply) << " is not " << s.m_Reply;
    }
  }

  ScopedClockScale m_Clock{100};  // the times the tests measure are the simulator's
  SimOptions m_Options;
  std::unique_ptr<GatewaySim> m_Sim;
  std::unique_ptr<TcpPeer> m_Tool;
  UdpPeer m_Udp;
};

}  // namespace simtest
