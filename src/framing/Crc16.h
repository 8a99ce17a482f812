// CRC-16/X-25, the frame check sequence of every frame to and from the gateway
// and the checksum of package headers and data chunks.
#pragma once

#include <cstdint>

// Register preset and the residue a good frame (payload + FCS) leaves behind.
constexpr uint16_t CRC16_PRESET = 0xFFFF;
constexpr uint16_t CRC16_GOOD_RESIDUE = 0xF0B8;

// One step of the register (not complemented).
uint16_t Crc16Update(uint16_t crc, uint8_t byte);

// Runs the register over a buffer, starting from crc (not complemented).
// Takes the fastest path this machine has; every path gives the same value.
uint16_t Crc16Run(uint16_t crc, const uint8_t* data, uint32_t length);

// The complemented CRC over data: 0x906E for "123456789", 0x0000 for nothing.
uint16_t Crc16(const uint8_t* data, uint32_t length);

// The paths behind Crc16Run, each with its contract, for tests and benchmarks.
// Byte-wise table steps, the reference the others must match.
uint16_t Crc16RunBytewise(uint16_t crc, const uint8_t* data, uint32_t length);
// Sixteen bytes per step through sixteen tables; any machine, any alignment.
uint16_t Crc16RunPortable(uint16_t crc, const uint8_t* data, uint32_t length);
// Carry-less multiply folding (x86 PCLMULQDQ), 64 bytes per step. Call only
// when Crc16ClmulAvailable() is true.
uint16_t Crc16RunClmul(uint16_t crc, const uint8_t* data, uint32_t length);
bool Crc16ClmulAvailable();
// The same folding on 512-bit registers (AVX-512 with VPCLMULQDQ), 256 bytes
// per step: about four times the speed of the above where it runs. Call only
// when Crc16Clmul512Available() is true.
uint16_t Crc16RunClmul512(uint16_t crc, const uint8_t* data, uint32_t length);
bool Crc16Clmul512Available();
