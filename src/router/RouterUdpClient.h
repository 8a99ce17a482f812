// Client of the router's UDP command service (port 1280): discovery by
// broadcast, and short commands that the router acknowledges by echoing the
// 32-byte record. Each record travels as one frame with leading flag in one
// datagram. A client lives for one discovery try or one command.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "log/Notice.h"
#include "net/AddressText.h"
#include "net/INetPort.h"
#include "net/PortFactory.h"

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

// The way to a router: where the client's port comes from (empty: a socket),
// the interface the router answered on ("" : the routing table's way), and
// who hears of a port that cannot be opened (null: the process's notices).
struct RouterLink {
  PortMaker m_MakePort = {};
  std::string m_Interface = {};
  INoticeSink* m_Notices = nullptr;
};

class RouterUdpClient {
 public:
  // Configures and opens the port for ip:port; shows a notice when that fails.
  RouterUdpClient(const uint8_t ip[4], int port, const RouterLink& link = {});
  ~RouterUdpClient();
  RouterUdpClient(const RouterUdpClient&) = delete;
  RouterUdpClient& operator=(const RouterUdpClient&) = delete;

  // Sends the discovery request out of the interface with that index (0: the
  // routing table chooses).
  bool SendDiscovery(int interfaceIndex);
  // Waits for the next datagram: true with mac, ip and text (may be null)
  // filled when it is a reply with code 1 and a non-zero MAC; *arrival is the
  // index of the interface it came in on. *ignored tells a datagram that
  // was read but is no reply from a router (the wait may go on).
  bool ReceiveDiscovery(uint8_t mac[6], uint8_t ip[4], std::string* text, int* arrival, bool* ignored,
                        uint32_t timeoutMs);
  // The command record the next Exchange sends: code, the router's address
  // and MAC, zero elsewhere.
  void SetRequest(uint8_t code, const uint8_t ip[4], const uint8_t mac[6]) { m_Request.Set(code, ip, mac); }
  // Sends the request and expects it back unchanged within timeoutMs.
  bool Exchange(uint32_t timeoutMs);
  bool SendFrame(const uint8_t* payload, uint32_t length, uint32_t timeoutMs, int interfaceIndex = 0);
  // destination must hold 512 bytes.
  bool ReceiveFrame(uint8_t* destination, uint32_t capacity, uint32_t* length, uint32_t timeoutMs,
                    int* arrival = nullptr);

  bool PortReady() const { return m_PortReady; }
  // The port's refused interface binding (see INetPort), 0 when none.
  int InterfaceRefused() const { return m_UdpPort ? m_UdpPort->InterfaceRefused() : 0; }

 private:
  std::unique_ptr<INetPort> m_UdpPort;
  bool m_PortReady = false;
  RouterCommand m_Request;
  RouterCommand m_Response;
};
