#include "sim/SimSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>

#include "net/AddressText.h"

namespace {

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
  return false;
}

}  // namespace

CFileDescriptor OpenUdpSocket(const std::string& device, int port, std::string* error) {
  CFileDescriptor fd(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.IsOpen()) {
    Fail(error, "UDP socket");
    return fd;
  }
  const int one = 1;
  setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (setsockopt(fd.Get(), SOL_SOCKET, SO_BINDTODEVICE, device.c_str(),
                 static_cast<socklen_t>(device.size() + 1)) != 0) {
    Fail(error, "UDP socket: cannot bind to device " + device);
    return CFileDescriptor();
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Fail(error, "UDP socket: cannot bind port " + std::to_string(port));
    return CFileDescriptor();
  }
  return fd;
}

CFileDescriptor OpenTcpListener(const uint8_t ip[4], int port, std::string* error) {
  CFileDescriptor fd(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.IsOpen()) {
    Fail(error, "TCP socket");
    return fd;
  }
  const int one = 1;
  setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  std::memcpy(&address.sin_addr.s_addr, ip, 4);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd.Get(), 8) != 0) {
    Fail(error, "TCP socket: cannot listen on " + FormatIp(ip) + ":" + std::to_string(port));
    return CFileDescriptor();
  }
  return fd;
}

bool InterfaceIpv4(const std::string& name, uint8_t ip[4], std::string* error) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return Fail(error, "getifaddrs");
  bool found = false;
  for (ifaddrs* entry = list; entry && !found; entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || name != entry->ifa_name) continue;
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    std::memcpy(ip, &address->sin_addr.s_addr, 4);
    found = true;
  }
  freeifaddrs(list);
  if (!found && error) *error = "interface " + name + " has no IPv4 address";
  return found;
}

CFileDescriptor AcceptConnection(int listener) {
  CFileDescriptor fd(accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
  if (!fd.IsOpen()) return fd;
  const int one = 1;
  setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

bool SendAll(int fd, const uint8_t* data, size_t length, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t sent = 0;
  while (sent < length) {
    const ssize_t n = send(fd, data + sent, length - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd entry{fd, POLLOUT, 0};
    poll(&entry, 1, static_cast<int>(left));
  }
  return true;
}

void CloseWithReset(CFileDescriptor* connection) {
  linger hard{1, 0};
  setsockopt(connection->Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  connection->Close();
}
