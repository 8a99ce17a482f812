// The sockets library, started once per process before the first socket.
#pragma once

#include <cstdint>

// Asks for version wanted (high byte minor, low byte major, e.g. 0x0202 for
// 2.2) and tells the version granted. False when no sockets can be had.
bool StartNetworking(uint16_t wanted, uint16_t* granted);
