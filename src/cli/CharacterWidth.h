// How many columns a terminal gives one character.
#pragma once

#include <cstdint>

// 0 for combining marks and other characters drawn over their neighbour,
// 2 for East Asian wide characters and emoji, 1 for the rest (control
// characters included: the terminal never sees them, see PrintableText).
int CharacterWidth(uint32_t codePoint);
