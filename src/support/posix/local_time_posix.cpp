#include "support/local_time.h"

namespace trovex {

std::tm LocalCalendarTime(std::time_t seconds) {
  std::tm tm{};
  localtime_r(&seconds, &tm);
  return tm;
}

}  // namespace trovex
