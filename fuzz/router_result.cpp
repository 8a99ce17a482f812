// The router's result packet: exactly 40 bytes beginning with the marker, the
// code read little-endian at 30, and what the begin packet writes reads back.
#include <cstdlib>
#include <cstring>
#include <string>

#include "router/RouterControlPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t value = 0;
  const bool parsed = ParseRouterResult(data, static_cast<uint32_t>(size), &value);
  if (parsed != (size == ROUTER_CONTROL_PACKET_SIZE && data[0] == ROUTER_CONTROL_MARKER)) abort();
  if (parsed && value != (data[30] | (data[31] << 8) | (data[32] << 16) | (uint32_t{data[33]} << 24))) abort();
  // Any text as the magic of a begin packet.
  if (size < 4) return 0;
  const std::string magic(reinterpret_cast<const char*>(data) + 4, size - 4);
  const uint32_t announced = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t{data[3]} << 24);
  RouterControlPacket packet;
  packet.Set(magic.c_str(), announced);
  if (!ParseRouterResult(packet.m_Bytes, sizeof packet.m_Bytes, &value) || value != announced) abort();
  // The magic up to its NUL and at most 29 characters, zeros around it.
  const size_t used = strnlen(magic.c_str(), ROUTER_MAGIC_SIZE);
  if (memcmp(packet.m_Bytes + 1, magic.data(), used) != 0) abort();
  for (size_t i = 1 + used; i < ROUTER_CONTROL_PACKET_SIZE; ++i)
    if ((i < ROUTER_VALUE_OFFSET || i >= ROUTER_VALUE_OFFSET + 4) && packet.m_Bytes[i] != 0) abort();
  return 0;
}
