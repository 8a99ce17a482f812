// The names by which the window is known to the system and to the user:
// the one-instance lock, the window class, the title, the user guide's file.
#pragma once

#include <string>

constexpr const char* SINGLE_INSTANCE_KEY = "5D2E9B14-7C3A-4e61-9F08-B3A6D1C47E25";
constexpr const char* WINDOW_CLASS_NAME = "QEL_UPGRADE_DLG";
constexpr const char* HELP_FILE_NAME = "QelUpgradeHelp.html";

// "<product> - <version> - Press F1 for Help", without the version part
// when the program carries none.
std::string ComposeWindowTitle(const std::string& product, const std::string& version);
