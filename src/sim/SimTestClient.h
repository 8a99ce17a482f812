// A tiny client for the simulator's own tests: plain sockets and the frame
// helpers, nothing of the tool's transport, so the tests speak to the
// simulator exactly as the byte tables say.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "diag/Hdlc.h"

namespace simtest {

inline std::vector<uint8_t> Encode(const std::vector<uint8_t>& payload, bool leadingFlag) {
  std::vector<uint8_t> out(HdlcMaxEncodedLength(static_cast<uint32_t>(payload.size())));
  out.resize(HdlcEncode(payload.data(), static_cast<uint32_t>(payload.size()), out.data(),
                        leadingFlag ? 1 : 0));
  return out;
}

// The payload of one frame; empty when it does not decode.
inline std::vector<uint8_t> Decode(const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> out(frame.size() + 1);
  out.resize(HdlcDecode(frame.data(), static_cast<uint32_t>(frame.size()), out.data()));
  return out;
}

inline sockaddr_in Address(const char* ip, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, ip, &address.sin_addr);
  return address;
}

inline bool WaitReadable(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, timeoutMs) > 0;
}

// One request per datagram, as the router's UDP clients send them.
class UdpClient {
 public:
  UdpClient() {
    m_Fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    setsockopt(m_Fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  }
  ~UdpClient() { close(m_Fd); }

  void Send(const std::vector<uint8_t>& payload, const char* ip, int port) {
    const std::vector<uint8_t> frame = Encode(payload, true);
    const sockaddr_in to = Address(ip, port);
    sendto(m_Fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
  // The raw datagram; empty when none came in time.
  std::vector<uint8_t> ReceiveRaw(int timeoutMs) {
    if (!WaitReadable(m_Fd, timeoutMs)) return {};
    std::vector<uint8_t> datagram(2048);
    const ssize_t n = recv(m_Fd, datagram.data(), datagram.size(), 0);
    datagram.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return datagram;
  }
  std::vector<uint8_t> Receive(int timeoutMs) { return Decode(ReceiveRaw(timeoutMs)); }
  // Sends the 32-byte record and returns the decoded answer.
  std::vector<uint8_t> Exchange(const std::vector<uint8_t>& record, int port, int timeoutMs = 1000) {
    Send(record, "127.0.0.1", port);
    return Receive(timeoutMs);
  }

 private:
  int m_Fd;
};

// The router connection: frames out, frames cut from the stream back.
class TcpClient {
 public:
  explicit TcpClient(int port) {
    m_Fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in to = Address("127.0.0.1", port);
    m_Connected = connect(m_Fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
  }
  ~TcpClient() { close(m_Fd); }
  bool Connected() const { return m_Connected; }

  bool SendRaw(const std::vector<uint8_t>& bytes) {
    return send(m_Fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  bool SendFrame(const std::vector<uint8_t>& payload, bool leadingFlag) {
    return SendRaw(Encode(payload, leadingFlag));
  }
  // The next frame's payload, or empty when none came in time (or the
  // connection ended, see Closed).
  std::vector<uint8_t> Receive(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      while (m_Position < m_Buffer.size()) {
        const uint8_t byte = m_Buffer[m_Position++];
        if (byte != HDLC_FLAG) {
          m_Run.push_back(byte);
          continue;
        }
        std::vector<uint8_t> run;
        run.swap(m_Run);
        if (run.size() >= 3) return Decode(run);
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0 || !WaitReadable(m_Fd, static_cast<int>(left))) return {};
      uint8_t chunk[4096];
      const ssize_t n = recv(m_Fd, chunk, sizeof chunk, 0);
      if (n <= 0) {
        m_Closed = true;
        return {};
      }
      m_Buffer.assign(chunk, chunk + n);
      m_Position = 0;
    }
  }
  // Sends a request frame and returns the reply's payload.
  std::vector<uint8_t> Exchange(const std::vector<uint8_t>& payload, bool leadingFlag,
                                int timeoutMs = 1000) {
    SendFrame(payload, leadingFlag);
    return Receive(timeoutMs);
  }
  bool Closed() const { return m_Closed; }

 private:
  int m_Fd;
  bool m_Connected = false;
  bool m_Closed = false;
  std::vector<uint8_t> m_Buffer;
  size_t m_Position = 0;
  std::vector<uint8_t> m_Run;
};

// Requests as the byte tables give them.
inline std::vector<uint8_t> Handshake() {
  std::vector<uint8_t> r{0x26, 0x00, 0x00, 0x25, 0xA7, 0x00, 0x06};
  r.resize(133, 0);
  return r;
}
inline std::vector<uint8_t> Padded(std::vector<uint8_t> head, size_t length) {
  head.resize(length, 0);
  return head;
}
inline std::vector<uint8_t> BoardVersion() { return {0x4B, 0xC9, 0x03, 0xFF}; }
inline std::vector<uint8_t> IsoVersion() { return Padded({0x4B, 0xC9, 0x24, 0xFF}, 36); }
inline std::vector<uint8_t> RestoreStatus() { return Padded({0x4B, 0xC9, 0x21, 0xFF}, 36); }
inline std::vector<uint8_t> NvBackup() { return {0x4B, 0xC8, 0x1E, 0xFF, 0, 0, 0, 0}; }
inline std::vector<uint8_t> NvRestore() { return {0x4B, 0xC8, 0x1E, 0xFF, 1, 1, 0, 0}; }
inline std::vector<uint8_t> Unlock(const char* code = "QELUNLK1") {
  std::vector<uint8_t> r(9, 0x0B);
  for (size_t i = 0; i < 8; ++i) r[1 + i] = static_cast<uint8_t>(code[i]);
  return r;
}
inline std::vector<uint8_t> Write(uint32_t address, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> r{0x0F, static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                         static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                         static_cast<uint8_t>(data.size() >> 8), static_cast<uint8_t>(data.size())};
  r.insert(r.end(), data.begin(), data.end());
  return r;
}
// The 32-byte router record with the default address and MAC.
inline std::vector<uint8_t> RouterRecord(uint8_t code) {
  std::vector<uint8_t> r(32, 0);
  r[0] = code;
  const uint8_t fields[10] = {127, 0, 0, 1, 0x02, 0x51, 0xE1, 0x00, 0x00, 0x01};
  std::copy(fields, fields + 10, r.begin() + 1);
  return r;
}
inline std::vector<uint8_t> ControlPacket(const char* magic, uint32_t value) {
  std::vector<uint8_t> p(40, 0);
  p[0] = 0xFF;
  std::copy(magic, magic + 29, p.begin() + 1);
  for (int b = 0; b < 4; ++b) p[30 + b] = static_cast<uint8_t>(value >> (8 * b));
  return p;
}

}  // namespace simtest
