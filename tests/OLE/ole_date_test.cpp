#include <gtest/gtest.h>

#include "OLE/ole_date.h"
#include "ole_test_util.h"

namespace {
SYSTEMTIME make_time(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(y); t.wMonth = static_cast<WORD>(mo); t.wDay = static_cast<WORD>(d);
  t.wHour = static_cast<WORD>(h); t.wMinute = static_cast<WORD>(mi); t.wSecond = static_cast<WORD>(s);
  t.wMilliseconds = static_cast<WORD>(ms);
  return t;
}
}  // namespace

TEST(OleDate, TimestampTextsOfFourteenAndEightCharacters) {
  ole_date full("20110304050607");
  EXPECT_EQ(full.get_kind(), ole_date::date_time);
  EXPECT_EQ(full.to_string(), "2011-03-04 05:06:07");
  ole_date date_only("20110304");
  EXPECT_EQ(date_only.get_kind(), ole_date::date_only);
  EXPECT_EQ(date_only.to_string(), "2011-03-04");
  // Padding blanks are trimmed before the length is looked at.
  EXPECT_EQ(ole_date("  20110304  ").to_string(), "2011-03-04");
}

TEST(OleDate, PureTimeRoundsFractionsAndCarriesWithoutTouchingTheDay) {
  ole_date half("10:20:30.5");
  EXPECT_EQ(half.get_kind(), ole_date::time_only);
  EXPECT_EQ(half.to_string(), "0000-00-00 10:20:31");
  EXPECT_EQ(half.get_system_time().wMilliseconds, 500);
  EXPECT_EQ(ole_date("10:20:30.4").to_string(), "0000-00-00 10:20:30");
  ole_date wrap("23:59:59.7");
  EXPECT_EQ(wrap.to_string(), "0000-00-00 00:00:00");
  EXPECT_EQ(wrap.get_system_time().wDay, 0);
  EXPECT_EQ(wrap.get_system_time().wMilliseconds, 700);
}

TEST(OleDate, DayWrittenFirstIsSwappedIntoPlace) {
  // Junk after the seconds keeps the platform's parser out, so the explicit
  // forms read 4 as the year and 2011 as the day.
  ole_date dotted("04.03.2011 10:20:30xyz");
  EXPECT_EQ(dotted.to_string(), "2011-03-04 10:20:30");
  ole_date dashed("04-03-2011 10:20:30xyz");
  EXPECT_EQ(dashed.to_string(), "2011-03-04 10:20:30");
}

TEST(OleDate, LocaleFormsGoThroughThePlatformParser) {
  ole_date us("3/4/2011 5:06:07 PM");
  EXPECT_EQ(us.get_kind(), ole_date::date_time);
  EXPECT_EQ(us.to_string(), "2011-03-04 17:06:07");  // already past noon: no second 12 hours
  ole_date words("March 4, 2011");
  EXPECT_EQ(words.get_kind(), ole_date::date_only);
  EXPECT_EQ(words.to_string(), "2011-03-04");
  EXPECT_EQ(ole_date("1899-12-29 06:00:00").to_string(), "1899-12-29 06:00:00");
  // A clock time the platform reads lands on its day zero.
  EXPECT_EQ(ole_date("10:20").to_string(), "1899-12-30 10:20:00");
}

TEST(OleDate, AfternoonMarkerAddsTwelveHoursOnlyBeforeNoon) {
  EXPECT_EQ(ole_date("2011-03-04 02:15:00 PM").get_system_time().wHour, 14);
  EXPECT_EQ(ole_date("2011-03-04 02:15:00 pm").get_system_time().wHour, 14);
  EXPECT_EQ(ole_date("2011-03-04 02:15:00 AM").get_system_time().wHour, 2);
  EXPECT_EQ(ole_date("12:30:00 AM").get_system_time().wHour, 12);
  EXPECT_EQ(ole_date("12:30:00 PM").get_system_time().wHour, 12);
  EXPECT_EQ(ole_date("2011-03-04 02:15:00 PM").to_string(), "2011-03-04 14:15:00");
}

TEST(OleDate, MidnightPrintsAsDateOnlyUnlessAskedOtherwise) {
  ole_date midnight(make_time(2011, 3, 4));
  EXPECT_EQ(midnight.get_kind(), ole_date::date_only);
  EXPECT_EQ(midnight.to_string(), "2011-03-04");
  ole_date noon(make_time(2011, 3, 4, 12, 0, 0));
  EXPECT_EQ(noon.to_string(), "2011-03-04 12:00:00");
  // A date-and-time kind at midnight is printed short only while the flag is set.
  ole_date parsed("20110304000000");
  EXPECT_EQ(parsed.get_kind(), ole_date::date_time);
  EXPECT_EQ(parsed.to_string(), "2011-03-04");
  parsed.set_print_date_only(false);
  EXPECT_EQ(parsed.to_string(), "2011-03-04 00:00:00");
  ole_date clock(make_time(0, 0, 0, 7, 8, 9));
  EXPECT_EQ(clock.get_kind(), ole_date::time_only);
  EXPECT_EQ(clock.to_wstring(), u"0000-00-00 07:08:09");
}

TEST(OleDate, ShortAndUnreadableTextsAreNotValidAndRenderEmpty) {
  for (const char* text : {"2011", "", "    ", "12:3", "abcdefgh", "not a date at all", "2011 PM"}) {
    ole_date d(text);
    EXPECT_FALSE(d.is_valid()) << text;
    EXPECT_EQ(d.to_string(), "") << text;
  }
  EXPECT_FALSE(ole_date(static_cast<const char*>(nullptr)).is_valid());
}

TEST(OleDate, ValidityOfMonthDayYearAndTime) {
  EXPECT_FALSE(ole_date(make_time(2011, 13, 4)).is_valid());
  EXPECT_FALSE(ole_date(make_time(2011, 0, 4)).is_valid());
  EXPECT_FALSE(ole_date(make_time(2011, 3, 0)).is_valid());
  EXPECT_FALSE(ole_date(make_time(0, 3, 4)).is_valid());
  EXPECT_FALSE(ole_date(make_time(32, 3, 32)).is_valid());
  EXPECT_TRUE(ole_date(make_time(31, 3, 32)).is_valid());  // may still be swapped
  EXPECT_TRUE(ole_date(make_time(2011, 3, 4, 60, 0, 0)).is_valid());
  EXPECT_FALSE(ole_date(make_time(2011, 3, 4, 61, 0, 0)).is_valid());
  EXPECT_FALSE(ole_date(make_time(2011, 3, 4, 1, 61, 0)).is_valid());
  EXPECT_FALSE(ole_date(make_time(2011, 3, 4, 1, 1, 61)).is_valid());
  // Fourteen digits with month 13 are no date whatever else is tried.
  EXPECT_FALSE(ole_date("20111304050607").is_valid());
  EXPECT_FALSE(ole_date("20110300").is_valid());
}

TEST(OleDate, MissingSecondsTextIsAnInternalError) {
  ole_date d(make_time(2011, 3, 4, 1, 2, 3));
  EXPECT_TRUE(raises_assertion_from("ole_date", [&] { d.process_milliseconds(nullptr); }));
  d.process_milliseconds("119.5");  // 120 seconds: two minutes are not carried, one is
  EXPECT_EQ(d.get_system_time().wMinute, 3);
  EXPECT_EQ(d.get_system_time().wSecond, 60);
}

TEST(OleDate, WideTextReadsAsTheNarrowOne) {
  ole_date wide(std::u16string(u"20110304050607"));
  EXPECT_EQ(wide.to_wstring(), u"2011-03-04 05:06:07");
  ole_date timed(std::u16string(u" 2011-03-04 02:15:00 PM "));
  EXPECT_EQ(timed.to_string(), "2011-03-04 14:15:00");
}
