// The local calendar time of a moment, for the log's time stamps.
#pragma once

#include <ctime>

// Fills local; false when the system cannot tell.
bool LocalTime(time_t when, std::tm* local);
