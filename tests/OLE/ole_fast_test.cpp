// The short ways for the texts a database hands over (plain decimal numbers,
// dates in the written form, ASCII texts) must give exactly what the general
// parsers give; every other text must still reach the general parsers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "OLE/ole_date.h"
#include "OLE/ole_pnum.h"
#include "OLE/ole_vari.h"
#include "TK/tk_strin.h"

namespace {
bool same_decimal(const DECIMAL& a, const DECIMAL& b) {
  return a.scale == b.scale && a.sign == b.sign && a.Hi32 == b.Hi32 && a.Lo64 == b.Lo64;
}

bool same_time(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string date_text(int y, int mo, int d, int h, int mi, int s, bool with_time) {
  char buf[40];
  if (with_time) std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
  else std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, mo, d);
  return buf;
}

// A blank in front keeps a text off the short way; the general parser trims it.
void expect_same_as_general(const std::string& text) {
  ole_date fast(text);
  ole_date general(" " + text);
  EXPECT_EQ(fast.get_kind(), general.get_kind()) << text;
  EXPECT_TRUE(same_time(fast.get_system_time(), general.get_system_time())) << text;
  EXPECT_EQ(fast.to_string(), general.to_string()) << text;
}
}  // namespace

TEST(OleFastPaths, PlainDecimalsReadAsTheAutomationParserReadsThem) {
  const char* texts[] = {"0", "-0", "-0.00", "0.000", ".5", "-.5", "1.", "12.50", "100", "10.0", "0.10",
                         "007.250", "-123456.789", "4294967296", "18446744073709551616.5",
                         "1234567890123456789012345678", "-.1234567890123456789012345678",
                         "99999999999999999999.99999999"};
  for (const char* text : texts) {
    DECIMAL fast{}, general{};
    ASSERT_TRUE(ole_plain_decimal(text, &fast)) << text;
    ASSERT_EQ(VarDecFromStr(tk_from_ansi(text).c_str(), LOCALE_EN_US, 0, &general), S_OK) << text;
    EXPECT_TRUE(same_decimal(fast, general)) << text;
  }
}

TEST(OleFastPaths, OtherNumberTextsAreLeftToTheGeneralParser) {
  const char* texts[] = {"", "-", ".", "-.", "+1", "1e5", "1E+40", "1,5", " 1", "1 ", "1.2.3", "--1", "1-",
                         "$1", "&H10", "inf", "nan", "0x10"};
  for (const char* text : texts) {
    DECIMAL d{};
    double x = 0;
    EXPECT_FALSE(ole_plain_decimal(text, &d)) << text;
    EXPECT_FALSE(ole_plain_double(text, &x)) << text;
  }
  // Too many digits or decimals for a DECIMAL: the general parser rounds or refuses.
  for (const char* text : {"12345678901234567890123456789", "0.12345678901234567890123456789"}) {
    DECIMAL d{};
    EXPECT_FALSE(ole_plain_decimal(text, &d)) << text;
  }
  // The whole value still comes out of from_string for these.
  ole_variant v;
  v.from_string("1E+3", VT_DECIMAL);
  EXPECT_EQ(v.to_string(), "1000");
  v.from_string("12,5", VT_DECIMAL);
  EXPECT_EQ(v.to_string(), "12.5");
  v.from_string("1,5", VT_R8);
  EXPECT_EQ(v.to_double(), 1.5);
}

TEST(OleFastPaths, PlainDoublesReadAsStrtodReadsThem) {
  const char* texts[] = {"0", "-0", ".5", "1.", "0.1", "14285.714286", "123.45", "-2.675",
                         "9007199254740993", "0.30000000000000004", "1.7976931348623157",
                         "179769313486231570000000000000000000000000000000000000000000000000000000000000000"};
  for (const char* text : texts) {
    double fast = 0;
    ASSERT_TRUE(ole_plain_double(text, &fast)) << text;
    double general = std::strtod(text, nullptr);
    EXPECT_EQ(std::memcmp(&fast, &general, sizeof fast), 0) << text;
  }
  // Past the largest double the short way gives up rather than answer a wrong value.
  std::string huge = "1" + std::string(400, '0');
  double x = 0;
  EXPECT_FALSE(ole_plain_double(huge, &x));
  ole_variant v;
  v.from_string(huge, VT_R8);
  EXPECT_EQ(v.get_type(), VT_R8);
  EXPECT_EQ(v.to_double(), std::strtod(huge.c_str(), nullptr));
}

TEST(OleFastPaths, WrittenDatesReadAsTheGeneralParserReadsThem) {
  // Days across the whole range of years, month ends, leap days, and times.
  for (int y : {100, 101, 999, 1600, 1752, 1899, 1900, 1970, 2000, 2024, 2100, 9999}) {
    for (int mo = 1; mo <= 12; ++mo) {
      for (int d : {1, 15, 28, 29, 30, 31}) {
        expect_same_as_general(date_text(y, mo, d, 0, 0, 0, false));
        expect_same_as_general(date_text(y, mo, d, 0, 0, 0, true));
        expect_same_as_general(date_text(y, mo, d, 23, 59, 59, true));
        expect_same_as_general(date_text(y, mo, d, (y + d) % 24, (mo * 7) % 60, (d * 13) % 60, true));
      }
    }
  }
  ole_date known("2010-01-01 14:05:09");
  EXPECT_EQ(known.get_kind(), ole_date::date_time);
  EXPECT_EQ(known.get_system_time().wDayOfWeek, 5);  // a Friday
  EXPECT_EQ(ole_date("2010-01-01 00:00:00").get_kind(), ole_date::date_only);
}

TEST(OleFastPaths, WrittenFormsThatAreNoRealDateGoTheGeneralWay) {
  for (const char* text : {"0099-01-01", "0050-06-07 10:00:00", "2010-02-30", "2011-02-29 10:00:00",
                           "2010-13-05", "2010-00-10", "2010-01-00", "2010-01-01 24:00:00",
                           "2010-01-01 10:60:00", "2010-01-01 10:00:60", "2010-01-01 10:00:0x",
                           "2010/01/01 10:00:00", "2010-01-01T10:00:00", "0000-00-00 10:20:30"}) {
    expect_same_as_general(text);
  }
  // The general parser still reads them its own way: month and day swapped here.
  EXPECT_EQ(ole_date("2010-13-05").to_string(), "2010-05-13");
}

TEST(OleFastPaths, RenderingMatchesTheFormattedText) {
  SYSTEMTIME t{};
  t.wYear = 7; t.wMonth = 3; t.wDay = 9; t.wHour = 4; t.wMinute = 5; t.wSecond = 6;
  EXPECT_EQ(ole_date(t).to_string(), "0007-03-09 04:05:06");
  EXPECT_EQ(ole_date(t).to_wstring(), u"0007-03-09 04:05:06");
  t.wHour = t.wMinute = t.wSecond = 0;
  EXPECT_EQ(ole_date(t).to_string(), "0007-03-09");
  // Values past four digits are written whole, as the C library writes them.
  t.wYear = 12345; t.wSecond = 7;
  EXPECT_EQ(ole_date(t).to_string(), "12345-03-09 00:00:07");
  t.wYear = 2000; t.wSecond = 100;
  EXPECT_EQ(ole_date(t).to_string(), "2000-03-09 00:00:100");
  EXPECT_EQ(ole_date("10:20:30").to_string(), "0000-00-00 10:20:30");
}

TEST(OleFastPaths, WideTextsReadTheSameWhetherNarrowedHereOrByTheCodePage) {
  struct { const char16_t* text; VARTYPE type; } cases[] = {
      {u"-12.25", VT_DECIMAL}, {u"42", VT_I4}, {u"1,5", VT_R8}, {u"2010-01-01 14:05:09", VT_DATE},
      {u"0x0A0b", VT_BINARY_ARRAY}, {u"Yes", VT_BOOL}, {u"12,34", VT_CY}};
  for (const auto& c : cases) {
    ole_variant wide, narrow;
    wide.from_wstring(c.text, c.type);
    narrow.from_string(tk_to_ansi(c.text), c.type);
    EXPECT_EQ(wide.get_type(), narrow.get_type()) << tk_to_utf8(c.text);
    EXPECT_EQ(wide.to_string(), narrow.to_string()) << tk_to_utf8(c.text);
  }
  // A text with a character outside ASCII, or with a NUL, takes the code page's way.
  ole_variant cut;
  cut.from_wstring(std::u16string(u"12\0" u"34", 5), VT_I4);
  EXPECT_EQ(cut.to_long(), 12);
  ole_variant text;
  text.from_wstring(u"caf\u00e9", VT_BSTR);
  EXPECT_EQ(text.to_wstring(), u"caf\u00e9");
}
