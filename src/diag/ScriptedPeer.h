// For the diagnostic tests: a loopback TCP peer standing in for the router
// and the module behind it. It cuts the stream it receives into frames,
// records each request payload (and every raw byte), and answers each with
// the frames its script returns for it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "diag/Hdlc.h"

class ScriptedPeer {
 public:
  using Bytes = std::vector<uint8_t>;
  // Replies to the request (its payload) that arrived as number index (0-based).
  using Script = std::function<std::vector<Bytes>(const Bytes& request, int index)>;

  explicit ScriptedPeer(Script script) : m_Script(std::move(script)) {
    m_Listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(m_Listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(m_Listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_Port = ntohs(address.sin_port);
    listen(m_Listen, 4);
    m_Thread = std::thread([this] { Serve(); });
  }

  ~ScriptedPeer() {
    m_Stop = true;
    m_Thread.join();
    close(m_Listen);
  }

  int Port() const { return m_Port; }

  std::vector<Bytes> Requests() const {
    std::lock_guard<std::mutex> hold(m_Lock);
    return m_Requests;
  }
  Bytes Wire() const {
    std::lock_guard<std::mutex> hold(m_Lock);
    return m_Wire;
  }

  // The frame a peer puts on the stream for payload.
  static Bytes Frame(const Bytes& payload) {
    Bytes out(HdlcMaxEncodedLength(static_cast<uint32_t>(payload.size())));
    out.resize(HdlcEncode(payload.data(), static_cast<uint32_t>(payload.size()), out.data(), 0));
    return out;
  }

 private:
  void Serve() {
    while (!m_Stop) {
      pollfd listening{m_Listen, POLLIN, 0};
      if (poll(&listening, 1, 5) <= 0) continue;
      const int connection = accept4(m_Listen, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      ServeConnection(connection);
      close(connection);
    }
  }

  void ServeConnection(int connection) {
    Bytes segment;
    while (!m_Stop) {
      pollfd readable{connection, POLLIN, 0};
      if (poll(&readable, 1, 5) <= 0) continue;
      uint8_t buffer[4096];
      const ssize_t n = read(connection, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t i = 0; i < n; ++i) {
        {
          std::lock_guard<std::mutex> hold(m_Lock);
          m_Wire.push_back(buffer[i]);
        }
        if (buffer[i] != HDLC_FLAG) {
          segment.push_back(buffer[i]);
          continue;
        }
        if (!segment.empty()) Answer(connection, segment);
        segment.clear();
      }
    }
  }

  void Answer(int connection, const Bytes& segment) {
    Bytes payload(segment.size());
    const uint32_t length = HdlcDecode(segment.data(), static_cast<uint32_t>(segment.size()), payload.data());
    if (length == 0) return;
    payload.resize(length);
    int index;
    {
      std::lock_guard<std::mutex> hold(m_Lock);
      index = static_cast<int>(m_Requests.size());
      m_Requests.push_back(payload);
    }
    for (const Bytes& reply : m_Script(payload, index)) {
      const Bytes frame = Frame(reply);
      if (write(connection, frame.data(), frame.size()) < 0) return;
    }
  }

  Script m_Script;
  int m_Listen = -1;
  int m_Port = 0;
  std::atomic<bool> m_Stop{false};
  mutable std::mutex m_Lock;
  std::vector<Bytes> m_Requests;
  Bytes m_Wire;
  std::thread m_Thread;
};
