// Decoded frames from the receive thread, waiting for the requester. A frame
// that matches the reply pattern wakes the waiter; every wait consumes the
// whole queue, matched or not, so a stale reply never answers a later request.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class ReceiveQueue {
 public:
  static constexpr uint32_t MAX_FRAMES = 50;
  static constexpr uint32_t MAX_PATTERN = 16;

  // Queues a frame (dropped when 50 are queued); wakes the waiter when it
  // matches the pattern. Receive thread.
  int Push(const uint8_t* frame, uint32_t length);
  // Waits for a matching frame, hands out the newest match (cut to capacity)
  // and empties the queue. A time-out empties the queue too.
  int WaitReply(uint8_t* destination, uint32_t capacity, uint32_t* length, uint32_t timeoutMs);
  // Sets the pattern and clears a match signalled before.
  void SetPattern(const uint8_t* pattern, uint32_t length);
  // Sets the pattern; a frame already queued that matches it answers the
  // next wait at once. For a reply that may come before its wait begins;
  // the caller clears the queue of frames that are no answer.
  void SetPatternAcceptingQueued(const uint8_t* pattern, uint32_t length);
  // 02-patterns: a 3-byte 03 frame, or the first min(L, n) bytes equal.
  // Error replies 13/14/15/18: the pattern behind the first byte.
  // Otherwise: the first L bytes equal.
  bool Matches(const uint8_t* frame, uint32_t length) const;
  uint32_t Count() const;
  void Clear();

 private:
  struct Entry {
    uint32_t m_Offset;
    uint32_t m_Length;
  };
  bool MatchesLocked(const uint8_t* frame, uint32_t length) const;
  void ClearLocked();

  Entry m_Entries[MAX_FRAMES] = {};
  uint32_t m_Count = 0;
  std::vector<uint8_t> m_Data;  // the frames back to back
  uint32_t m_Used = 0;
  uint8_t m_Pattern[MAX_PATTERN] = {};
  uint32_t m_PatternLength = 0;
  bool m_ReplySignalled = false;  // the auto-reset reply event
  mutable std::mutex m_Lock;
  std::condition_variable m_ReplyEvent;
};
