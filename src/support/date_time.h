// Calendar arithmetic for OLE Automation dates (days since 1899-12-30, the
// fraction being the time of day) and the text forms the report uses.
#pragma once

#include <string>

namespace trovex {

struct CivilTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;

  friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// Rounds to the nearest millisecond. Dates before 1899-12-30 follow OLE's
// convention: the integer part counts days backwards, the fraction is still
// the time of day.
CivilTime OleDateToCivil(double oleDate);
double CivilToOleDate(const CivilTime& t);

// Seconds since the Unix epoch <-> OLE date, both sides in the same zone.
double OleDateFromUnixSeconds(double unixSeconds);
double UnixSecondsFromOleDate(double oleDate);

// The local wall-clock time now, to the millisecond.
CivilTime LocalNow();

// "2024-03-05"
std::string FormatIsoDate(const CivilTime& t);
// "05.03.2024"
std::string FormatGermanDate(const CivilTime& t);
// "09:05:03.007"
std::string FormatStamp(const CivilTime& t);

}  // namespace trovex
