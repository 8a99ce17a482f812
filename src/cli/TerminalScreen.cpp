#include "cli/TerminalScreen.h"

#include <chrono>

#include "cli/TerminalText.h"

namespace {

// Lines kept for drawing the screen again after a resize: more than any
// terminal shows.
constexpr size_t PRINTED_KEPT = 500;
// How often the watcher looks at the size (real time), and redraws anyway.
constexpr unsigned WATCH_MS = 200;
constexpr unsigned REDRAW_MS = 1000;

// "" is one empty line; a last "\n" ends a line and starts none.
std::vector<std::string> SplitLines(const std::string& text) {
  if (text.empty()) return {""};
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// A terminal that does not tell its size is taken for the classic one.
TerminalSize Usable(TerminalSize size) {
  if (size.m_Columns < 2 || size.m_Rows < 2) return {80, 24};
  return size;
}

}  // namespace

TerminalScreen::TerminalScreen(FILE* out)
    : m_Out(out), m_Watch(out), m_Size(Usable(TerminalSizeOf(out))), m_Watcher([this] { Watch(); }) {}

TerminalScreen::~TerminalScreen() {
  {
    std::lock_guard<std::mutex> hold(m_Lock);
    m_Stop = true;
  }
  m_Watcher.join();
}

void TerminalScreen::SetPainter(Painter painter) {
  std::lock_guard<std::mutex> paint(m_PaintLock);
  m_Painter = std::move(painter);
}

TerminalSize TerminalScreen::Size() const { return Usable(TerminalSizeOf(m_Out)); }

std::vector<std::string> TerminalScreen::Paint(TerminalSize size) {
  if (!m_Painter) return {};
  std::vector<std::string> lines = m_Painter(size);
  if (lines.size() > static_cast<size_t>(size.m_Rows - 1)) lines.resize(size.m_Rows - 1);
  return lines;
}

void TerminalScreen::Redraw() {
  std::lock_guard<std::mutex> paint(m_PaintLock);
  if (!m_Painter) return;
  const TerminalSize size = Size();
  const std::vector<std::string> lines = Paint(size);
  std::lock_guard<std::mutex> hold(m_Lock);
  if (size == m_Size) {
    DrawRegion(lines);
  } else {
    m_Region = lines;
    ClearAndDrawAll(size);
  }
  fflush(m_Out);
}

void TerminalScreen::Print(const std::string& text) { PrintOn(m_Out, text); }

void TerminalScreen::PrintOn(FILE* stream, const std::string& text) {
  const TerminalSize size = Size();
  std::lock_guard<std::mutex> hold(m_Lock);
  if (!(size == m_Size)) ClearAndDrawAll(size);
  const std::vector<std::string> region = m_Region;
  EraseRegion();
  fflush(m_Out);
  const size_t width = m_Size.m_Columns - 1;
  for (const std::string& line : SplitLines(text)) {
    // What goes to the screen's own output fits it; another stream (stderr)
    // gets the whole text.
    fprintf(stream, "%s\n", (stream == m_Out ? CutText(line, width) : line).c_str());
    Remember(line);
  }
  fflush(stream);
  DrawRegion(region);
  fflush(m_Out);
}

void TerminalScreen::Keep() {
  std::lock_guard<std::mutex> hold(m_Lock);
  for (const std::string& line : m_Region) Remember(line);
  m_Region.clear();
}

void TerminalScreen::Remember(const std::string& line) {
  m_Printed.push_back(line);
  if (m_Printed.size() > PRINTED_KEPT) m_Printed.pop_front();
}

void TerminalScreen::Freeze() {
  SetPainter(nullptr);
  Keep();
}

void TerminalScreen::DrawRegion(const std::vector<std::string>& lines) {
  std::string text = "\r";
  if (!m_Region.empty()) text += "\033[" + std::to_string(m_Region.size()) + "A";
  const size_t width = m_Size.m_Columns - 1;
  for (const std::string& line : lines) text += CutText(line, width) + "\033[K\n";
  // A shorter region leaves the old one's last lines below it.
  if (lines.size() < m_Region.size()) text += "\033[J";
  fputs(text.c_str(), m_Out);
  m_Region = lines;
}

void TerminalScreen::EraseRegion() {
  if (m_Region.empty()) return;
  fprintf(m_Out, "\r\033[%zuA\033[J", m_Region.size());
  m_Region.clear();
}

// The terminal may have rewrapped or cut what was on it: nothing drawn
// before can be found again, so everything is drawn anew from the top.
void TerminalScreen::ClearAndDrawAll(TerminalSize size) {
  m_Size = size;
  std::vector<std::string> region = m_Region;
  if (region.size() > static_cast<size_t>(size.m_Rows - 1)) region.resize(size.m_Rows - 1);
  m_Region.clear();
  fputs("\033[H\033[2J", m_Out);
  const size_t room = size.m_Rows - 1 - region.size();
  const size_t width = size.m_Columns - 1;
  for (size_t i = m_Printed.size() > room ? m_Printed.size() - room : 0; i < m_Printed.size(); ++i)
    fprintf(m_Out, "%s\n", CutText(m_Printed[i], width).c_str());
  DrawRegion(region);
}

void TerminalScreen::Watch() {
  auto last = std::chrono::steady_clock::now();
  for (;;) {
    const bool resized = m_Watch.Wait(WATCH_MS);
    {
      std::lock_guard<std::mutex> hold(m_Lock);
      if (m_Stop) return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (resized || now - last >= std::chrono::milliseconds(REDRAW_MS)) {
      last = now;
      Redraw();
    }
  }
}
