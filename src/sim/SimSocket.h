// The few socket operations the simulator needs, on the platform's sockets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Socket.h"

// A UDP socket on every address at the port, tied to one interface when one is
// named, so that it receives broadcasts to that interface's subnet and nothing
// from any other. False, with a reason, on failure.
bool OpenUdpSocket(const std::string& interfaceName, int port, CSocket* socket, std::string* error);

// A TCP listening socket on ip (first octet first) and the port.
bool OpenTcpListener(const uint8_t ip[4], int port, CSocket* socket, std::string* error);

// The first IPv4 address of an interface.
bool InterfaceIpv4(const std::string& name, uint8_t ip[4], std::string* error);

// Writes all bytes, waiting up to timeoutMs real milliseconds for room.
bool SendAll(CSocket& socket, const uint8_t* data, size_t length, int timeoutMs);
