#include "platform/Networking.h"

// Sockets need no start here: every version asked for is there.
int StartNetworking(uint16_t wanted, uint16_t* granted) {
  *granted = wanted;
  return 0;
}

void StopNetworking() {}
