// The program's start of the sockets library: version 2.2, or a "Warning"
// and the end of the program.
#pragma once

#include <cstdint>

#include "log/Notice.h"

// Starts the library at version wanted (2.2 unless a test asks for another).
// A failure shows the system's text of its code, another version than 2.2
// string 138 with the version granted; both in a "Warning" on notices, and
// false.
bool StartSockets(INoticeSink& notices, uint16_t wanted = 0x0202);
