// The C library's local-time conversion, which each platform spells its own
// way (localtime_r, localtime_s); both are thread-safe.
#pragma once

#include <ctime>

namespace trovex {

std::tm LocalCalendarTime(std::time_t seconds);

}  // namespace trovex
