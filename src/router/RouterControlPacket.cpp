#include "router/RouterControlPacket.h"

#include <cstring>

#include "framing/ByteOrder.h"

void RouterControlPacket::Set(const char* magic, uint32_t value) {
  memset(m_Bytes, 0, sizeof m_Bytes);
  m_Bytes[0] = ROUTER_CONTROL_MARKER;
  if (magic) {
    const size_t length = strnlen(magic, ROUTER_MAGIC_SIZE);
    memcpy(m_Bytes + 1, magic, length);
  }
  WriteLe32(m_Bytes + ROUTER_VALUE_OFFSET, value);
}

uint32_t RouterControlPacket::Value() const { return ReadLe32(m_Bytes + ROUTER_VALUE_OFFSET); }

bool ParseRouterResult(const uint8_t* payload, uint32_t length, uint32_t* value) {
  if (length != ROUTER_CONTROL_PACKET_SIZE || payload[0] != ROUTER_CONTROL_MARKER) return false;
  *value = ReadLe32(payload + ROUTER_VALUE_OFFSET);
  return true;
}
