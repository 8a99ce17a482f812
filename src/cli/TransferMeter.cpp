#include "cli/TransferMeter.h"

#include <cstdio>

void TransferMeter::Update(uint64_t done, uint64_t total, uint64_t nowMs) {
  if (!m_Started || done < m_Done || total != m_Total) {
    m_Started = true;
    m_StartMs = nowMs;
  }
  m_Done = done;
  m_Total = total;
  m_LastMs = nowMs;
}

double TransferMeter::Seconds() const { return m_Started ? (m_LastMs - m_StartMs) / 1000.0 : 0; }

double TransferMeter::KbitPerSecond() const {
  const double seconds = Seconds();
  return seconds > 0 ? m_Done * 8 / 1000.0 / seconds : 0;
}

double TransferMeter::SecondsLeft() const {
  const double rate = KbitPerSecond();
  if (rate <= 0) return -1;
  return (m_Total - m_Done) * 8 / 1000.0 / rate;
}

std::string TransferMeter::Text() const {
  const double left = SecondsLeft();
  if (left < 0) return "";
  const long long whole = static_cast<long long>(left + 0.5);
  char text[64];
  snprintf(text, sizeof text, "%6.0f kbit/s  %02lld:%02lld left", KbitPerSecond(), whole / 60, whole % 60);
  return text;
}
