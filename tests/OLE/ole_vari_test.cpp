#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "OLE/ole_vari.h"
#include "platform/codepage.h"
#include "ole_test_util.h"

namespace {
std::vector<BYTE> bytes_of(const ole_variant& v) {
  const BYTE* data = nullptr;
  size_t n = v.get_bytes(&data);
  return n ? std::vector<BYTE>(data, data + n) : std::vector<BYTE>();
}

SYSTEMTIME make_time(int y, int mo, int d, int h, int mi, int s, int ms) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(y); t.wMonth = static_cast<WORD>(mo); t.wDay = static_cast<WORD>(d);
  t.wHour = static_cast<WORD>(h); t.wMinute = static_cast<WORD>(mi); t.wSecond = static_cast<WORD>(s);
  t.wMilliseconds = static_cast<WORD>(ms);
  return t;
}
}  // namespace

TEST(OleVariant, ConstructorsChooseTheTypeOfTheirSource) {
  EXPECT_EQ(ole_variant().get_type(), VT_EMPTY);
  EXPECT_EQ(ole_variant(true).get_variant().boolVal, VARIANT_TRUE);
  EXPECT_EQ(ole_variant(false).get_variant().boolVal, VARIANT_FALSE);
  EXPECT_EQ(ole_variant('a').get_type(), VT_I1);
  EXPECT_EQ(ole_variant(static_cast<unsigned char>(200)).get_type(), VT_UI1);
  EXPECT_EQ(ole_variant(static_cast<short>(-3)).get_type(), VT_I2);
  EXPECT_EQ(ole_variant(static_cast<unsigned short>(3)).get_type(), VT_UI2);
  EXPECT_EQ(ole_variant(3).get_type(), VT_I4);
  EXPECT_EQ(ole_variant(3u).get_type(), VT_UI4);
  EXPECT_EQ(ole_variant(2.5f).get_type(), VT_R4);
  EXPECT_EQ(ole_variant(2.5).get_type(), VT_R8);
  ole_variant hyper(static_cast<int64_t>(INT64_MIN));
  EXPECT_EQ(hyper.get_type(), VT_I8);
  EXPECT_EQ(hyper.get_i8(), INT64_MIN);
  ole_variant uhyper(static_cast<uint64_t>(UINT64_MAX));
  EXPECT_EQ(uhyper.get_type(), VT_UI8);
  EXPECT_EQ(uhyper.get_ui8(), UINT64_MAX);
  // A narrow literal is text, not a bool.
  EXPECT_EQ(ole_variant("abc").get_type(), VT_BSTR);
  EXPECT_EQ(ole_variant(u"abc").to_wstring(), u"abc");
}

TEST(OleVariant, DateKeepsItsMillisecondsBesideTheDateNumber) {
  ole_variant v(make_time(2011, 3, 4, 5, 6, 7, 890));
  EXPECT_EQ(v.get_type(), VT_DATE);
  EXPECT_EQ(v.get_system_time().wMilliseconds, 890);
  EXPECT_GT(v.get_variant().date, 40606.0);  // 2011-03-04 is day 40606
  EXPECT_LT(v.get_variant().date, 40607.0);
  EXPECT_EQ(v.to_string(), "2011-03-04 05:06:07");
  ole_variant midnight(make_time(2011, 3, 4, 0, 0, 0, 0));
  EXPECT_EQ(midnight.to_string(), "2011-03-04");
  EXPECT_DOUBLE_EQ(midnight.get_variant().date, 40606.0);
  // Handed back by an engine as a VARIANT, the record is filled again.
  ole_variant back(v.get_variant());
  EXPECT_EQ(back.to_string(), "2011-03-04 05:06:07");
}

TEST(OleVariant, TextRenderingOfNumbers) {
  EXPECT_EQ(ole_variant(true).to_string(), "1");
  EXPECT_EQ(ole_variant(false).to_string(), "0");
  EXPECT_EQ(ole_variant(1.5).to_string(), "1.500000000000000e+00");
  EXPECT_EQ(ole_variant(-0.25f).to_string(), "-2.500000e-01");
  EXPECT_EQ(ole_variant(static_cast<signed char>(-5)).to_string(), "-5");
  EXPECT_EQ(ole_variant(static_cast<unsigned char>(255)).to_string(), "255");
  EXPECT_EQ(ole_variant(static_cast<short>(-32768)).to_string(), "-32768");
  EXPECT_EQ(ole_variant(static_cast<unsigned short>(65535)).to_string(), "65535");
  EXPECT_EQ(ole_variant(INT_MIN).to_string(), "-2147483648");
  EXPECT_EQ(ole_variant(4294967295u).to_string(), "4294967295");
  EXPECT_EQ(ole_variant(static_cast<int64_t>(INT64_MIN)).to_string(), "-9223372036854775808");
  EXPECT_EQ(ole_variant(static_cast<uint64_t>(UINT64_MAX)).to_wstring(), u"18446744073709551615");
  CY cy;
  cy.int64 = 123400;
  EXPECT_EQ(ole_variant(cy).to_string(), "12.34");
  DECIMAL dec{};
  dec.Lo64 = 12345;
  dec.scale = 2;
  dec.sign = DECIMAL_NEG;
  ole_variant decimal(dec);
  EXPECT_EQ(decimal.get_type(), VT_DECIMAL);
  EXPECT_EQ(decimal.to_string(), "-123.45");
  EXPECT_EQ(ole_variant().to_string(), "");
}

TEST(OleVariant, BinaryRendersAsHexAndIsCutAt327680Bytes) {
  std::vector<BYTE> small{0x00, 0xAB, 0x0F};
  EXPECT_EQ(ole_variant(small).to_string(), "0x00AB0F");
  EXPECT_EQ(ole_variant(std::vector<BYTE>()).to_string(), "");
  std::vector<BYTE> big(400000, 0x5A);
  big[327679] = 0xC3;
  std::string text = ole_variant(big).to_string();
  ASSERT_EQ(text.size(), 2u + 655360u);
  EXPECT_EQ(text.substr(0, 4), "0x5A");
  EXPECT_EQ(text.substr(text.size() - 2), "C3");
}

TEST(OleVariant, ReadingAsNumbers) {
  EXPECT_EQ(ole_variant(true).to_long(), -1);
  EXPECT_EQ(ole_variant(-2.7).to_long(), -2);
  EXPECT_EQ(ole_variant(1e20).to_long(), INT32_MIN);  // out of range: the x86 answer, no UB
  EXPECT_EQ(ole_variant(static_cast<signed char>(-1)).to_long(), -1);
  EXPECT_EQ(ole_variant(static_cast<unsigned short>(65535)).to_long(), 65535);
  EXPECT_EQ(ole_variant(static_cast<int64_t>(0x100000005LL)).to_long(), 5);
  EXPECT_EQ(ole_variant().to_long(), 0);
  EXPECT_DOUBLE_EQ(ole_variant(0xFFFFFFFFu).to_double(), 4294967295.0);
  EXPECT_DOUBLE_EQ(ole_variant(static_cast<short>(-7)).to_double(), -7.0);
  CY cy;
  cy.int64 = 25000;
  EXPECT_DOUBLE_EQ(ole_variant(cy).to_double(), 2.5);
  // 64-bit values are read whole, not by their low 32 bits.
  EXPECT_DOUBLE_EQ(ole_variant(static_cast<int64_t>(5000000000LL)).to_double(), 5e9);
  EXPECT_DOUBLE_EQ(ole_variant(static_cast<uint64_t>(3000000000ULL)).to_double(), 3e9);
  EXPECT_TRUE(raises_assertion_from("ole_var", [] { ole_variant("12").to_long(); }));
  EXPECT_TRUE(raises_assertion_from("ole_var", [&] { ole_variant(cy).to_long(); }));
  EXPECT_TRUE(raises_assertion_from("ole_var", [] { ole_variant("1.5").to_double(); }));
  EXPECT_TRUE(raises_assertion_from("ole_var", [] { ole_variant(std::vector<BYTE>{1}).to_double(); }));
}

TEST(OleVariant, BytesAreReadOnlyFromByteArrays) {
  EXPECT_EQ(bytes_of(ole_variant()), std::vector<BYTE>());
  EXPECT_EQ(bytes_of(ole_variant(std::vector<BYTE>{1, 2, 3})), (std::vector<BYTE>{1, 2, 3}));
  EXPECT_TRUE(raises_assertion_from("ole_var", [] { bytes_of(ole_variant(5)); }));
  EXPECT_TRUE(raises_assertion_from("ole_var", [] {
    ole_variant v;
    v.attach_binary(3, nullptr);
  }));
}

TEST(OleVariant, ArraysAreResizedInPlaceKeepingTheirStart) {
  ole_variant v(std::vector<BYTE>{9, 8, 7, 6});
  v.allocate_safe_array(2);
  EXPECT_EQ(bytes_of(v), (std::vector<BYTE>{9, 8}));
  v.allocate_safe_array(3);
  EXPECT_EQ(bytes_of(v).size(), 3u);
  EXPECT_EQ(bytes_of(v)[1], 8);
  ole_variant text("abc");
  text.allocate_safe_array(0);
  EXPECT_EQ(text.get_type(), VT_BINARY_ARRAY);
  EXPECT_EQ(bytes_of(text).size(), 0u);
}

TEST(OleVariant, CopiesOwnTheirOwnStringsAndArrays) {
  ole_variant binary(std::vector<BYTE>{1, 2, 3});
  ole_variant copy(binary);
  const BYTE* a = nullptr;
  const BYTE* b = nullptr;
  binary.get_bytes(&a);
  copy.get_bytes(&b);
  EXPECT_NE(a, b);
  binary.attach_binary(std::vector<BYTE>{4});
  EXPECT_EQ(bytes_of(copy), (std::vector<BYTE>{1, 2, 3}));

  ole_variant text(u"first");
  ole_variant other(text);
  text.attach_wstring(u"second");
  EXPECT_EQ(other.to_wstring(), u"first");
  EXPECT_NE(text.get_variant().bstrVal, other.get_variant().bstrVal);

  ole_variant hyper(static_cast<int64_t>(-42));
  EXPECT_EQ(ole_variant(hyper).get_i8(), -42);

  // A text of the same length reuses the string the value owns, never one it shares.
  ole_variant row(u"row 1");
  ole_variant kept(row);
  row.attach_wstring(u"row 2");
  EXPECT_EQ(row.to_wstring(), u"row 2");
  EXPECT_EQ(kept.to_wstring(), u"row 1");
  EXPECT_EQ(SysStringLen(row.get_variant().bstrVal), 5u);
  row.attach_wstring(std::u16string_view(row.get_variant().bstrVal + 1, 4));  // its own text, shorter
  EXPECT_EQ(row.to_wstring(), u"ow 2");
  row.attach_wstring(std::u16string_view(row.get_variant().bstrVal, 4));      // its own text, same length
  EXPECT_EQ(row.to_wstring(), u"ow 2");
}

TEST(OleVariant, AssignmentReleasesWhatTheTargetHeld) {
  // Every one of these overwrites a string or an array; LeakSanitizer checks the release.
  ole_variant v(std::vector<BYTE>{1, 2});
  v = ole_variant(u"text");
  EXPECT_EQ(v.to_wstring(), u"text");
  const ole_variant hyper(static_cast<int64_t>(1) << 40);
  v = hyper;
  EXPECT_EQ(v.get_type(), VT_I8);
  EXPECT_EQ(v.get_i8(), static_cast<int64_t>(1) << 40);
  v = ole_variant("again");
  const ole_variant date(make_time(2001, 2, 3, 4, 5, 6, 7));
  v = date;
  EXPECT_EQ(v.to_string(), "2001-02-03 04:05:06");
  EXPECT_DOUBLE_EQ(v.get_variant().date, date.get_variant().date);
  v = ole_variant(std::vector<BYTE>{7});
  const ole_variant& self = v;
  v = self;
  EXPECT_EQ(bytes_of(v), std::vector<BYTE>{7});
  ole_variant moved(std::move(v));
  EXPECT_EQ(v.get_type(), VT_EMPTY);  // NOLINT: the moved-from value is documented empty
  EXPECT_EQ(bytes_of(moved), std::vector<BYTE>{7});
  moved = ole_variant(3);
  EXPECT_EQ(moved.to_long(), 3);
}

TEST(OleVariant, NarrowTextIsStoredWithItsWideLength) {
  if (platform::ansi_charset() != "UTF-8") GTEST_SKIP() << "needs a UTF-8 code page";
  // "é" is two bytes in UTF-8 but one UTF-16 unit: no NUL may pad the string.
  ole_variant v(std::string("caf\xC3\xA9"));
  EXPECT_EQ(SysStringLen(v.get_variant().bstrVal), 4u);
  EXPECT_EQ(v.to_wstring(), u"caf\u00e9");
  EXPECT_EQ(v.to_string(), "caf\xC3\xA9");
  BSTR owned = SysAllocString(u"from a BSTR");
  ole_variant copied(owned);
  SysFreeString(owned);
  EXPECT_EQ(copied.to_wstring(), u"from a BSTR");
}

TEST(OleVariant, SettingInPlaceGivesWhatAssigningAFreshValueGives) {
  // Over every kind of previous value: a string, an array, a 64-bit integer
  // and a date each leave nothing behind (the sanitizer sees any leak).
  auto previous = [](int kind) {
    switch (kind) {
      case 0: return ole_variant(u"some text");
      case 1: return ole_variant(std::vector<BYTE>{1, 2, 3});
      case 2: return ole_variant(static_cast<int64_t>(-5));
      case 3: return ole_variant(make_time(2001, 2, 3, 4, 5, 6, 7));
      default: return ole_variant();
    }
  };
  DECIMAL decimal{};
  decimal.scale = 2;
  decimal.sign = DECIMAL_NEG;
  decimal.Lo64 = 12345;
  const SYSTEMTIME when = make_time(1999, 12, 31, 23, 59, 58, 0);
  for (int kind = 0; kind <= 4; ++kind) {
    auto same = [&](const ole_variant& set, const ole_variant& fresh) {
      EXPECT_EQ(set.get_type(), fresh.get_type()) << kind;
      EXPECT_EQ(set.to_wstring(), fresh.to_wstring()) << kind;
      EXPECT_EQ(set.get_i8(), 0) << kind;
      EXPECT_EQ(set.get_ui8(), 0u) << kind;
    };
    ole_variant v = previous(kind);
    v.set(static_cast<signed char>(-7));
    same(v, ole_variant(static_cast<signed char>(-7)));
    v = previous(kind);
    v.set(static_cast<short>(-300));
    same(v, ole_variant(static_cast<short>(-300)));
    v = previous(kind);
    v.set(123456789);
    same(v, ole_variant(123456789));
    v = previous(kind);
    v.set(0.1);
    same(v, ole_variant(0.1));
    EXPECT_EQ(v.to_double(), 0.1);
    v = previous(kind);
    v.set(decimal);
    same(v, ole_variant(decimal));
    EXPECT_EQ(v.get_variant().decVal.Lo64, 12345u);
    v = previous(kind);
    v.set(when);
    same(v, ole_variant(when));
    EXPECT_EQ(v.get_variant().date, ole_variant(when).get_variant().date);
    EXPECT_EQ(v.get_system_time().wSecond, 58);
    v = previous(kind);
    v.set_empty();
    same(v, ole_variant());
  }
}

TEST(OleVariant, ADecimalChangedToDoubleIsWhatVariantChangeTypeGives) {
  const ULONGLONG magnitudes[] = {0, 1, 5, 12345, 999999999999ULL, 9007199254740993ULL, ~0ULL};
  for (ULONGLONG magnitude : magnitudes) {
    for (BYTE scale : {0, 2, 7, 28}) {
      for (BYTE sign : {BYTE{0}, BYTE{DECIMAL_NEG}}) {
        DECIMAL d{};
        d.scale = scale;
        d.sign = sign;
        d.Lo64 = magnitude;
        d.Hi32 = scale == 7 ? 3 : 0;
        ole_variant v(d);
        v.change_type(VT_R8);
        VARIANT source;
        VariantInit(&source);
        source.decVal = d;
        source.vt = VT_DECIMAL;
        VARIANT expected;
        VariantInit(&expected);
        ASSERT_EQ(VariantChangeType(&expected, &source, 0, VT_R8), S_OK);
        ASSERT_EQ(v.get_type(), VT_R8);
        EXPECT_EQ(std::memcmp(&v.get_variant().dblVal, &expected.dblVal, sizeof(double)), 0)
            << magnitude << " scale " << int(scale);
      }
    }
  }
}
