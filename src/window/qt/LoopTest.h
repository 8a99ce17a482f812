// Loop-test mode: while the marker file exists when the window opens, the
// window repeats Check and Upgrade without a user (2 s after a successful
// Check it upgrades, 35 s after an upgrade it checks again). Only the file's
// existence counts; its content is never read.
//
// The marker sits beside the window's settings:
//   $XDG_CONFIG_HOME/Zyphex/LoopTest.ini  (default ~/.config/Zyphex/LoopTest.ini)
// so only the user who runs the tool can switch the mode on.
#pragma once

#include <string>

std::string LoopTestMarkerPath();
