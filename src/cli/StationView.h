// What qel station shows: on a terminal a table, one line per interface
// (interface, MAC, the row in flight, "%", transfer rate and time left,
// elapsed time, status or result) under a tally of the gateways upgraded,
// failed, in flight and not started, redrawn in place and fitted to the
// terminal's size; elsewhere one plain line per event (the "%" in
// quarters); with --json one JSON object per line per event, and a "tally"
// event whenever the tally changes. Events come from the passes' threads.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/GatewayEvent.h"
#include "cli/TerminalScreen.h"

class StationView : public IGatewayEvents {
 public:
  enum Mode { TABLE, LINES, JSON };

  // TABLE needs out to be a terminal; make the view on the main thread
  // before the passes start (see TerminalScreen).
  StationView(FILE* out, Mode mode);
  ~StationView() override;

  void OnEvent(const GatewayEvent& event) override;
  // A line of the station's own (not of a gateway): above the table, a
  // plain line, or {"event":"message","text":...}.
  void Message(const std::string& text);
  // The closing summary: upgraded, failed (with each failure's row text)
  // and not started, by MAC; whole, under the table as it was last drawn.
  void Summary(const std::vector<GatewayOutcome>& outcomes);

  // One event as its plain line ("" for an event with none) and as JSON.
  static std::string PlainLine(const GatewayEvent& event);
  static std::string JsonLine(const GatewayEvent& event);

 private:
  // How many gateways since the station started.
  struct Tally {
    int m_Upgraded = 0;
    int m_Failed = 0;
    int m_InFlight = 0;
    int m_NotStarted = 0;
    bool operator==(const Tally&) const = default;
  };
  // "Upgraded: 2   Failed: 1   In flight: 1   Not started: 0"
  static std::string TallyText(const Tally& tally);
  static std::string TallyJson(const Tally& tally);
  // The tally after event.
  static Tally Count(Tally tally, const GatewayEvent& event);

  // The table's line of one interface.
  struct Line {
    GatewayEvent m_Last;    // the newest event
    std::string m_Type;     // the row in flight
    std::string m_Percent;
    std::string m_Text;     // its status, or the pass's result
    std::string m_Rate;
    uint64_t m_FoundTick = 0;  // program time the gateway was found
    bool m_Ended = false;      // its pass (or its Check) has ended
  };
  // The tally, the header and the lines, fitted to size (see TerminalScreen).
  static std::vector<std::string> TableLines(const Tally& tally, const std::map<std::string, Line>& lines,
                                             TerminalSize size, uint64_t nowTick);

  void Update(const GatewayEvent& event);
  std::vector<std::string> Paint(TerminalSize size);

  FILE* m_Out;
  const Mode m_Mode;
  std::unique_ptr<TerminalScreen> m_Screen;  // TABLE only
  std::mutex m_Lock;                         // guards what follows
  std::map<std::string, Line> m_Lines;       // by interface
  Tally m_Tally;
  uint64_t m_LastDrawMs = 0;
};
