// Rows fetched in batches and handed on one at a time, and NUMBER values
// taken from Oracle's own form: every value must be the one the column's
// text would have parsed into.
#include <cstring>
#include <random>

#include "ORA/ora_excp.h"
#include "TK/tk_strin.h"
#include "tests/ORA/ora_home.h"

namespace {

// The same value: type and, for the types numbers take, the bits.
::testing::AssertionResult same_value(const ole_variant& got, const ole_variant& wanted) {
  const VARIANT& a = got.get_variant();
  const VARIANT& b = wanted.get_variant();
  if (a.vt != b.vt) return ::testing::AssertionFailure() << "type " << a.vt << " instead of " << b.vt;
  bool equal = true;
  switch (a.vt) {
    case VT_I1: equal = a.cVal == b.cVal; break;
    case VT_I2: equal = a.iVal == b.iVal; break;
    case VT_I4: equal = a.lVal == b.lVal; break;
    case VT_R8: equal = std::memcmp(&a.dblVal, &b.dblVal, sizeof(double)) == 0; break;
    case VT_DECIMAL:
      equal = a.decVal.scale == b.decVal.scale && a.decVal.sign == b.decVal.sign && a.decVal.Hi32 == b.decVal.Hi32 &&
              a.decVal.Lo64 == b.decVal.Lo64;
      break;
    case VT_EMPTY: break;
    default: equal = got.to_wstring() == wanted.to_wstring(); break;
  }
  if (equal) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << tk_to_utf8(got.to_wstring()) << " instead of "
                                       << tk_to_utf8(wanted.to_wstring());
}

// NUMBER columns of every refined type beside their own text.
const char kNumbers[] =
    "CREATE TABLE NUMS (ID NUMBER(4), PLAIN NUMBER, N2 NUMBER(2), N4 NUMBER(4), N9 NUMBER(9), N38 NUMBER(38),"
    "  N10_2 NUMBER(10,2), N5_5 NUMBER(5,5), N38_30 NUMBER(38,30));";

const char* const kPlain[] = {"0", "-.5", "1/3", "-2/3", "123456789.123456", "1E-130", "1.5E-38", "-1.5E-38",
                              "1E+125", "-1E+100", ".1", "12345678901234567", "9007199254740993", "4.35",
                              "-99999999999999.99", "1E+22", "1E-22", "123E-25", "7E+23"};
const char* const kN2[] = {"0", "99", "-99", "5", "-1"};
const char* const kN4[] = {"9999", "-9999", "100", "-100", "0"};
const char* const kN9[] = {"999999999", "-999999999", "1000000", "-7", "0"};
const char* const kN38[] = {"12345678901234567890123456789012345678", "-10000000000000000000000000000000000000",
                            "100000000000000000000", "0", "-5"};
const char* const kN10_2[] = {"12345678.91", "-.01", "0", "100", "-99999999.99"};
const char* const kN5_5[] = {".12345", "-.00001", "0", ".5", "-.99999"};
const char* const kN38_30[] = {"1/3", "1E-29", "12345678.123456789", "-.000000000000000000000000000001", "0"};

template <size_t N>
const char* pick(const char* const (&values)[N], size_t row) {
  return values[row % N];
}

}  // namespace

TEST_F(ora_source_test, NumbersReadAsTheirTextParsesIntoTheColumnsType) {
  std::string script = kNumbers;
  const size_t rows = sizeof kPlain / sizeof kPlain[0];
  for (size_t i = 0; i < rows; ++i)
    script += "INSERT INTO NUMS VALUES (" + std::to_string(i) + ", " + kPlain[i] + ", " + pick(kN2, i) + ", " +
              pick(kN4, i) + ", " + pick(kN9, i) + ", " + pick(kN38, i) + ", " + pick(kN10_2, i) + ", " +
              pick(kN5_5, i) + ", " + pick(kN38_30, i) + ");";
  open(script);
  const char* const columns[] = {"PLAIN", "N2", "N4", "N9", "N38", "N10_2", "N5_5", "N38_30"};
  std::string select = "SELECT ";
  for (const char* column : columns) select += std::string(column) + ", TO_CHAR(" + column + "), ";
  select += "ID FROM NUMS ORDER BY ID";
  ora_query_results results(0, tk_from_utf8(select));
  std::vector<VARTYPE> types;
  for (size_t c = 0; c < 8; ++c) types.push_back(results.columns()[2 * c]->get_vartype());
  EXPECT_EQ(types, (std::vector<VARTYPE>{VT_R8, VT_I1, VT_I2, VT_I4, VT_R8, VT_DECIMAL, VT_DECIMAL, VT_DECIMAL}));
  size_t count = 0;
  while (!results.is_eof()) {
    udb_record& row = *results.get_item();
    for (size_t c = 0; c < 8; ++c) {
      ole_variant wanted;
      wanted.from_wstring((row[2 * c + 1]).to_wstring(), types[c]);
      EXPECT_TRUE(same_value(row[2 * c], wanted)) << columns[c] << " = " << tk_to_utf8(row[2 * c + 1].to_wstring());
    }
    ++count;
  }
  EXPECT_EQ(count, rows);
}

TEST(OraNumberForm, UnusualFormsReadAsTheirTextWould) {
  struct unusual {
    std::vector<ub1> vnu;
    const char* text;
    VARTYPE type;
  } cases[] = {
      {{2, 0xC2, 0x03}, "200", VT_I1},           // beyond the type: no value
      {{2, 0xC3, 0x05}, "40000", VT_I2},         // likewise
      {{2, 0xC5, 0x17}, "2200000000", VT_I4},    // likewise
      {{2, 0xD5, 0x02}, "1E+40", VT_I4},         // the exponent form reads its first digit
      {{5, 0x3D, 100, 78, 56, 102}, "-123.45", VT_I2},  // negatives truncate towards zero
      {{2, 0xC0, 51}, ".5", VT_I1},
      {{2, 0xFF, 101}, "~", VT_R8},
      {{1, 0x00}, "-~", VT_R8},
      {{2, 0x80, 0x02}, "1E-130", VT_R8},
      {{2, 0x80, 0x02}, "1E-130", VT_DECIMAL},
      {{1, 0x80}, "0", VT_DECIMAL},
      {{1, 0x80}, "0", VT_R8},
      {{3, 0xCA, 13, 35}, "12340000000000000000", VT_DECIMAL},
      {{11, 0xCF, 2, 24, 46, 68, 90, 2, 24, 46, 68, 90}, "12345678901234567890000000000", VT_DECIMAL},
      {{9, 0xC8, 91, 8, 20, 93, 55, 75, 10, 94}, "9007199254740993", VT_R8},  // past 2^53
      {{7, 0xBF, 2, 24, 46, 68, 90, 2}, ".00012345678901", VT_R8},
  };
  for (const unusual& c : cases) {
    ole_variant got, wanted;
    ora_number::vnu_to_variant(c.vnu.data(), c.type, got);
    wanted.from_string(c.text, c.type);
    EXPECT_TRUE(same_value(got, wanted)) << c.text << " as " << c.type;
  }
}

TEST(OraNumberForm, RandomFormsReadAsTheirPlainTextWould) {
  std::mt19937 random(20261208);
  int compared = 0;
  for (int round = 0; round < 20000; ++round) {
    // A NUMBER of 1 to 20 base-100 digits, the first and last not zero.
    const bool negative = random() % 2;
    const int count = 1 + static_cast<int>(random() % 20);
    const int hundreds = static_cast<int>(random() % 51) - 25;
    std::vector<int> pairs(count);
    for (int& pair : pairs) pair = static_cast<int>(random() % 100);
    if (pairs.front() == 0) pairs.front() = 1 + static_cast<int>(random() % 99);
    if (pairs.back() == 0) pairs.back() = 1 + static_cast<int>(random() % 99);
    std::vector<ub1> vnu = {0, static_cast<ub1>(negative ? 62 - hundreds : hundreds + 193)};
    for (int pair : pairs) vnu.push_back(static_cast<ub1>(negative ? 101 - pair : pair + 1));
    if (negative && count < 20) vnu.push_back(102);
    vnu[0] = static_cast<ub1>(vnu.size() - 1);
    // Its plain text: the digits around the point, hundreds giving the point's place.
    std::string digits;
    for (int pair : pairs) digits += std::string(1, static_cast<char>('0' + pair / 10)) + static_cast<char>('0' + pair % 10);
    int point = 2 * hundreds + 2;  // digits before the point
    if (point <= 0) digits = std::string(static_cast<size_t>(-point), '0') + digits, point = 0;
    if (point > static_cast<int>(digits.size())) digits.append(static_cast<size_t>(point) - digits.size(), '0');
    std::string whole = digits.substr(0, static_cast<size_t>(point));
    std::string fraction = digits.substr(static_cast<size_t>(point));
    while (!whole.empty() && whole[0] == '0') whole.erase(0, 1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    std::string text = (negative ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
    if (text.size() > 40) continue;  // the exponent form, read by the general parser either way
    for (VARTYPE type : {VT_I1, VT_I2, VT_I4, VT_R8, VT_DECIMAL}) {
      ole_variant got, wanted;
      ora_number::vnu_to_variant(vnu.data(), type, got);
      wanted.from_string(text, type);
      ASSERT_TRUE(same_value(got, wanted)) << text << " as " << type;
      ++compared;
    }
  }
  EXPECT_GT(compared, 50000);
}

TEST_F(ora_source_test, BatchesHandOnEveryRowWithItsOwnNullsAndLobs) {
  std::string script = "CREATE TABLE B (ID NUMBER(9), NAME VARCHAR2(20), BODY CLOB, RAWV RAW(4), D DATE);";
  const int rows = 250;
  for (int i = 1; i <= rows; ++i) {
    std::string name = i % 7 == 0 ? "NULL" : "'name " + std::to_string(i) + "'";
    std::string body = i % 11 == 0 ? "NULL"
                       : i == 120  ? "RPAD('x', 20000, 'yz')"
                                   : "'body of row " + std::to_string(i) + "'";
    std::string raw = i % 13 == 0 ? "NULL" : "HEXTORAW('" + std::string(i % 2 ? "0A0B" : "FF") + "')";
    script += "INSERT INTO B VALUES (" + std::to_string(i) + ", " + name + ", " + body + ", " + raw +
              ", TO_DATE('" + std::to_string(1990 + i % 30) + "-" + std::to_string(1 + i % 12) + "-" +
              std::to_string(1 + i % 28) + " " + std::to_string(i % 24) + ":" + std::to_string(i % 60) +
              "', 'YYYY-MM-DD HH24:MI'));";
  }
  open(script);
  ora_query_results results(0, u"SELECT ID, NAME, BODY, RAWV, D FROM B ORDER BY ID");
  int i = 0;
  while (!results.is_eof()) {
    udb_record& row = *results.get_item();
    ++i;
    ASSERT_EQ(row[0].to_long(), i);
    if (i % 7 == 0) EXPECT_EQ(row[1].get_type(), VT_EMPTY) << i;
    else EXPECT_EQ(row[1].to_wstring(), u"name " + tk_from_utf8(std::to_string(i)));
    if (i % 11 == 0) {
      EXPECT_EQ(row[2].get_type(), VT_EMPTY) << i;
    } else if (i == 120) {
      // Longer than one read piece.
      std::u16string wanted = u"x";
      while (wanted.size() < 20000) wanted += wanted.size() % 2 ? u'y' : u'z';
      EXPECT_EQ(row[2].to_wstring(), wanted);
    } else {
      EXPECT_EQ(row[2].to_wstring(), u"body of row " + tk_from_utf8(std::to_string(i)));
    }
    const BYTE* bytes = nullptr;
    size_t length = row[3].get_bytes(&bytes);
    if (i % 13 == 0) EXPECT_EQ(row[3].get_type(), VT_EMPTY) << i;
    else if (i % 2) EXPECT_EQ(std::vector<BYTE>(bytes, bytes + length), (std::vector<BYTE>{0x0A, 0x0B})) << i;
    else EXPECT_EQ(std::vector<BYTE>(bytes, bytes + length), std::vector<BYTE>{0xFF}) << i;
    ASSERT_EQ(row[4].get_type(), VT_DATE);
    const SYSTEMTIME& when = row[4].get_system_time();
    EXPECT_EQ(when.wYear, 1990 + i % 30);
    EXPECT_EQ(when.wMonth, 1 + i % 12);
    EXPECT_EQ(when.wDay, 1 + i % 28);
    EXPECT_EQ(when.wHour, i % 24);
    EXPECT_EQ(when.wMinute, i % 60);
  }
  EXPECT_EQ(i, rows);
}

TEST_F(ora_source_test, AFetchErrorComesAtItsRowAfterTheRowsBeforeIt) {
  std::string script = "CREATE TABLE E (ID NUMBER(9), T VARCHAR2(10));";
  for (int i = 1; i <= 180; ++i)
    script += "INSERT INTO E VALUES (" + std::to_string(i) + ", '" + (i == 150 ? std::string("x") : std::to_string(i)) +
              "');";
  open(script);
  // In the order of insertion: sorting would meet the bad text before any row.
  ora_query_results results(0, u"SELECT ID, TO_NUMBER(T) FROM E");
  int read = 0;
  try {
    while (!results.is_eof()) {
      udb_record& row = *results.get_item();
      ++read;
      ASSERT_EQ(row[0].to_long(), read);
      ASSERT_EQ(row[1].to_double(), read);
    }
    ADD_FAILURE() << "no error";
  } catch (const ora_exception& e) {
    EXPECT_EQ(e.oracle_number(), 1722);
  }
  EXPECT_EQ(read, 149);
}
