// The text forms of addresses: dotted IPv4 as the classic parser of the
// sockets library reads it (so "127.1" is 127.0.0.1; hex and octal parts
// too; whatever follows a blank is ignored), at most 24 characters, written back as "%d.%d.%d.%d";
// a MAC address as "%02X-%02X-%02X-%02X-%02X-%02X". Addresses are bytes,
// first octet first.
#pragma once

#include <cstdint>
#include <string>

constexpr size_t MAX_ADDRESS_TEXT = 24;
// The limited broadcast, the discovery target unless told otherwise.
constexpr const char* LIMITED_BROADCAST_TEXT = "255.255.255.255";

// Fills ip only when text is such an address ("255.255.255.255" included).
bool ParseIp(const std::string& text, uint8_t ip[4]);
std::string FormatIp(const uint8_t ip[4]);
std::string FormatMac(const uint8_t mac[6]);
