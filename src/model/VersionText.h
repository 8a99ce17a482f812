// Version texts "a.b.c.d...": the rule that decides whether a package may be
// installed over the installed version.
#pragma once

#include <cstdint>
#include <string>

// Digits and dots up to and including the third dot; no dot first or right
// after a dot. Nothing after the third dot is examined.
bool IsValidVersionText(const std::string& text);
// The numbers before the first three non-digits; numbers that run to the end
// of the text, and missing ones, are 0.
void VersionNumbers(const std::string& text, int32_t numbers[3]);
// 1: the package (upgrade) may go over the installed (current) version.
int VersionMatch(const std::string& current, const std::string& upgrade);
