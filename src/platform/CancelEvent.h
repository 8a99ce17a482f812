// A flag one thread sets and another's wait on a socket sees at once (the
// wake-up of a blocked read, the stop of a serving loop). It stays set until
// taken.
#pragma once

#include <memory>

class CCancelEvent {
 public:
  CCancelEvent();
  ~CCancelEvent();
  CCancelEvent(const CCancelEvent&) = delete;
  CCancelEvent& operator=(const CCancelEvent&) = delete;

  bool IsValid() const;
  void Set();
  // Clears it; true when it was set.
  bool Take();

  struct Native;
  const Native& Handle() const { return *m_Native; }

 private:
  std::unique_ptr<Native> m_Native;
};
