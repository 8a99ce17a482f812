// Client of the router's UDP command service (port 1280): discovery by
// broadcast, and short commands that the router acknowledges by echoing the
// 32-byte record. Each record travels as one frame with leading flag in one
// datagram. A client lives for one discovery try or one command.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/AddressText.h"
#include "net/INetPort.h"

constexpr int ROUTER_UDP_PORT = 1280;
constexpr uint32_t ROUTER_COMMAND_SIZE = 32;

enum RouterCommandCode : uint8_t {
  ROUTER_CMD_DISCOVER = 1,
  ROUTER_CMD_ERASE_NVRAM = 6,
  ROUTER_CMD_ENTER_FORCE_LOAD = 7,
  ROUTER_CMD_LEAVE_FORCE_LOAD = 8,
  ROUTER_CMD_PING = 10,
};

// Shared network constants.
extern const uint8_t BROADCAST_IP[4];  // 255.255.255.255
extern const uint8_t ZERO_MAC[6];
extern const uint8_t ZERO_IP[4];

// The 32-byte UDP record: code, router IPv4 (4), router MAC (6), 21 zero
// bytes (a discovery reply carries the version text from offset 11).
struct RouterCommand {
  uint8_t m_Bytes[ROUTER_COMMAND_SIZE] = {};
  // Fills code, address and MAC; zero elsewhere.
  void Set(uint8_t code, const uint8_t ip[4], const uint8_t mac[6]);
};

// One decoded discovery reply: code 1, the router's IPv4 at 1, its MAC at 5
// (not all zero), the version text from 11 to its NUL or the reply's end.
// Fills the outputs only when it is one; text may be null.
bool ParseDiscoveryReply(const uint8_t* reply, uint32_t length, uint8_t mac[6], uint8_t ip[4],
                         std::string* text);

class RouterUdpClient {
 public:
  // Configures and opens the port for ip:port; shows a notice when that fails.
  RouterUdpClient(const uint8_t ip[4], int port);
  ~RouterUdpClient();

  // Broadcasts the discovery request and waits for the first reply with code
  // 1 and a non-zero MAC. Fills the outputs only on success; text may be null.
  bool Discover(uint8_t mac[6], uint8_t ip[4], std::string* text);
  // Sends m_Request and expects it back unchanged within timeoutMs.
  bool Exchange(uint32_t timeoutMs);
  bool SendFrame(const uint8_t* payload, uint32_t length, uint32_t timeoutMs);
  // destination must hold 512 bytes.
  bool ReceiveFrame(uint8_t* destination, uint32_t capacity, uint32_t* length, uint32_t timeoutMs);

  std::unique_ptr<INetPort> m_UdpPort;
  bool m_PortReady = false;
  RouterCommand m_Request;
  RouterCommand m_Response;
};
