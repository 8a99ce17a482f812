// The address text of a port's peer: dotted IPv4 as the classic inet_addr
// reads it (so "127.1" is 127.0.0.1), at most 24 characters.
#pragma once

#include <netinet/in.h>

#include <string>

constexpr size_t MAX_ADDRESS_TEXT = 24;

// The address in network byte order, or INADDR_NONE when the text is not an
// address, is longer than 24 characters, or is "255.255.255.255" itself
// (which reads as INADDR_NONE too; callers that accept it test it first).
in_addr_t ParsePeerAddress(const std::string& text);

// Fills peer for address:port. A refused text sets errno to EINVAL and
// leaves peer cleared but for its family and port.
bool MakePeer(const std::string& text, int port, sockaddr_in* peer);
