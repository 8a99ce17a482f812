// The sockets library, started once per process before the first socket.
#pragma once

#include <cstdint>

// Asks for version wanted (low byte major, high byte minor: 0x0202 is 2.2)
// and tells the version granted. 0, or the library's error code.
int StartNetworking(uint16_t wanted, uint16_t* granted);
// Lets the library go (after a version that will not do).
void StopNetworking();
