#include "net/AddressText.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

bool ParseIp(const std::string& text, uint8_t ip[4]) {
  // Longer texts and embedded NULs would be cut or misread by the C parser.
  if (text.empty() || text.size() > MAX_ADDRESS_TEXT || text.find('\0') != std::string::npos) {
    return false;
  }
  in_addr address{};
  if (inet_aton(text.c_str(), &address) == 0) return false;
  memcpy(ip, &address.s_addr, 4);
  return true;
}

std::string FormatIp(const uint8_t ip[4]) {
  char text[16];
  snprintf(text, sizeof text, "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
  return text;
}

std::string FormatMac(const uint8_t mac[6]) {
  char text[18];
  snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3],
           mac[4], mac[5]);
  return text;
}
