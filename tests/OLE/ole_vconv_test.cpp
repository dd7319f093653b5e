#include <gtest/gtest.h>

#include <cstring>

#include "OLE/ole_vari.h"

namespace {
ole_variant currency(int64_t scaled) {
  CY cy;
  cy.int64 = scaled;
  return ole_variant(cy);
}

ole_variant changed(ole_variant v, VARTYPE type) {
  v.change_type(type);
  return v;
}

std::vector<BYTE> bytes_of(const ole_variant& v) {
  const BYTE* data = nullptr;
  size_t n = v.get_bytes(&data);
  return n ? std::vector<BYTE>(data, data + n) : std::vector<BYTE>();
}

SYSTEMTIME make_time(int y, int mo, int d, int h, int mi, int s) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(y); t.wMonth = static_cast<WORD>(mo); t.wDay = static_cast<WORD>(d);
  t.wHour = static_cast<WORD>(h); t.wMinute = static_cast<WORD>(mi); t.wSecond = static_cast<WORD>(s);
  return t;
}
}  // namespace

TEST(OleVariantChange, NothingHappensForSameEmptyOrBinaryToBinary) {
  ole_variant empty;
  empty.change_type(VT_I4);
  EXPECT_EQ(empty.get_type(), VT_EMPTY);
  ole_variant binary(std::vector<BYTE>{1, 2});
  binary.change_type(VT_BLOB);
  EXPECT_EQ(binary.get_type(), VT_BINARY_ARRAY);
  EXPECT_EQ(bytes_of(binary), (std::vector<BYTE>{1, 2}));
}

TEST(OleVariantChange, CurrencyToHyperRoundsHalvesAwayFromZero) {
  EXPECT_EQ(changed(currency(25000), VT_I8).get_i8(), 3);
  EXPECT_EQ(changed(currency(24000), VT_I8).get_i8(), 2);
  EXPECT_EQ(changed(currency(24999), VT_I8).get_i8(), 2);
  EXPECT_EQ(changed(currency(-25000), VT_I8).get_i8(), -3);
  EXPECT_EQ(changed(currency(-24000), VT_I8).get_i8(), -2);
  EXPECT_EQ(changed(currency(25000), VT_UI8).get_ui8(), 3u);
  ole_variant dec;
  dec.from_string("7.5", VT_DECIMAL);
  EXPECT_EQ(changed(dec, VT_I8).get_i8(), 8);
}

TEST(OleVariantChange, IntoHyperFromIntegersAndReals) {
  EXPECT_EQ(changed(ole_variant(-5), VT_I8).get_i8(), -5);
  EXPECT_EQ(changed(ole_variant(true), VT_I8).get_i8(), -1);
  EXPECT_EQ(changed(ole_variant(0xFFFFFFFFu), VT_I8).get_i8(), 4294967295LL);
  EXPECT_EQ(changed(ole_variant(static_cast<unsigned char>(200)), VT_UI8).get_ui8(), 200u);
  EXPECT_EQ(changed(ole_variant(-2.9), VT_I8).get_i8(), -2);
  EXPECT_EQ(changed(ole_variant(1e19), VT_UI8).get_ui8(), 10000000000000000000ULL);
  EXPECT_THROW(changed(ole_variant("12"), VT_I8), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(make_time(2011, 3, 4, 0, 0, 0)), VT_I8), ole_cast_exception);
}

TEST(OleVariantChange, OutOfHyperKeepsTheValueOrRefuses) {
  ole_variant uint = changed(ole_variant(static_cast<int64_t>(7)), VT_UI4);
  EXPECT_EQ(uint.get_type(), VT_UINT);
  EXPECT_EQ(uint.get_variant().uintVal, 7u);
  // What a change leaves behind can be read back.
  ole_variant big = changed(ole_variant(static_cast<uint64_t>(4000000000u)), VT_UINT);
  EXPECT_EQ(big.to_string(), "4000000000");
  EXPECT_DOUBLE_EQ(big.to_double(), 4e9);
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(-9)), VT_INT).to_string(), "-9");
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(-9)), VT_INT).to_long(), -9);
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(-7)), VT_I2).to_long(), -7);
  EXPECT_EQ(changed(ole_variant(static_cast<uint64_t>(200)), VT_UI1).to_long(), 200);
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(-2147483648LL)), VT_I4).to_long(), INT32_MIN);
  // A value too wide for the target is refused instead of cut to its low bits.
  EXPECT_THROW(changed(ole_variant(static_cast<int64_t>(70000)), VT_I2), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(static_cast<int64_t>(-1)), VT_UI4), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(static_cast<uint64_t>(1) << 32), VT_I4), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(static_cast<int64_t>(128)), VT_I1), ole_cast_exception);
  // Any value but zero is true, also one whose low 16 bits are zero.
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(1)), VT_BOOL).get_variant().boolVal, VARIANT_TRUE);
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(65536)), VT_BOOL).get_variant().boolVal, VARIANT_TRUE);
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(0)), VT_BOOL).get_variant().boolVal, VARIANT_FALSE);
  EXPECT_DOUBLE_EQ(changed(ole_variant(static_cast<uint64_t>(UINT64_MAX)), VT_R8).to_double(), 18446744073709551615.0);
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(-12)), VT_BSTR).to_wstring(), u"-12");
  EXPECT_EQ(changed(ole_variant(static_cast<uint64_t>(UINT64_MAX)), VT_BSTR).to_string(), "18446744073709551615");
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(-1)), VT_UI8).get_ui8(), UINT64_MAX);
  EXPECT_THROW(changed(ole_variant(static_cast<int64_t>(1)), VT_DATE), ole_cast_exception);
}

TEST(OleVariantChange, HyperToMoneyScalesByTenThousand) {
  ole_variant money = changed(ole_variant(static_cast<int64_t>(-12)), VT_CY);
  EXPECT_EQ(money.get_variant().cyVal.int64, -120000);
  EXPECT_EQ(money.get_i8(), -120000);  // the side value follows the scaled number
  EXPECT_EQ(money.to_string(), "-12");
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(42)), VT_DECIMAL).to_string(), "42");
  // Past the currency range the money type refuses; the decimal takes it exactly.
  EXPECT_THROW(changed(ole_variant(static_cast<int64_t>(1000000000000000LL)), VT_CY), ole_cast_exception);
  EXPECT_EQ(changed(ole_variant(static_cast<int64_t>(INT64_MIN)), VT_DECIMAL).to_string(), "-9223372036854775808");
  EXPECT_EQ(changed(ole_variant(static_cast<uint64_t>(UINT64_MAX)), VT_DECIMAL).to_string(), "18446744073709551615");
}

TEST(OleVariantChange, IntoBytesAsTheyLieInMemory) {
  EXPECT_EQ(bytes_of(changed(ole_variant(static_cast<short>(0x0102)), VT_BINARY_ARRAY)), (std::vector<BYTE>{2, 1}));
  EXPECT_EQ(bytes_of(changed(ole_variant(0x01020304), VT_BLOB)), (std::vector<BYTE>{4, 3, 2, 1}));
  EXPECT_EQ(bytes_of(changed(ole_variant(static_cast<unsigned char>(9)), VT_BLOB)), std::vector<BYTE>{9});
  EXPECT_EQ(bytes_of(changed(currency(1), VT_BLOB)), (std::vector<BYTE>{1, 0, 0, 0, 0, 0, 0, 0}));
  std::vector<BYTE> real = bytes_of(changed(ole_variant(1.0), VT_BLOB));
  double back = 0;
  ASSERT_EQ(real.size(), sizeof back);
  std::memcpy(&back, real.data(), sizeof back);
  EXPECT_EQ(back, 1.0);
  EXPECT_EQ(bytes_of(changed(ole_variant(static_cast<int64_t>(-2)), VT_BLOB)),
            (std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  std::vector<BYTE> date = bytes_of(changed(ole_variant(make_time(2011, 3, 4, 5, 6, 7)), VT_BLOB));
  ASSERT_EQ(date.size(), 16u);
  EXPECT_EQ(date[0], 0xDB);  // 2011 = 0x07DB
  EXPECT_EQ(date[1], 0x07);
  ole_variant dec;
  dec.from_string("1", VT_DECIMAL);
  EXPECT_EQ(bytes_of(changed(dec, VT_BLOB)).size(), 16u);
  EXPECT_THROW(changed(ole_variant("abc"), VT_BLOB), ole_cast_exception);
}

TEST(OleVariantChange, DatesComeOnlyFromFullTextsAndGoOnlyToText) {
  ole_variant from_text = changed(ole_variant(u"2011-03-04 05:06:07"), VT_DATE);
  ASSERT_EQ(from_text.get_type(), VT_DATE);
  EXPECT_EQ(from_text.get_system_time().wMinute, 6);
  EXPECT_THROW(changed(ole_variant(u"2011-03-04 5:06:07"), VT_DATE), ole_cast_exception);
  EXPECT_THROW(changed(ole_variant(40606.0), VT_DATE), ole_cast_exception);
  EXPECT_EQ(changed(ole_variant(make_time(2011, 3, 4, 5, 6, 7)), VT_BSTR).to_wstring(), u"2011-03-04 05:06:07");
  EXPECT_THROW(changed(ole_variant(make_time(2011, 3, 4, 5, 6, 7)), VT_R8), ole_cast_exception);
}

TEST(OleVariantChange, EverythingElseThroughTheAutomationLayer) {
  EXPECT_EQ(changed(ole_variant(42), VT_BSTR).to_wstring(), u"42");
  EXPECT_EQ(changed(ole_variant(u"17"), VT_I2).to_long(), 17);
  EXPECT_EQ(changed(ole_variant(2.5), VT_CY).get_variant().cyVal.int64, 25000);
  EXPECT_THROW(changed(ole_variant(70000), VT_I2), ole_cast_exception);
  ole_variant text(u"abc");
  try {
    text.change_type(VT_I4);
    ADD_FAILURE() << "no exception";
  } catch (const ole_cast_exception& e) {
    EXPECT_EQ(e.text(), "Cannot cast from source type to destination type");
  }
  EXPECT_EQ(text.to_wstring(), u"abc");  // a refused change leaves the value as it was
  EXPECT_THROW(changed(ole_variant(std::vector<BYTE>{1}), VT_I4), ole_cast_exception);
}
