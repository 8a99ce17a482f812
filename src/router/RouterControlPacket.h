// The 40-byte packet the router itself reads on the TCP connection: the
// begin packet of an image upload, and the router's result packet.
//
//   0      marker 0xFF
//   1..29  magic text, 29 ASCII characters without terminator (or zeros)
//   30..33 value, little-endian: image size (begin) or result code (result)
//   34..39 zero
#pragma once

#include <cstdint>

constexpr uint32_t ROUTER_CONTROL_PACKET_SIZE = 40;
constexpr uint8_t ROUTER_CONTROL_MARKER = 0xFF;
constexpr uint32_t ROUTER_MAGIC_SIZE = 29;
constexpr uint32_t ROUTER_VALUE_OFFSET = 30;

struct RouterControlPacket {
  uint8_t m_Bytes[ROUTER_CONTROL_PACKET_SIZE] = {};

  // Marker, the first 29 characters of magic (zero-padded; null: all zero),
  // the value; zero elsewhere.
  void Set(const char* magic, uint32_t value);
  uint32_t Value() const;
};

// A received result packet: exactly 40 bytes beginning with the marker. Only
// those and the value are looked at.
bool ParseRouterResult(const uint8_t* payload, uint32_t length, uint32_t* value);
