// The simulator's tests speak to it over loopback sockets with the request
// bytes as the protocol tables give them, nothing of the tool's own, and
// judge the replies by patterns:
//   "4B C9 03 FF '2.1.0.7' 00 *66"
// hex bytes, ".." any byte, 'text' its bytes, and a final "*" any rest
// ("*N": any rest up to N bytes in all); without "*" the lengths agree.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "sim/SimFaultParser.h"
#include "support/LoopbackPeers.h"
#include "support/Packages.h"
#include "support/SimFixture.h"

namespace simtest {

using namespace testsupport;

inline Bytes Padded(Bytes head, size_t length) {
  head.resize(length, 0);
  return head;
}
inline const Bytes HANDSHAKE = Padded({0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06}, 133);
inline const Bytes BOARD_VERSION{0x4B, 0xC9, 0x03, 0xFF};
inline const Bytes ISO_VERSION = Padded({0x4B, 0xC9, 0x24, 0xFF}, 36);
inline const Bytes RESTORE_STATUS = Padded({0x4B, 0xC9, 0x21, 0xFF}, 36);
inline const Bytes NV_BACKUP{0x4B, 0xC8, 0x1E, 0xFF, 0, 0, 0, 0};
inline const Bytes NV_RESTORE{0x4B, 0xC8, 0x1E, 0xFF, 1, 1, 0, 0};
inline const Bytes SWITCH{0x3A};  // to the downloader
inline const Bytes RESET{0x0A};
inline const char RUT_BEGIN[] = "Zyphex RUT Begin Download Pkt";

inline Bytes Unlock(const std::string& code = "QELUNLK1") { return Concat({{0x0B}, Bytes(code.begin(), code.end())}); }
inline Bytes Write(uint32_t address, const Bytes& data) {
  return Concat({{0x0F, uint8_t(address >> 24), uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address),
                  uint8_t(data.size() >> 8), uint8_t(data.size())}, data});
}
// The router's 32-byte UDP record with the default address and MAC.
inline Bytes RouterRecord(uint8_t code) { return Padded({code, 127, 0, 0, 1, 0x02, 0x51, 0xE1, 0x00, 0x00, 0x01}, 32); }
// The router's 40-byte begin or result packet.
inline Bytes ControlPacket(const std::string& magic, uint32_t value) {
  Bytes packet = Concat({{0xFF}, Padded(Bytes(magic.begin(), magic.end()), 29)});
  for (int b = 0; b < 4; ++b) packet.push_back(uint8_t(value >> (8 * b)));
  return Padded(packet, 40);
}

// The pattern of the module's handshake reply with its two flags.
inline std::string HandshakeReply(int inDownloader, int offline) {
  return "26 00 00 25 A7 00 06 00 00 00 00 00 00 00 0" + std::to_string(inDownloader) + " 0" +
         std::to_string(offline) + " 00 00 00 00";
}

inline bool Matches(const Bytes& reply, const std::string& pattern) {
  std::istringstream tokens(pattern);
  std::string token;
  size_t at = 0;
  while (tokens >> token) {
    if (token[0] == '*') return token.size() == 1 || reply.size() == std::stoul(token.substr(1));
    if (token[0] == '\'') {
      const std::string text = token.substr(1, token.size() - 2);
      if (reply.size() < at + text.size() || !std::equal(text.begin(), text.end(), reply.begin() + at)) return false;
      at += text.size();
    } else if (at >= reply.size() || (token != ".." && reply[at] != std::stoi(token, nullptr, 16))) {
      return false;
    } else {
      ++at;
    }
  }
  return at == reply.size();
}

// A simulator at 100 times the speed (4000 ms restart: 40 ms real) with a
// TCP connection and a UDP socket to talk to it.
class SimTest : public ::testing::Test {
 protected:
  using Change = std::function<void(SimOptions&)>;
  void Launch(const Change& change = {}) {
    m_Options = TestSimOptions(100);
    if (change) change(m_Options);
    m_Sim = StartSim(m_Options);
    m_Tool = std::make_unique<TcpPeer>(m_Options.m_Port);
  }
  // The change that sets faults given by their command-line texts.
  static Change Faults(const std::vector<std::string>& texts) {
    return [texts](SimOptions& options) {
      std::string error;
      for (const std::string& text : texts) EXPECT_TRUE(ApplyFault(text, &options.m_Faults, &error)) << error;
    };
  }
  // The payload of the next frame after a request on the TCP connection.
  Bytes Ask(const Bytes& request, bool lead = false) {
    m_Tool->SendFrame(request, lead);
    return m_Tool->ReceiveFrame(1000);
  }
  // The reply to a record sent to the router's UDP service.
  Bytes AskUdp(const Bytes& record) {
    m_Udp.SendFrameTo(record, "127.0.0.1", m_Options.m_Port);
    return m_Udp.ReceiveFrame(1000);
  }
  bool WaitRestarted() { return WaitUntil([&] { return !m_Sim->Restarting(); }, 2000); }

  SimOptions m_Options;
  std::unique_ptr<GatewaySim> m_Sim;
  std::unique_ptr<TcpPeer> m_Tool;
  UdpPeer m_Udp;
};

}  // namespace simtest
