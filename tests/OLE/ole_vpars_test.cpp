#include <gtest/gtest.h>

#include "OLE/ole_vari.h"

namespace {
ole_variant parsed(const std::string& text, VARTYPE type) {
  ole_variant v;
  v.from_string(text, type);
  return v;
}

std::vector<BYTE> bytes_of(const ole_variant& v) {
  const BYTE* data = nullptr;
  size_t n = v.get_bytes(&data);
  return n ? std::vector<BYTE>(data, data + n) : std::vector<BYTE>();
}
}  // namespace

TEST(OleVariantParse, EmptyTextIsNoValueExceptForStrings) {
  for (VARTYPE type : std::initializer_list<VARTYPE>{VT_I2, VT_I4, VT_R8, VT_CY, VT_DECIMAL, VT_DATE, VT_BOOL, VT_I8, VT_BINARY_ARRAY}) {
    ole_variant v("previous value");
    v.from_string("", type);
    EXPECT_EQ(v.get_type(), VT_EMPTY) << type;
  }
  ole_variant text = parsed("", VT_BSTR);
  EXPECT_EQ(text.get_type(), VT_BSTR);
  EXPECT_EQ(text.to_wstring(), u"");
}

TEST(OleVariantParse, IntegersReadLikeAtoiInRange) {
  EXPECT_EQ(parsed(" 42abc", VT_I4).to_long(), 42);
  EXPECT_EQ(parsed("+17", VT_I2).to_long(), 17);
  EXPECT_EQ(parsed("abc", VT_I4).to_long(), 0);
  EXPECT_EQ(parsed("abc", VT_I4).get_type(), VT_I4);
  EXPECT_EQ(parsed("1.9", VT_I4).to_long(), 1);
  EXPECT_EQ(parsed("-32768", VT_I2).to_long(), -32768);
  EXPECT_EQ(parsed("-128", VT_I1).to_long(), -128);
  EXPECT_EQ(parsed("255", VT_UI1).to_long(), 255);
  EXPECT_EQ(parsed("65535", VT_UI2).to_long(), 65535);
  EXPECT_EQ(parsed("4294967295", VT_UI4).to_string(), "4294967295");
  EXPECT_EQ(parsed("-2147483648", VT_I4).to_long(), INT32_MIN);
  EXPECT_EQ(parsed("-9223372036854775808", VT_I8).get_i8(), INT64_MIN);
  EXPECT_EQ(parsed("18446744073709551615", VT_UI8).get_ui8(), UINT64_MAX);
  EXPECT_EQ(parsed("x", VT_UI8).get_ui8(), 0u);
}

TEST(OleVariantParse, IntegersOutOfTheirTypesRangeGiveNoValue) {
  const struct { const char* text; VARTYPE type; } cases[] = {
      {"32768", VT_I2}, {"-32769", VT_I2}, {"128", VT_I1}, {"-129", VT_I1},
      {"256", VT_UI1}, {"-1", VT_UI1}, {"65536", VT_UI2}, {"3000000000", VT_I4},
      {"-2147483649", VT_I4}, {"4294967296", VT_UI4}, {"-1", VT_UI4},
      {"9223372036854775808", VT_I8}, {"18446744073709551616", VT_UI8}, {"-1", VT_UI8},
      {"99999999999999999999999999", VT_I8}};
  for (const auto& c : cases) {
    EXPECT_EQ(parsed(c.text, c.type).get_type(), VT_EMPTY) << c.text << " as " << c.type;
  }
}

TEST(OleVariantParse, RealsAndMoneyTakeACommaForThePoint) {
  EXPECT_DOUBLE_EQ(parsed("1,5", VT_R8).to_double(), 1.5);
  EXPECT_FLOAT_EQ(static_cast<float>(parsed("-2,25", VT_R4).to_double()), -2.25f);
  EXPECT_DOUBLE_EQ(parsed("junk", VT_R8).to_double(), 0.0);
  ole_variant money = parsed("12,34", VT_CY);
  ASSERT_EQ(money.get_type(), VT_CY);
  EXPECT_EQ(money.get_variant().cyVal.int64, 123400);
  EXPECT_EQ(money.to_string(), "12.34");
  ole_variant decimal = parsed("12,34", VT_DECIMAL);
  ASSERT_EQ(decimal.get_type(), VT_DECIMAL);
  EXPECT_EQ(decimal.to_string(), "12.34");
  EXPECT_EQ(parsed("abc", VT_CY).get_type(), VT_EMPTY);
  EXPECT_EQ(parsed("1.2.3", VT_DECIMAL).get_type(), VT_EMPTY);
}

TEST(OleVariantParse, BinaryIsHexadecimalPairs) {
  EXPECT_EQ(bytes_of(parsed("0x0A0b", VT_BINARY_ARRAY)), (std::vector<BYTE>{0x0A, 0x0B}));
  ole_variant blob = parsed("0XFF00", VT_BLOB);
  EXPECT_EQ(blob.get_type(), VT_BINARY_ARRAY);
  EXPECT_EQ(bytes_of(blob), (std::vector<BYTE>{0xFF, 0x00}));
  EXPECT_EQ(bytes_of(parsed("c0de", VT_BLOB)), (std::vector<BYTE>{0xC0, 0xDE}));
  EXPECT_EQ(parsed("0A0", VT_BINARY_ARRAY).get_type(), VT_EMPTY);
  // A pair that is not hexadecimal gives no value rather than an invented byte.
  EXPECT_EQ(parsed("0x0AZZ", VT_BINARY_ARRAY).get_type(), VT_EMPTY);
  ole_variant none = parsed("0x", VT_BINARY_ARRAY);
  EXPECT_EQ(none.get_type(), VT_BINARY_ARRAY);
  EXPECT_EQ(bytes_of(none).size(), 0u);
}

TEST(OleVariantParse, BooleansByWordOrNumber) {
  EXPECT_EQ(parsed("Yes", VT_BOOL).to_long(), -1);
  EXPECT_EQ(parsed("TRUE", VT_BOOL).to_long(), -1);
  EXPECT_EQ(parsed("FALSE", VT_BOOL).to_long(), 0);
  EXPECT_EQ(parsed("no", VT_BOOL).to_long(), 0);
  EXPECT_EQ(parsed("2", VT_BOOL).to_long(), -1);
  EXPECT_EQ(parsed("abc", VT_BOOL).to_long(), 0);
  EXPECT_EQ(parsed("yesterday", VT_BOOL).to_long(), 0);
  EXPECT_EQ(parsed("4294967296", VT_BOOL).to_long(), -1);  // no wrap to zero
}

TEST(OleVariantParse, DatesAreValidOrNothing) {
  ole_variant d = parsed("2011-03-04 05:06:07", VT_DATE);
  ASSERT_EQ(d.get_type(), VT_DATE);
  EXPECT_EQ(d.get_system_time().wYear, 2011);
  EXPECT_EQ(d.get_system_time().wSecond, 7);
  EXPECT_EQ(d.to_string(), "2011-03-04 05:06:07");
  EXPECT_EQ(parsed("20110304", VT_DATE).to_string(), "2011-03-04");
  // Before day zero the whole part is negative and the fraction still counts forward.
  EXPECT_DOUBLE_EQ(parsed("1899-12-29 06:00:00", VT_DATE).get_variant().date, -1.25);
  // A clock time keeps its empty date in the record and renders as a time.
  ole_variant clock = parsed("10:20:30", VT_DATE);
  ASSERT_EQ(clock.get_type(), VT_DATE);
  EXPECT_EQ(clock.get_system_time().wYear, 0);
  EXPECT_EQ(clock.to_string(), "0000-00-00 10:20:30");
  EXPECT_EQ(parsed("2011", VT_DATE).get_type(), VT_EMPTY);
  EXPECT_EQ(parsed("20111304050607", VT_DATE).get_type(), VT_EMPTY);
}

TEST(OleVariantParse, OtherTypesGoThroughTheAutomationLayer) {
  ole_variant text = parsed("abc", VT_BSTR);
  EXPECT_EQ(text.to_wstring(), u"abc");
  ole_variant machine_int = parsed(" 5 ", VT_INT);
  EXPECT_EQ(machine_int.get_type(), VT_INT);
  EXPECT_EQ(machine_int.to_long(), 5);
  EXPECT_THROW(parsed("5", VT_ERROR), ole_type_exception);
  // The string made on the way is released when the change is refused.
  ole_variant v(std::vector<BYTE>{1});
  EXPECT_THROW(v.from_string("abc", VT_BLOB_OBJECT), ole_type_exception);
  EXPECT_EQ(v.get_type(), VT_EMPTY);
  try {
    v.from_string("abc", VT_UNKNOWN);
    ADD_FAILURE() << "no exception";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.text(), "The operating type is not supported yet");
    EXPECT_EQ(e.level(), 0);
  }
}

TEST(OleVariantParse, WideTextIsStoredAsItIsForStrings) {
  ole_variant lone;
  lone.from_wstring(std::u16string(1, char16_t(0xD800)), VT_BSTR);
  EXPECT_EQ(lone.to_wstring(), std::u16string(1, char16_t(0xD800)));
  ole_variant number;
  number.from_wstring(u"1,25", VT_R8);
  EXPECT_DOUBLE_EQ(number.to_double(), 1.25);
  ole_variant date;
  date.from_wstring(u"2011-03-04", VT_DATE);
  EXPECT_EQ(date.to_wstring(), u"2011-03-04");
}
