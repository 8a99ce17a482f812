// The byte-stuffed frame used for every message to and from the gateway:
// [7E] escaped payload, escaped FCS (low byte first), 7E.
// 7E and 7D are sent as 7D followed by the byte XOR 0x20; nothing else is escaped.
#pragma once

#include <cstdint>

constexpr uint8_t HDLC_FLAG = 0x7E;
constexpr uint8_t HDLC_ESCAPE = 0x7D;

// Largest encoded size of an n-byte payload: every byte escaped, both flags.
constexpr uint32_t HdlcMaxEncodedLength(uint32_t n) { return 2 * n + 6; }

// Size of the buffer a downloader write frame is built in (the channel's send
// buffer), and the most data bytes one write frame carries.
constexpr uint32_t WRITE_FRAME_BUFFER_SIZE = 8210;
constexpr uint32_t WRITE_BLOCK_SIZE = 4096;
// The longest write frame fits: flag, 0F, the address with every byte
// escaped, the length of a whole block (10 00, nothing to escape), its data
// with every byte escaped, both FCS bytes escaped, flag. A shorter block is
// shorter whatever its length bytes.
static_assert(WRITE_FRAME_BUFFER_SIZE >= 1 + 1 + 2 * 4 + 2 + 2 * WRITE_BLOCK_SIZE + 2 * 2 + 1);

// Appends the escaped form of data to out at *position, advances *position and
// feeds every unescaped byte into the running register *crc.
void HdlcAppendEscaped(uint8_t* out, uint32_t* position, const uint8_t* data, uint32_t length,
                       uint16_t* crc);

// Encodes payload into out (room for HdlcMaxEncodedLength(length) bytes), with a
// leading flag when leadingFlag is not 0. Returns the number of bytes written.
uint32_t HdlcEncode(const uint8_t* payload, uint32_t length, uint8_t* out, int leadingFlag);

// Decodes the bytes of one frame (flags at either end are optional) into out,
// which needs room for length bytes and may equal frame. Returns the payload
// length, or 0 when the frame is not valid (bad FCS, fewer than 3 bytes,
// dangling escape). out then holds the payload followed by the two FCS bytes.
uint32_t HdlcDecode(const uint8_t* frame, uint32_t length, uint8_t* out);

// Builds the downloader write frame for one block straight into destination
// (WRITE_FRAME_BUFFER_SIZE bytes): 7E, escaped 0F + address (big-endian) +
// length (big-endian, low 16 bits) + data, escaped FCS, 7E. Returns its length.
uint32_t BuildWriteFrame(uint8_t* destination, uint32_t address, uint32_t length,
                         const uint8_t* data);
