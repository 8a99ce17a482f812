// The adapters' IPv4 addresses, for binding a socket to an interface.
#pragma once

#include <cstdint>
#include <string>

// The first IPv4 address of the interface with that index (or name, and
// then its index), up or not; false when there is no such interface or it
// has no IPv4 address.
bool AdapterAddress(int index, uint8_t ip[4]);
bool AdapterAddress(const std::string& name, uint8_t ip[4], int* index = nullptr);
// The address of the interface with that index (or name, and then its index,
// 0 when it has no IPv4 address) in peer's subnet; false when none of its
// addresses is in that subnet.
bool AdapterAddressFor(int index, const uint8_t peer[4], uint8_t ip[4]);
bool AdapterAddressFor(const std::string& name, const uint8_t peer[4], uint8_t ip[4], int* index);
