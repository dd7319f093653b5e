// Conversions beyond the recorded vectors: properties over many values, the
// parts of the date reader that depend on the day, and argument checks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <random>
#include <string>

#include "platform/oleauto.h"

namespace {

std::u16string widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string take(BSTR s) {
  std::u16string text(s, SysStringLen(s));
  SysFreeString(s);
  return text;
}

int this_year() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return parts.tm_year + 1900;
}

TEST(OleDecimal, TextSurvivesTheRoundTripExactly) {
  std::mt19937_64 random(20110304);
  for (int i = 0; i < 2000; ++i) {
    // Up to 28 digits with up to 28 of them after the point, either sign.
    int digits = 1 + static_cast<int>(random() % 28);
    std::string mantissa;
    mantissa.push_back(static_cast<char>('1' + random() % 9));
    for (int d = 1; d < digits; ++d) mantissa.push_back(static_cast<char>('0' + random() % 10));
    int scale = static_cast<int>(random() % digits);
    std::string text = mantissa;
    if (scale > 0) text.insert(text.size() - scale, ".");
    while (scale > 0 && text.back() == '0') { text.pop_back(); --scale; }
    if (text.back() == '.') text.pop_back();
    if (random() % 2) text.insert(0, "-");
    if (text[0] == '.' || (text[0] == '-' && text[1] == '.')) text.insert(text[0] == '-' ? 1 : 0, "0");

    DECIMAL d;
    ASSERT_EQ(VarDecFromStr(widen(text).c_str(), LOCALE_EN_US, 0, &d), S_OK) << text;
    BSTR back = nullptr;
    ASSERT_EQ(VarBstrFromDec(&d, LOCALE_USER_DEFAULT, 0, &back), S_OK);
    EXPECT_EQ(take(back), widen(text));
  }
}

TEST(OleDecimal, RoundsHalfToEvenWhenTheTypeIsNarrower) {
  struct { const char16_t* text; LONG i4; LONGLONG cy; } cases[] = {
      {u"0.5", 0, 5000},          {u"1.5", 2, 15000},       {u"2.5", 2, 25000},
      {u"-2.5", -2, -25000},      {u"2.50001", 3, 25000},   {u"0.00005", 0, 0},
      {u"0.00015", 0, 2},         {u"0.00025", 0, 2},       {u"-0.00035", 0, -4},
      {u"2147483646.5", 2147483646, 21474836465000},
  };
  for (const auto& c : cases) {
    DECIMAL d;
    ASSERT_EQ(VarDecFromStr(c.text, LOCALE_EN_US, 0, &d), S_OK);
    LONG i4 = 99;
    CY cy{};
    EXPECT_EQ(VarI4FromDec(&d, &i4), S_OK);
    EXPECT_EQ(i4, c.i4) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    EXPECT_EQ(VarCyFromDec(&d, &cy), S_OK);
    EXPECT_EQ(cy.int64, c.cy);
    CY direct{};
    EXPECT_EQ(VarCyFromStr(c.text, LOCALE_EN_US, 0, &direct), S_OK);
    EXPECT_EQ(direct.int64, c.cy);
  }
}

TEST(OleDecimal, RejectsMalformedDecimalsAndNullArguments) {
  DECIMAL bad{};
  bad.scale = 29;
  LONG l;
  double r;
  CY cy;
  BSTR s = nullptr;
  EXPECT_EQ(VarI4FromDec(&bad, &l), E_INVALIDARG);
  EXPECT_EQ(VarR8FromDec(&bad, &r), E_INVALIDARG);
  EXPECT_EQ(VarCyFromDec(&bad, &cy), E_INVALIDARG);
  EXPECT_EQ(VarBstrFromDec(&bad, LOCALE_EN_US, 0, &s), E_INVALIDARG);
  EXPECT_EQ(s, nullptr);
  bad.scale = 0;
  bad.sign = 0x40;
  EXPECT_EQ(VarI4FromDec(&bad, &l), E_INVALIDARG);
  EXPECT_EQ(VarDecFromStr(nullptr, LOCALE_EN_US, 0, &bad), E_INVALIDARG);
  EXPECT_EQ(VarCyFromStr(u"1", LOCALE_EN_US, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(VarDateFromStr(u"1/1/2000", LOCALE_EN_US, 0, nullptr), E_INVALIDARG);
}

TEST(OleDate, SystemTimeAndDateAgreeOverTheWholeRange) {
  // Every 97th day from 0100-01-01 to 9999-12-31, at a time with seconds.
  for (long day = -657434; day <= 2958465; day += 97) {
    double date = day < 0 ? day - 0.75 : day + 0.75;  // 18:00
    SYSTEMTIME st{};
    ASSERT_TRUE(VariantTimeToSystemTime(date, &st)) << day;
    EXPECT_EQ(st.wHour, 18);
    double back = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &back)) << day;
    EXPECT_EQ(back, date) << day;
    // Weekdays follow one another: 1899-12-30 was a Saturday.
    EXPECT_EQ(st.wDayOfWeek, ((day % 7) + 7 + 6) % 7) << day;
  }
}

TEST(OleDate, TheTimeOfDayAddsHoursMinutesAndSecondsInThatOrder) {
  // Windows adds the three fields one by one; the last bit depends on it.
  // Days on both sides of 1899-12-30 and at both ends of the range.
  for (long day : {-657434L, -1L, 0L, 1L, 36526L, 45000L, 2958465L}) {
    SYSTEMTIME st{};
    ASSERT_TRUE(VariantTimeToSystemTime(static_cast<double>(day), &st)) << day;
    const double sign = day < 0 ? -1.0 : 1.0;
    for (int second = 0; second < 86400; second += day == 36526 ? 1 : 7) {
      st.wHour = static_cast<WORD>(second / 3600);
      st.wMinute = static_cast<WORD>(second / 60 % 60);
      st.wSecond = static_cast<WORD>(second % 60);
      double expected = static_cast<double>(day);
      expected += sign * st.wHour / 24.0;
      expected += sign * st.wMinute / 1440.0;
      expected += sign * st.wSecond / 86400.0;
      double got = 0;
      ASSERT_TRUE(SystemTimeToVariantTime(&st, &got));
      ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << day << " " << second;
    }
  }
}

TEST(OleDate, FieldsPastTheirEndRollOver) {
  auto serial = [](WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) {
    SYSTEMTIME st{y, mo, 0, d, h, mi, s, 0};
    double out = -1;
    EXPECT_TRUE(SystemTimeToVariantTime(&st, &out));
    return out;
  };
  EXPECT_EQ(serial(2000, 1, 1, 0, 0, 0), 36526.0);
  EXPECT_EQ(serial(1900, 1, 1, 0, 0, 0), 2.0);
  EXPECT_EQ(serial(2000, 3, 1, 0, 0, 0), serial(2000, 2, 29, 24, 0, 0));
  EXPECT_EQ(serial(2000, 1, 2, 0, 1, 0), serial(2000, 1, 1, 23, 60, 60));
  EXPECT_EQ(serial(1999, 12, 31, 0, 0, 0), serial(2000, 1, 0, 0, 0, 0));
  EXPECT_EQ(serial(1999, 12, 1, 0, 0, 0), serial(2000, 0, 1, 0, 0, 0));
  EXPECT_EQ(serial(1900, 3, 1, 0, 0, 0), serial(1900, 2, 29, 0, 0, 0)) << "1900 is no leap year";
  EXPECT_EQ(serial(1899, 12, 30, 0, 0, 0), 0.0);
  EXPECT_EQ(serial(1899, 12, 29, 6, 0, 0), -1.25);
  EXPECT_EQ(serial(49, 1, 1, 0, 0, 0), serial(2049, 1, 1, 0, 0, 0));
  EXPECT_EQ(serial(50, 1, 1, 0, 0, 0), serial(1950, 1, 1, 0, 0, 0));
  EXPECT_EQ(serial(9999, 12, 31, 0, 0, 0), 2958465.0);
  EXPECT_EQ(serial(100, 1, 1, 0, 0, 0), -657434.0);
}

TEST(OleDate, KnownDaysAndTheirWeekdays) {
  SYSTEMTIME st{};
  ASSERT_TRUE(VariantTimeToSystemTime(40606.5, &st));
  EXPECT_EQ(st.wYear, 2011);
  EXPECT_EQ(st.wMonth, 3);
  EXPECT_EQ(st.wDay, 4);
  EXPECT_EQ(st.wDayOfWeek, 5);  // a Friday
  ASSERT_TRUE(VariantTimeToSystemTime(-1.25, &st));
  EXPECT_EQ(st.wDay, 29);
  EXPECT_EQ(st.wHour, 6);
  EXPECT_FALSE(VariantTimeToSystemTime(2958466.0, &st));
  EXPECT_FALSE(VariantTimeToSystemTime(-657435.0, &st));
  SYSTEMTIME with_ms = {2011, 3, 0, 4, 5, 6, 7, 999};
  double d = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&with_ms, &d));
  SYSTEMTIME without_ms = with_ms;
  without_ms.wMilliseconds = 0;
  double d0 = 0;
  SystemTimeToVariantTime(&without_ms, &d0);
  EXPECT_EQ(d, d0) << "milliseconds are not part of a DATE";
}

TEST(OleDate, TextWithoutAYearTakesTheCurrentYear) {
  DATE d = 0, expected = 0;
  ASSERT_EQ(VarDateFromStr(u"3/4", LOCALE_EN_US, 0, &d), S_OK);
  SYSTEMTIME st = {static_cast<WORD>(this_year()), 3, 0, 4, 0, 0, 0, 0};
  SystemTimeToVariantTime(&st, &expected);
  EXPECT_EQ(d, expected);
  ASSERT_EQ(VarDateFromStr(u"March 4", LOCALE_EN_US, 0, &d), S_OK);
  EXPECT_EQ(d, expected);
}

TEST(OleDate, TheTimeOpensOrClosesTheText) {
  DATE at_end = 0, at_start = 0, d = 0;
  ASSERT_EQ(VarDateFromStr(u"7/8/2012 9:10", LOCALE_EN_US, 0, &at_end), S_OK);
  ASSERT_EQ(VarDateFromStr(u"9:10 7/8/2012", LOCALE_EN_US, 0, &at_start), S_OK);
  EXPECT_EQ(at_end, at_start);
  SYSTEMTIME st{};
  VariantTimeToSystemTime(at_end, &st);
  EXPECT_EQ(st.wMonth, 7);
  EXPECT_EQ(st.wDay, 8);
  EXPECT_EQ(st.wMinute, 10);
  ASSERT_EQ(VarDateFromStr(u"7/8/2012\u30009:10", LOCALE_EN_US, 0, &d), S_OK);  // ideographic space
  EXPECT_EQ(d, at_end);
  EXPECT_EQ(VarDateFromStr(u"7 9:10 8 2012", LOCALE_EN_US, 0, &d), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VarDateFromStr(u"7 8 pm 2012", LOCALE_EN_US, 0, &d), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VarDateFromStr(u"9:10 9:10", LOCALE_EN_US, 0, &d), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VarDateFromStr(u"7/8/2012-", LOCALE_EN_US, 0, &d), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VarDateFromStr(u"9.", LOCALE_EN_US, 0, &d), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VarDateFromStr(u"/7/8/2012", LOCALE_EN_US, 0, &d), DISP_E_TYPEMISMATCH);
}

TEST(OleDate, TwoNumbersAreMonthAndDayEitherWayOrMonthAndYear) {
  DATE d = 0, expected = 0;
  SYSTEMTIME st = {static_cast<WORD>(this_year()), 3, 0, 14, 0, 0, 0, 0};
  SystemTimeToVariantTime(&st, &expected);
  ASSERT_EQ(VarDateFromStr(u"3 14", LOCALE_EN_US, 0, &d), S_OK);
  EXPECT_EQ(d, expected);
  ASSERT_EQ(VarDateFromStr(u"14 3", LOCALE_EN_US, 0, &d), S_OK);
  EXPECT_EQ(d, expected);
  SYSTEMTIME march_1977 = {1977, 3, 0, 1, 0, 0, 0, 0};
  SystemTimeToVariantTime(&march_1977, &expected);
  ASSERT_EQ(VarDateFromStr(u"3/77", LOCALE_EN_US, 0, &d), S_OK);
  EXPECT_EQ(d, expected);
  EXPECT_EQ(VarDateFromStr(u"40 77", LOCALE_EN_US, 0, &d), DISP_E_TYPEMISMATCH);
}

TEST(OleDate, TimestampsWithFractionsAreLeftToTheCaller) {
  // The date layer reads these forms itself (it keeps the milliseconds).
  DATE d;
  EXPECT_EQ(VarDateFromStr(u"2011-03-04 05:06:07.123", LOCALE_SYSTEM_DEFAULT, 0, &d), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VarDateFromStr(u"10:20:30.5", LOCALE_SYSTEM_DEFAULT, 0, &d), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VarDateFromStr(u"04.03.2011", LOCALE_SYSTEM_DEFAULT, 0, &d), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VarDateFromStr(u"20110304", LOCALE_SYSTEM_DEFAULT, 0, &d), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(VarDateFromStr(u"2011-03-04 02:15:00 PM", LOCALE_SYSTEM_DEFAULT, 0, &d), S_OK);
  SYSTEMTIME st{};
  VariantTimeToSystemTime(d, &st);
  EXPECT_EQ(st.wHour, 14);
  EXPECT_EQ(st.wMinute, 15);
}

TEST(OleDate, RenderedDatesReadBackAsTheSameDate) {
  std::mt19937 random(7);
  for (int i = 0; i < 500; ++i) {
    long day = -657434 + static_cast<long>(random() % (2958466 + 657434));
    long second = static_cast<long>(random() % 86400);
    SYSTEMTIME st{};
    VariantTimeToSystemTime(day, &st);
    st.wHour = static_cast<WORD>(second / 3600);
    st.wMinute = static_cast<WORD>(second / 60 % 60);
    st.wSecond = static_cast<WORD>(second % 60);
    DATE date = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &date));
    BSTR text = nullptr;
    ASSERT_EQ(VarBstrFromDate(date, LOCALE_USER_DEFAULT, 0, &text), S_OK);
    std::u16string rendered = take(text);
    DATE back = 0;
    ASSERT_EQ(VarDateFromStr(rendered.c_str(), LOCALE_USER_DEFAULT, 0, &back), S_OK)
        << std::string(rendered.begin(), rendered.end());
    EXPECT_EQ(back, date) << std::string(rendered.begin(), rendered.end());
  }
}

TEST(OleNumber, TextToDoubleIsTheNearestDouble) {
  std::mt19937_64 random(11);
  for (int i = 0; i < 2000; ++i) {
    double value;
    uint64_t bits = random();
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    double back = 0;
    ASSERT_EQ(VarR8FromStr(widen(text).c_str(), LOCALE_EN_US, 0, &back), S_OK) << text;
    EXPECT_EQ(back, value) << text;
  }
}

TEST(OleNumber, IntegersFromTextKeepTheirRangeAndRadix) {
  LONG l = 0;
  EXPECT_EQ(VarI4FromStr(u"&HFFFFFFFF", LOCALE_EN_US, 0, &l), S_OK);
  EXPECT_EQ(l, -1);
  EXPECT_EQ(VarI4FromStr(u"&H100000000", LOCALE_EN_US, 0, &l), DISP_E_OVERFLOW);
  EXPECT_EQ(VarI4FromStr(u"(1,000)", LOCALE_EN_US, 0, &l), S_OK);
  EXPECT_EQ(l, -1000);
  EXPECT_EQ(VarI4FromStr(u"2147483647.5", LOCALE_EN_US, 0, &l), DISP_E_OVERFLOW);
  EXPECT_EQ(VarI4FromStr(u"-2147483648.5", LOCALE_EN_US, 0, &l), S_OK);
  EXPECT_EQ(l, INT32_MIN);
  EXPECT_EQ(VarI4FromStr(u"1e", LOCALE_EN_US, 0, &l), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VarI4FromStr(u"(12", LOCALE_EN_US, 0, &l), DISP_E_TYPEMISMATCH);
}

}  // namespace
