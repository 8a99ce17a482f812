// The pace of one row's transfer (a router image, a wireless image): bytes
// sent against program time, for the rate and the time left that the
// terminal shows beside a row in flight.
#pragma once

#include <cstdint>
#include <string>

class TransferMeter {
 public:
  // done of total bytes at program time nowMs. The first report, and one
  // below the last, starts the transfer anew.
  void Update(uint64_t done, uint64_t total, uint64_t nowMs);

  bool Started() const { return m_Started; }
  // Started and not yet done.
  bool InFlight() const { return m_Started && m_Done < m_Total; }
  uint64_t Done() const { return m_Done; }
  uint64_t Total() const { return m_Total; }
  // Seconds since the transfer started, up to its last report.
  double Seconds() const;
  // Kilobits (1000 bits) per second so far; 0 before the first second's worth.
  double KbitPerSecond() const;
  // Seconds left at the pace so far; negative while there is no pace yet.
  double SecondsLeft() const;
  // "  832 kbit/s  00:07 left" (blank until there is a pace).
  std::string Text() const;

 private:
  bool m_Started = false;
  uint64_t m_Done = 0;
  uint64_t m_Total = 0;
  uint64_t m_StartMs = 0;
  uint64_t m_LastMs = 0;
};
