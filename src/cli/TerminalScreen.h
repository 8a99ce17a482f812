// A terminal drawn on as a screen: lines printed one under the other, and
// below them a live region that is redrawn in place (the station's table,
// the row in flight of an upgrade).
//
// No line is ever wider than the terminal: each is cut to its width, so
// that none wraps and a redraw, which goes back up by the lines it drew
// last, overwrites exactly those. The live region is at most one line
// shorter than the terminal, so that it never scrolls itself. When the
// terminal's size changes (its lines may have been rewrapped), the screen
// is cleared and drawn again: the printed lines that fit, then the region.
// A thread of the screen's watches the size and redraws the region every
// second, so that elapsed times keep going between events.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Console.h"

class TerminalScreen {
 public:
  // The live region for a terminal of that size, at most m_Rows - 1 lines,
  // each at most m_Columns - 1 wide (longer ones are cut).
  using Painter = std::function<std::vector<std::string>(TerminalSize size)>;

  // out must be a terminal. Make the screen on the main thread before
  // other threads start (see TerminalResizeWatch).
  explicit TerminalScreen(FILE* out);
  // Stops the watching; the live region stays as drawn.
  ~TerminalScreen();
  TerminalScreen(const TerminalScreen&) = delete;
  TerminalScreen& operator=(const TerminalScreen&) = delete;

  // The live region's painter. It may take a lock of its owner's, so the
  // owner calls Redraw without holding that lock.
  void SetPainter(Painter painter);
  // Draws the live region anew.
  void Redraw();
  // Prints lines above the live region, each cut to the width.
  void Print(const std::string& lines);
  // Prints text on stream (stderr, say, on the same terminal), whole,
  // above the live region.
  void PrintOn(FILE* stream, const std::string& lines);
  // The live region as drawn now becomes printed lines, and the region
  // starts empty under them.
  void Keep();
  // Keep, and nothing redraws the screen any more (its size included).
  void Freeze();

  TerminalSize Size() const;

 private:
  void Watch();
  // Under m_Lock: the region's lines up to the terminal's edges.
  void DrawRegion(const std::vector<std::string>& lines);
  void EraseRegion();
  // Keeps a printed line for a redraw after a resize.
  void Remember(const std::string& line);
  std::vector<std::string> Paint(TerminalSize size);
  void ClearAndDrawAll(TerminalSize size);

  FILE* m_Out;
  TerminalResizeWatch m_Watch;
  Painter m_Painter;
  std::mutex m_PaintLock;  // one painter call and its drawing at a time
  mutable std::mutex m_Lock;
  TerminalSize m_Size;
  std::deque<std::string> m_Printed;  // the last lines printed, for a redraw after a resize
  std::vector<std::string> m_Region;  // as drawn
  bool m_Stop = false;
  std::thread m_Watcher;
};
