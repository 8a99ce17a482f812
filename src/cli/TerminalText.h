// Text for the terminal: what the gateway sent made harmless, and widths in
// screen columns.
#pragma once

#include <cstddef>
#include <string>

// Version texts come from the gateway: a control character would reach the
// terminal as a command (cursor moves, colours, its title), so each one
// (C0, DEL, C1) is shown as U+FFFD.
std::string PrintableText(const std::string& text);
// Columns on the screen: code points, East Asian wide ones counted twice.
size_t DisplayWidth(const std::string& text);
// text, filled with blanks to width columns.
std::string Pad(const std::string& text, size_t width);
