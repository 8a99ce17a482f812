// The program's start of the sockets library: version 2.2, or the reason
// the program cannot run, for its "Warning".
#pragma once

#include <cstdint>
#include <string>

// Starts the library at version wanted (2.2 unless a test asks for another).
// On a failure *warning receives the system's text of its code, on another
// version than 2.2 string 138 with the version granted; false then.
bool StartSockets(std::string* warning, uint16_t wanted = 0x0202);
