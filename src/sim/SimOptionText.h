// Text forms of the simulator's options.
#pragma once

#include <cstdint>
#include <string>

// "02-51-E1-00-00-01" or "02:51:e1:00:00:01".
bool ParseMac(const std::string& text, uint8_t mac[6]);
// 16 hex digits, first byte first.
bool ParseUnlockCode(const std::string& text, uint8_t code[8]);
