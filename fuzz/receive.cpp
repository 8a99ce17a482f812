// The receive thread's path on any byte stream: cut at flags, decoded,
// queued and matched against the reply pattern; then the requester's wait
// with a zero time-out hands out the newest queued match, or nothing.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "FuzzInput.h"
#include "net/FrameAssembler.h"
#include "net/ReceiveQueue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const Bytes pattern = in.Take(in.Byte() % 20);  // longer than 16 is cut
  const uint32_t capacity = 1 + in.Byte() * 4;
  ReceiveQueue queue;
  queue.SetPattern(pattern.data(), static_cast<uint32_t>(pattern.size()));
  FrameAssembler assembler;
  Bytes newest;  // never empty once a frame matched
  uint32_t stored = 0;
  for (uint8_t byte : in.Rest()) {
    if (assembler.Feed(byte) != FrameAssembler::FRAME) continue;
    const uint32_t length = assembler.PayloadLength();
    if (length == 0 || length > FrameAssembler::MAX_FRAME) abort();
    const bool matches = queue.Matches(assembler.Payload(), length);
    if (queue.Push(assembler.Payload(), length) != (stored < ReceiveQueue::MAX_FRAMES ? 1 : 0)) abort();
    if (stored++ >= ReceiveQueue::MAX_FRAMES || !matches) continue;
    newest.assign(assembler.Payload(), assembler.Payload() + length);
  }
  uint8_t reply[FrameAssembler::MAX_FRAME];
  uint32_t length = 0;
  const int got = queue.WaitReply(reply, capacity, &length, 0);
  if (got != (newest.empty() ? 0 : 1) || queue.Count() != 0) abort();
  if (got && (length != std::min<size_t>(newest.size(), capacity) || memcmp(reply, newest.data(), length) != 0)) abort();
  return 0;
}
