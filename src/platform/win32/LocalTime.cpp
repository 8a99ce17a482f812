#include "platform/LocalTime.h"

bool LocalTime(time_t when, std::tm* local) { return localtime_s(local, &when) == 0; }
