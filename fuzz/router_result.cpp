// The router's result packet: exactly 40 bytes beginning with the marker, the
// code read little-endian at 30.
#include <cstdlib>
#include <cstring>

#include "router/RouterControlPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t value = 0;
  const bool parsed = ParseRouterResult(data, static_cast<uint32_t>(size), &value);
  if (parsed != (size == ROUTER_CONTROL_PACKET_SIZE && data[0] == ROUTER_CONTROL_MARKER)) abort();
  if (parsed && value != (data[30] | (data[31] << 8) | (data[32] << 16) | (uint32_t{data[33]} << 24))) abort();
  return 0;
}
