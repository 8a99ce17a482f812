// Discovery through the real limited broadcast 255.255.255.255 on the
// default port. It runs only between two private network namespaces that
// the test makes itself (joined by a veth pair, private addresses inside
// them, a default route on the client's side), so the broadcast never
// reaches the machine's own network. Needs root; fails, not skips, without.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include "diag/Hdlc.h"
#include "net/Clock.h"
#include "router/DiscoverRouter.h"
#include "router/RouterUdpClient.h"
#include "support/NetNamespaces.h"
#include "support/TestSupport.h"

namespace {

const uint8_t PEER_MAC[6] = {0x02, 0x51, 0x45, 0x4C, 0x00, 0x02};

// The router's side: answers one discovery request, but only one that was
// sent to 255.255.255.255. Exit status 0 when it answered.
int RunResponder(const std::string& ns, const uint8_t address[4], int readyFd) {
  if (!testsupport::EnterNetNamespace(ns)) return 10;
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  const int one = 1;
  setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(ROUTER_UDP_PORT);
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) return 11;
  const char ready = 'r';
  if (write(readyFd, &ready, 1) != 1) return 12;
  for (int waited = 0; waited < 100; ++waited) {  // at most about 5 s
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) != 1) continue;
    uint8_t datagram[512];
    sockaddr_in from{};
    char control[256];
    iovec io{datagram, sizeof datagram};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(fd, &message, 0);
    if (n <= 0) continue;
    in_addr destination{};
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
        destination = reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_addr;
      }
    }
    uint8_t request[512];
    if (HdlcDecode(datagram, static_cast<uint32_t>(n), request) != 32 || request[0] != 1) continue;
    if (destination.s_addr != htonl(INADDR_BROADCAST)) return 13;
    uint8_t reply[32] = {1};
    memcpy(reply + 1, address, 4);
    memcpy(reply + 5, PEER_MAC, 6);
    memcpy(reply + 11, "9.8.7.6", 7);
    uint8_t frame[HdlcMaxEncodedLength(32)];
    const uint32_t size = HdlcEncode(reply, 32, frame, 1);
    sendto(fd, frame, size, 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
    return 0;
  }
  return 14;
}

// The tool's side: the same discovery the Check makes, default target and port.
int RunClient(const std::string& ns, const uint8_t expected[4]) {
  if (!testsupport::EnterNetNamespace(ns)) return 20;
  Clock::SetScale(10);
  uint8_t mac[6] = {}, ip[4] = {};
  std::string version;
  if (!DiscoverRouter(FormatIp(BROADCAST_IP), ROUTER_UDP_PORT, mac, ip, &version)) return 21;
  if (memcmp(mac, PEER_MAC, 6) != 0 || memcmp(ip, expected, 4) != 0) return 22;
  return version == "9.8.7.6" ? 0 : 23;
}

int Wait(pid_t child) {
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(DiscoverNetnsTest, FindsTheRouterThroughTheLimitedBroadcast) {
  testsupport::NetNamespaces namespaces("disc");
  ASSERT_TRUE(namespaces.Ok()) << "this test needs to create network namespaces (run as root "
                                  "with ip(8) available): "
                               << namespaces.Failure();
  uint8_t routerAddress[4];
  ASSERT_TRUE(ParseIp(namespaces.GatewayAddress(), routerAddress));

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t responder = fork();
  ASSERT_GE(responder, 0);
  if (responder == 0) _exit(RunResponder(namespaces.Gateway(), routerAddress, ready[1]));
  close(ready[1]);
  char byte = 0;
  pollfd p{ready[0], POLLIN, 0};
  const bool started = poll(&p, 1, 5000) == 1 && read(ready[0], &byte, 1) == 1;
  close(ready[0]);

  int clientStatus = -1;
  if (started) {
    const pid_t client = fork();
    ASSERT_GE(client, 0);
    if (client == 0) _exit(RunClient(namespaces.Tool(), routerAddress));
    clientStatus = Wait(client);
  }
  if (!started || clientStatus != 0) kill(responder, SIGKILL);
  const int responderStatus = Wait(responder);
  ASSERT_TRUE(started) << "the responder did not start in its namespace";
  EXPECT_EQ(clientStatus, 0) << "client: 20 no namespace, 21 not found, 22 wrong address, 23 wrong text";
  EXPECT_EQ(responderStatus, 0) << "responder: 13 request not sent to 255.255.255.255";
}

}  // namespace
