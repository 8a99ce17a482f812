// F1: the user guide, an HTML page kept in the program's resources, is
// written to the user's temporary folder when it is not there yet and opened
// with the system's default handler for web pages. A guide already there is
// opened as it is.
#pragma once

#include <string>

// <temporary folder>\QelUpgradeHelp.html
std::wstring HelpFilePath();
// Writes the guide to path (hidden, replacing any file, shared with no one).
// False when the guide is missing from the program or not written whole.
bool ExtractHelp(const std::wstring& path);
