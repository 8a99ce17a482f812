// What qel station shows: on a terminal a table, one line per interface
// (interface, MAC, the row in flight, "%", transfer rate and time left,
// elapsed time, status or result), redrawn in place; elsewhere one plain
// line per event (the "%" in quarters); with --json one JSON object per
// line per event. Events come from the passes' threads.
#pragma once

#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "cli/GatewayEvent.h"

class StationView : public IGatewayEvents {
 public:
  enum Mode { TABLE, LINES, JSON };

  StationView(FILE* out, Mode mode);

  void OnEvent(const GatewayEvent& event) override;
  // A line of the station's own (not of a gateway): above the table, a
  // plain line, or {"event":"message","text":...}.
  void Message(const std::string& text);
  // The closing summary: upgraded, failed (with each failure's row text)
  // and not started, by MAC.
  void Summary(const std::vector<GatewayOutcome>& outcomes);

  // One event as its plain line ("" for an event with none) and as JSON.
  static std::string PlainLine(const GatewayEvent& event);
  static std::string JsonLine(const GatewayEvent& event);

 private:
  // The table's line of one interface.
  struct Line {
    GatewayEvent m_Last;   // the newest event
    std::string m_Type;    // the row in flight
    std::string m_Percent;
    std::string m_Text;    // its status, or the pass's result
    std::string m_Rate;
  };
  void Update(const GatewayEvent& event);
  void DrawTable(bool force);
  std::string TableText() const;

  FILE* m_Out;
  const Mode m_Mode;
  std::mutex m_Lock;
  std::map<std::string, Line> m_Lines;  // by interface
  size_t m_DrawnLines = 0;
  uint64_t m_LastDrawMs = 0;
};
