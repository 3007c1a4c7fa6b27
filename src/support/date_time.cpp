#include "support/date_time.h"
#include "support/local_time.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <fmt/format.h>

namespace trovex {
namespace {

constexpr long long kMsPerDay = 86'400'000;
// 1899-12-30 counted in days from 1970-01-01.
constexpr long long kOleEpochDays = -25569;

// Howard Hinnant's days_from_civil / civil_from_days.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

}  // namespace

CivilTime OleDateToCivil(double oleDate) {
  if (!std::isfinite(oleDate)) oleDate = 0;
  double whole = std::trunc(oleDate);
  long long timeMs = std::llround(std::fabs(oleDate - whole) * kMsPerDay);
  long long days = static_cast<long long>(whole);
  if (timeMs >= kMsPerDay) {
    timeMs -= kMsPerDay;
    ++days;
  }
  CivilTime t;
  CivilFromDays(days + kOleEpochDays, t.year, t.month, t.day);
  t.hour = static_cast<int>(timeMs / 3'600'000);
  t.minute = static_cast<int>(timeMs / 60'000 % 60);
  t.second = static_cast<int>(timeMs / 1000 % 60);
  t.millisecond = static_cast<int>(timeMs % 1000);
  return t;
}

double CivilToOleDate(const CivilTime& t) {
  const long long days =
      DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) -
      kOleEpochDays;
  const double fraction =
      ((t.hour * 60.0 + t.minute) * 60.0 + t.second + t.millisecond / 1000.0) / 86400.0;
  return days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
}

double OleDateFromUnixSeconds(double unixSeconds) {
  const double days = std::floor(unixSeconds / 86400.0);
  const double fraction = (unixSeconds - days * 86400.0) / 86400.0;
  const double oleDays = days - static_cast<double>(kOleEpochDays);
  return oleDays < 0 ? oleDays - fraction : oleDays + fraction;
}

double UnixSecondsFromOleDate(double oleDate) {
  const double whole = std::trunc(oleDate);
  const double fraction = std::fabs(oleDate - whole);
  return (whole + static_cast<double>(kOleEpochDays) + fraction) * 86400.0;
}

CivilTime LocalNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t secs = system_clock::to_time_t(now);
  const std::tm tm = LocalCalendarTime(secs);
  CivilTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond =
      static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return t;
}

std::string FormatIsoDate(const CivilTime& t) {
  return fmt::format("{:04}-{:02}-{:02}", t.year, t.month, t.day);
}

std::string FormatGermanDate(const CivilTime& t) {
  return fmt::format("{:02}.{:02}.{:04}", t.day, t.month, t.year);
}

std::string FormatStamp(const CivilTime& t) {
  return fmt::format("{:02}:{:02}:{:02}.{:03}", t.hour, t.minute, t.second, t.millisecond);
}

}  // namespace trovex
