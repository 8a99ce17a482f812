// The few POSIX socket operations the simulator needs. Every socket is
// non-blocking and close-on-exec; the serving loop waits with poll().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "log/FileDescriptor.h"

// A UDP socket on the wildcard address and the port, tied to one device, so
// that it also receives broadcasts to that device's subnet and nothing from
// any other device. None, with a reason, on failure.
CFileDescriptor OpenUdpSocket(const std::string& device, int port, std::string* error);

// A TCP listening socket on ip (first octet first) and the port.
CFileDescriptor OpenTcpListener(const uint8_t ip[4], int port, std::string* error);

// The first IPv4 address of an interface.
bool InterfaceIpv4(const std::string& name, uint8_t ip[4], std::string* error);

// Accepts one pending connection (non-blocking, no Nagle delay); none when
// none is pending.
CFileDescriptor AcceptConnection(int listener);

// Writes all bytes, waiting up to timeoutMs real milliseconds for room.
bool SendAll(int fd, const uint8_t* data, size_t length, int timeoutMs);

// Closes a connection with a reset instead of an orderly end.
void CloseWithReset(CFileDescriptor* connection);
