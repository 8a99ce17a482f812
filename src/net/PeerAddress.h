// The peer of a port: dotted IPv4 text (see AddressText.h) and a port.
#pragma once

#include <string>

#include "platform/Socket.h"

// Fills peer for address:port. The limited broadcast "255.255.255.255" is
// refused like any text that is not an address (the classic parser reads it
// as its failure value; a port that accepts it tests its text first). A
// refused text sets errno to EINVAL and leaves peer cleared but for its
// port.
bool MakePeer(const std::string& text, int port, Ipv4Endpoint* peer);
