#include "support/date_time.h"

#include <gtest/gtest.h>

namespace trovex {
namespace {

TEST(OleDate, ConvertsBothWays) {
  struct Case {
    double ole;
    CivilTime civil;
  };
  const Case cases[] = {
      {0.0, {1899, 12, 30, 0, 0, 0, 0}},                 // the epoch
      {2.0, {1900, 1, 1, 0, 0, 0, 0}},                   // no 1900 leap-day quirk in OLE dates
      {45356.5, {2024, 3, 5, 12, 0, 0, 0}},              // noon
      {45351.0, {2024, 2, 29, 0, 0, 0, 0}},              // leap day
      {-1.25, {1899, 12, 29, 6, 0, 0, 0}},               // before the epoch: fraction is still the time
      {2958465.0, {9999, 12, 31, 0, 0, 0, 0}},           // Outlook's "none" date
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OleDateToCivil(c.ole), c.civil) << c.ole;
    EXPECT_DOUBLE_EQ(CivilToOleDate(c.civil), c.ole) << c.ole;
  }
}

TEST(OleDate, RoundsToMillisecondsAndCarriesIntoTheNextDay) {
  const CivilTime t{2024, 3, 5, 9, 5, 3, 7};
  EXPECT_EQ(OleDateToCivil(CivilToOleDate(t)), t);
  // 23:59:59.9996 rounds up to midnight of the next day.
  EXPECT_EQ(OleDateToCivil(45356.0 + (86399.9996 / 86400.0)), (CivilTime{2024, 3, 6, 0, 0, 0, 0}));
}

TEST(OleDate, UnixSecondsRoundTrip) {
  EXPECT_DOUBLE_EQ(OleDateFromUnixSeconds(0), 25569.0);
  EXPECT_DOUBLE_EQ(OleDateFromUnixSeconds(1709640000), CivilToOleDate({2024, 3, 5, 12, 0, 0, 0}));
  EXPECT_DOUBLE_EQ(UnixSecondsFromOleDate(CivilToOleDate({2024, 3, 5, 12, 0, 0, 0})), 1709640000.0);
}

TEST(DateFormats, ZeroPadEveryField) {
  const CivilTime t{2024, 3, 5, 9, 5, 3, 7};
  EXPECT_EQ(FormatStamp(t), "09:05:03.007");
  EXPECT_EQ(FormatIsoDate(t), "2024-03-05");
  EXPECT_EQ(FormatGermanDate(t), "05.03.2024");
  EXPECT_EQ(FormatIsoDate({812, 1, 2, 0, 0, 0, 0}), "0812-01-02");
}

}  // namespace
}  // namespace trovex
