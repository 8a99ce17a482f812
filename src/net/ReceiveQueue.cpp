#include "net/ReceiveQueue.h"

#include <chrono>
#include <cstring>
#include <new>

#include "net/Clock.h"

int ReceiveQueue::Push(const uint8_t* frame, uint32_t length) {
  bool matched = false;
  {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Count == MAX_FRAMES) return 0;
    if (m_Data.size() - m_Used < length) {
      // Grows to exactly what is needed; the bytes in use are kept.
      try {
        m_Data.reserve(m_Used + length);
        m_Data.resize(m_Used + length);
      } catch (const std::bad_alloc&) {
        return 0;
      }
    }
    if (length != 0) memcpy(m_Data.data() + m_Used, frame, length);
    m_Entries[m_Count] = {m_Used, length};
    ++m_Count;
    m_Used += length;
    // Tested under the lock, so a pattern set after this frame was stored
    // also clears its signal: a late reply cannot end a later request's wait.
    matched = MatchesLocked(frame, length);
    if (matched) m_ReplySignalled = true;
  }
  if (matched) m_ReplyEvent.notify_one();
  return 1;
}

int ReceiveQueue::WaitReply(uint8_t* destination, uint32_t capacity, uint32_t* length,
                            uint32_t timeoutMs) {
  if (!destination || capacity == 0) return 0;
  std::unique_lock<std::mutex> lock(m_Lock);
  const auto signalled = [this] { return m_ReplySignalled; };
  bool woken;
  if (timeoutMs == INFINITE) {
    m_ReplyEvent.wait(lock, signalled);
    woken = true;
  } else {
    woken = m_ReplyEvent.wait_for(lock, std::chrono::milliseconds(Clock::RealTimeoutMs(timeoutMs)),
                                  signalled);
  }
  if (!woken) {
    ClearLocked();
    return 0;
  }
  m_ReplySignalled = false;  // auto-reset: one match releases one wait
  if (m_Count == 0) return 0;
  int result = 0;
  for (uint32_t i = m_Count; i-- > 0;) {
    const Entry& entry = m_Entries[i];
    const uint8_t* frame = m_Data.data() + entry.m_Offset;
    if (!MatchesLocked(frame, entry.m_Length)) continue;
    const uint32_t count = entry.m_Length < capacity ? entry.m_Length : capacity;
    memcpy(destination, frame, count);
    *length = count;
    result = 1;
    break;
  }
  ClearLocked();
  return result;
}

void ReceiveQueue::SetPattern(const uint8_t* pattern, uint32_t length) {
  std::lock_guard<std::mutex> guard(m_Lock);
  m_PatternLength = length < MAX_PATTERN ? length : MAX_PATTERN;
  memset(m_Pattern, 0, sizeof m_Pattern);
  if (m_PatternLength != 0) memcpy(m_Pattern, pattern, m_PatternLength);
  m_ReplySignalled = false;
}

void ReceiveQueue::SetPatternAcceptingQueued(const uint8_t* pattern, uint32_t length) {
  SetPattern(pattern, length);
  std::lock_guard<std::mutex> guard(m_Lock);
  for (uint32_t i = 0; i < m_Count && !m_ReplySignalled; ++i)
    m_ReplySignalled = MatchesLocked(m_Data.data() + m_Entries[i].m_Offset, m_Entries[i].m_Length);
}

bool ReceiveQueue::Matches(const uint8_t* frame, uint32_t length) const {
  std::lock_guard<std::mutex> guard(m_Lock);
  return MatchesLocked(frame, length);
}

bool ReceiveQueue::MatchesLocked(const uint8_t* frame, uint32_t length) const {
  const uint32_t L = m_PatternLength;
  if (m_Pattern[0] == 0x02) {
    // Block writes: the acknowledgement repeats the pattern (as far as it
    // goes), a refusal is a 3-byte frame beginning with 03.
    if (length == 3 && frame[0] == 0x03) return true;
    const uint32_t n = L < length ? L : length;
    return memcmp(frame, m_Pattern, n) == 0;
  }
  if (length != 0) {
    const uint8_t first = frame[0];
    if (first == 0x13 || first == 0x14 || first == 0x15 || first == 0x18) {
      // An error reply: the refused request follows the error code.
      return length >= L + 1 && memcmp(frame + 1, m_Pattern, L) == 0;
    }
  }
  return length >= L && memcmp(frame, m_Pattern, L) == 0;
}

uint32_t ReceiveQueue::Count() const {
  std::lock_guard<std::mutex> guard(m_Lock);
  return m_Count;
}

void ReceiveQueue::Clear() {
  std::lock_guard<std::mutex> guard(m_Lock);
  ClearLocked();
}

void ReceiveQueue::ClearLocked() {
  // The store and its size stay for reuse.
  m_Count = 0;
  m_Used = 0;
}
