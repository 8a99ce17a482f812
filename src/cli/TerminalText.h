// Text for the terminal: what the gateway sent made harmless, widths in
// screen columns, and text cut to fit them.
#pragma once

#include <cstddef>
#include <string>

// Version texts come from the gateway: a control character would reach the
// terminal as a command (cursor moves, colours, its title), so each one
// (C0, DEL, C1) is shown as U+FFFD.
std::string PrintableText(const std::string& text);
// Columns on the screen (see CharacterWidth). Escape sequences take none.
size_t DisplayWidth(const std::string& text);
// text, filled with blanks to width columns.
std::string Pad(const std::string& text, size_t width);
// text when it fits width columns; else cut so that it ends in "…" within
// them (a wide character that would cross the edge goes, and the line is
// then a column shorter). Escape sequences are kept whole, and a colour
// left open by the cut is closed.
std::string CutText(const std::string& text, size_t width);
// CutText, then Pad: exactly width columns.
std::string FitCell(const std::string& text, size_t width);
