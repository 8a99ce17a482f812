#include "cli/StationView.h"

#include <chrono>

#include "cli/JsonReport.h"
#include "cli/TerminalText.h"
#include "net/AddressText.h"

namespace {

// Redraws of the table for "%" changes are at least this far apart (real
// time); every other change redraws at once.
constexpr uint64_t PROGRESS_REDRAW_MS = 100;

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

StationView::StationView(FILE* out, Mode mode) : m_Out(out), m_Mode(mode) {}

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

void StationView::OnEvent(const GatewayEvent& event) {
  std::lock_guard<std::mutex> hold(m_Lock);
  switch (m_Mode) {
    case JSON:
      fprintf(m_Out, "%s\n", JsonLine(event).c_str());
      break;
    case LINES: {
      const std::string line = PlainLine(event);
      if (!line.empty()) fprintf(m_Out, "%s\n", line.c_str());
      break;
    }
    case TABLE:
      Update(event);
      DrawTable(event.m_Kind != GatewayEvent::PROGRESS);
      return;
  }
  fflush(m_Out);
}

void StationView::Update(const GatewayEvent& event) {
  Line& line = m_Lines[event.m_Router.m_Interface];
  if (event.m_Kind == GatewayEvent::FOUND) line = Line();
  line.m_Last = event;
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
}

std::string StationView::TableText() const {
  const std::vector<std::string> header = {"Interface", "MAC", "Row", "%", "Rate", "Elapsed", "Status"};
  std::vector<std::vector<std::string>> cells = {header};
  for (const auto& [name, line] : m_Lines) {
    cells.push_back({PrintableText(name), FormatMac(line.m_Last.m_Router.m_Mac), PrintableText(line.m_Type),
                     line.m_Percent, line.m_Rate, MinutesSeconds(line.m_Last.m_ElapsedMs), line.m_Text});
  }
  std::vector<size_t> widths(header.size(), 0);
  for (const auto& row : cells)
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
  std::string text;
  for (const auto& row : cells) {
    std::string line;
    for (size_t c = 0; c + 1 < row.size(); ++c) line += Pad(row[c], widths[c]) + "  ";
    text += "\r\033[K" + line + row.back() + "\n";
  }
  return text;
}

void StationView::DrawTable(bool force) {
  const uint64_t now = RealMs();
  if (!force && now - m_LastDrawMs < PROGRESS_REDRAW_MS) return;
  m_LastDrawMs = now;
  // Back to the table's first line, then every line anew.
  if (m_DrawnLines > 0) fprintf(m_Out, "\033[%zuA", m_DrawnLines);
  const std::string text = TableText();
  fputs(text.c_str(), m_Out);
  fflush(m_Out);
  m_DrawnLines = m_Lines.size() + 1;
}

void StationView::Message(const std::string& text) {
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_Mode == JSON) {
    fprintf(m_Out, "%s\n", JsonText(Json{{"event", "message"}, {"text", text}}).c_str());
  } else if (m_Mode == LINES) {
    fprintf(m_Out, "%s\n", text.c_str());
  } else {
    // Above the table: the table moves down and is drawn again.
    if (m_DrawnLines > 0) fprintf(m_Out, "\033[%zuA\r\033[J", m_DrawnLines);
    fprintf(m_Out, "%s\n", text.c_str());
    m_DrawnLines = 0;
    if (!m_Lines.empty()) DrawTable(true);
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
  std::lock_guard<std::mutex> hold(m_Lock);
  if (m_Mode == JSON) {
    fprintf(m_Out, "%s\n", JsonText(summary).c_str());
  } else {
    fprintf(m_Out, "\n%s", text.c_str());
  }
  fflush(m_Out);
}
