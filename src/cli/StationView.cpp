#include "cli/StationView.h"

#include <chrono>

#include <algorithm>

#include "cli/ColumnFit.h"
#include "cli/JsonReport.h"
#include "cli/TerminalText.h"
#include "net/AddressText.h"
#include "net/Clock.h"

namespace {

// Redraws of the table for "%" changes are at least this far apart (real
// time); every other change redraws at once.
constexpr uint64_t PROGRESS_REDRAW_MS = 100;

// The table's columns: what goes first when the terminal is too narrow for
// all (0: never), and the least room the status keeps before that.
const char* const HEADER[] = {"Interface", "MAC", "Row", "%", "Rate", "Elapsed", "Status"};
constexpr int DROP_ORDER[] = {0, 3, 2, 4, 1, 5, 0};
constexpr size_t STATUS_MINIMUM = 24;
constexpr size_t INTERFACE_MINIMUM = 8;

const char* KindName(GatewayEvent::Kind kind) {
  switch (kind) {
    case GatewayEvent::FOUND: return "found";
    case GatewayEvent::CHECKED: return "checked";
    case GatewayEvent::STATUS: return "status";
    case GatewayEvent::PROGRESS: return "progress";
    case GatewayEvent::ROW_RESULT: return "rowResult";
    case GatewayEvent::NOTICE: return "notice";
    case GatewayEvent::PASS_END: return "passEnd";
  }
  return "";
}

std::string MinutesSeconds(uint64_t ms) {
  char text[48];
  const uint64_t seconds = ms / 1000;
  snprintf(text, sizeof text, "%02llu:%02llu", static_cast<unsigned long long>(seconds / 60),
           static_cast<unsigned long long>(seconds % 60));
  return text;
}

uint64_t RealMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Who(const GatewayEvent& event) {
  return PrintableText(event.m_Router.m_Interface) + " " + FormatMac(event.m_Router.m_Mac) + ": ";
}

Json GatewayJson(const RouterInfo& router) {
  Json object{{"interface", router.m_Interface}};
  object.update(RouterJson(router.m_Mac, router.m_Ip));
  return object;
}

}  // namespace

StationView::StationView(FILE* out, Mode mode) : m_Out(out), m_Mode(mode) {
  if (mode != TABLE) return;
  m_Screen = std::make_unique<TerminalScreen>(out);
  m_Screen->SetPainter([this](TerminalSize size) { return Paint(size); });
}

// The screen's watcher paints with this view's lines: it goes first.
StationView::~StationView() { m_Screen.reset(); }

std::string StationView::PlainLine(const GatewayEvent& event) {
  const std::string who = Who(event);
  const std::string row = PrintableText(event.m_Type) + ": ";
  switch (event.m_Kind) {
    case GatewayEvent::FOUND:
      return who + "found at " + FormatIp(event.m_Router.m_Ip) + ", version " + PrintableText(event.m_Router.m_Version);
    case GatewayEvent::CHECKED:
      return who + (event.m_Succeeded ? "checked, the upgrade starts" : "not started: " + PrintableText(event.m_Text));
    case GatewayEvent::STATUS:
    case GatewayEvent::ROW_RESULT:
      return who + row + PrintableText(event.m_Text);
    case GatewayEvent::PROGRESS: {
      // Quarters only: a line per percent would flood a log file.
      const int percent = atoi(event.m_Percent.c_str());
      if (percent % 25 != 0) return "";
      std::string line = who + row + event.m_Percent;
      if (event.m_Transfer.InFlight()) line += "  " + event.m_Transfer.Text();
      return line;
    }
    case GatewayEvent::NOTICE:
      return who + PrintableText(event.m_Text);
    case GatewayEvent::PASS_END:
      return who + (event.m_Succeeded ? "upgraded" : "failed: " + PrintableText(event.m_Text)) + " (" +
             MinutesSeconds(event.m_ElapsedMs) + ")";
  }
  return "";
}

std::string StationView::JsonLine(const GatewayEvent& event) {
  Json object{{"event", KindName(event.m_Kind)}};
  object.update(GatewayJson(event.m_Router));
  if (event.m_Kind == GatewayEvent::FOUND) object["version"] = event.m_Router.m_Version;
  if (event.m_Row >= 0) {
    object["row"] = event.m_Row;
    object["type"] = event.m_Type;
  }
  if (event.m_Kind == GatewayEvent::PROGRESS) {
    object["percent"] = event.m_Percent;
    if (event.m_Transfer.Started()) AddTransfer(&object, event.m_Transfer);
  } else if (event.m_Kind != GatewayEvent::FOUND) {
    object["text"] = event.m_Text;
  }
  if (event.m_Kind == GatewayEvent::CHECKED || event.m_Kind == GatewayEvent::ROW_RESULT ||
      event.m_Kind == GatewayEvent::PASS_END) {
    object["succeeded"] = event.m_Succeeded;
  }
  object["elapsedSeconds"] = event.m_ElapsedMs / 1000.0;
  return JsonText(object);
}


StationView::Tally StationView::Count(Tally tally, const GatewayEvent& event) {
  switch (event.m_Kind) {
    case GatewayEvent::FOUND:
      ++tally.m_InFlight;
      break;
    case GatewayEvent::CHECKED:
      if (!event.m_Succeeded) --tally.m_InFlight, ++tally.m_NotStarted;
      break;
    case GatewayEvent::PASS_END:
      --tally.m_InFlight;
      ++(event.m_Succeeded ? tally.m_Upgraded : tally.m_Failed);
      break;
    default:
      break;
  }
  return tally;
}

std::string StationView::TallyText(const Tally& tally) {
  return "Upgraded: " + std::to_string(tally.m_Upgraded) + "   Failed: " + std::to_string(tally.m_Failed) +
         "   In flight: " + std::to_string(tally.m_InFlight) + "   Not started: " + std::to_string(tally.m_NotStarted);
}

std::string StationView::TallyJson(const Tally& tally) {
  return JsonText(Json{{"event", "tally"},
                       {"upgraded", tally.m_Upgraded},
                       {"failed", tally.m_Failed},
                       {"inFlight", tally.m_InFlight},
                       {"notStarted", tally.m_NotStarted}});
}

void StationView::OnEvent(const GatewayEvent& event) {
  std::unique_lock<std::mutex> hold(m_Lock);
  const Tally before = m_Tally;
  m_Tally = Count(m_Tally, event);
  switch (m_Mode) {
    case JSON:
      fprintf(m_Out, "%s\n", JsonLine(event).c_str());
      if (!(m_Tally == before)) fprintf(m_Out, "%s\n", TallyJson(m_Tally).c_str());
      break;
    case LINES: {
      const std::string line = PlainLine(event);
      if (!line.empty()) fprintf(m_Out, "%s\n", line.c_str());
      break;
    }
    case TABLE: {
      Update(event);
      const uint64_t now = RealMs();
      if (event.m_Kind == GatewayEvent::PROGRESS && now - m_LastDrawMs < PROGRESS_REDRAW_MS) return;
      m_LastDrawMs = now;
      hold.unlock();  // the painter takes the lock
      m_Screen->Redraw();
      return;
    }
  }
  fflush(m_Out);
}

void StationView::Update(const GatewayEvent& event) {
  Line& line = m_Lines[event.m_Router.m_Interface];
  if (event.m_Kind == GatewayEvent::FOUND) line = Line();
  line.m_Last = event;
  line.m_FoundTick = Clock::TickCount() - event.m_ElapsedMs;
  if (event.m_Row >= 0) line.m_Type = event.m_Type;
  if (event.m_Kind == GatewayEvent::PROGRESS) {
    line.m_Percent = event.m_Percent;
    line.m_Rate = event.m_Transfer.InFlight() ? event.m_Transfer.Text() : "";
  } else if (event.m_Kind == GatewayEvent::STATUS || event.m_Kind == GatewayEvent::ROW_RESULT ||
             event.m_Kind == GatewayEvent::NOTICE) {
    line.m_Text = PrintableText(event.m_Text);  // the row has its own column
  } else {
    line.m_Text = PlainLine(event).substr(Who(event).size());
  }
  if (event.m_Kind == GatewayEvent::PASS_END || (event.m_Kind == GatewayEvent::CHECKED && !event.m_Succeeded)) {
    line.m_Ended = true;
    line.m_Rate.clear();
  }
}

std::vector<std::string> StationView::Paint(TerminalSize size) {
  std::lock_guard<std::mutex> hold(m_Lock);
  return TableLines(m_Tally, m_Lines, size, Clock::TickCount());
}

std::vector<std::string> StationView::TableLines(const Tally& tally, const std::map<std::string, Line>& lines,
                                                 TerminalSize size, uint64_t nowTick) {
  std::vector<std::vector<std::string>> cells = {std::vector<std::string>(std::begin(HEADER), std::end(HEADER))};
  for (const auto& [name, line] : lines) {
    const uint64_t elapsed = line.m_Ended ? line.m_Last.m_ElapsedMs : nowTick - line.m_FoundTick;
    cells.push_back({PrintableText(name), FormatMac(line.m_Last.m_Router.m_Mac), PrintableText(line.m_Type),
                     line.m_Percent, line.m_Rate, MinutesSeconds(elapsed), line.m_Text});
  }
  std::vector<ColumnSpec> columns;
  for (size_t c = 0; c < cells[0].size(); ++c) {
    columns.push_back({0, DROP_ORDER[c]});
    for (const auto& row : cells) columns[c].m_Width = std::max(columns[c].m_Width, DisplayWidth(row[c]));
  }
  const ColumnFit fit = FitColumns(columns, STATUS_MINIMUM, INTERFACE_MINIMUM, size.m_Columns - 1);
  // The tally and the header above the gateways, the region a line shorter
  // than the terminal; what does not fit is counted in the last line.
  const size_t room = size.m_Rows > 3 ? size.m_Rows - 3 : 0;
  const size_t gateways = cells.size() - 1;
  const size_t shown = gateways <= room ? gateways : room > 0 ? room - 1 : 0;
  std::vector<std::string> text = {TallyText(tally)};
  for (size_t r = 0; r <= shown; ++r) text.push_back(FittedLine(cells[r], fit));
  if (shown < gateways) text.push_back("\xE2\x80\xA6 " + std::to_string(gateways - shown) + " more interfaces");
  return text;
}

void StationView::Message(const std::string& text) {
  if (m_Mode == TABLE) {
    m_Screen->Print(text);
    return;
  }
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_Mode == JSON) {
    fprintf(m_Out, "%s\n", JsonText(Json{{"event", "message"}, {"text", text}}).c_str());
  } else {
    fprintf(m_Out, "%s\n", text.c_str());
  }
  fflush(m_Out);
}

void StationView::Summary(const std::vector<GatewayOutcome>& outcomes) {
  const char* titles[] = {"Upgraded", "Failed", "Not started"};
  const char* keys[] = {"upgraded", "failed", "notStarted"};
  Json summary{{"event", "summary"}};
  std::string text;
  for (int result = GatewayOutcome::UPGRADED; result <= GatewayOutcome::NOT_STARTED; ++result) {
    Json list = Json::array();
    std::string lines;
    for (const GatewayOutcome& outcome : outcomes) {
      if (outcome.m_Result != result) continue;
      Json entry = GatewayJson(outcome.m_Router);
      if (!outcome.m_Text.empty()) entry["text"] = outcome.m_Text;
      list.push_back(std::move(entry));
      lines += "  " + FormatMac(outcome.m_Router.m_Mac) + " (" + PrintableText(outcome.m_Router.m_Interface) + ")" +
               (outcome.m_Text.empty() ? "" : ": " + PrintableText(outcome.m_Text)) + "\n";
    }
    text += std::string(titles[result]) + ": " + std::to_string(list.size()) + "\n" + lines;
    summary[keys[result]] = std::move(list);
  }
  if (m_Screen) m_Screen->Freeze();
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_Mode == JSON) {
    fprintf(m_Out, "%s\n", JsonText(summary).c_str());
  } else {
    fprintf(m_Out, "\n%s", text.c_str());
  }
  fflush(m_Out);
}
