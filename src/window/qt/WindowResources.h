// The window's icons and user guide are compiled into the program; a static
// library must register them explicitly before the first use.
#pragma once

void InitWindowResources();
