// The few POSIX socket operations the simulator needs. Every socket is
// non-blocking and close-on-exec; the serving loop waits with poll().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A UDP socket on the wildcard address and the port, tied to one device, so
// that it also receives broadcasts to that device's subnet and nothing from
// any other device. -1 with a reason on failure.
int OpenUdpSocket(const std::string& device, int port, std::string* error);

// A TCP listening socket on ip (first octet first) and the port.
int OpenTcpListener(const uint8_t ip[4], int port, std::string* error);

// The first IPv4 address of an interface.
bool InterfaceIpv4(const std::string& name, uint8_t ip[4], std::string* error);

// Accepts one pending connection (non-blocking, no Nagle delay); -1 when none.
int AcceptConnection(int listener);

// Writes all bytes, waiting up to timeoutMs real milliseconds for room.
bool SendAll(int fd, const uint8_t* data, size_t length, int timeoutMs);

// Closes a connection with a reset instead of an orderly end.
void CloseWithReset(int fd);

// Closes fd when it is not -1 and sets it to -1.
void CloseFd(int* fd);
