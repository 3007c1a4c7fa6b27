#include "support/local_time.h"

namespace trovex {

std::tm LocalCalendarTime(std::time_t seconds) {
  std::tm tm{};
  localtime_s(&tm, &seconds);
  return tm;
}

}  // namespace trovex
