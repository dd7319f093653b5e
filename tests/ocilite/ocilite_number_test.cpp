// Numbers in Oracle's own NUMBER form (SQLT_VNU, SQLT_NUM), and array
// fetches: several rows a call, NULLs and lengths per slot, the rows fetched
// before an error.
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "oci_fixture.h"
#include "ocilite/ocl_val.h"

namespace {

using bytes = std::vector<unsigned char>;

bytes number_of(const std::string& text) {
  unsigned char out[ocl::oracle_number_capacity];
  return bytes(out, out + ocl::oracle_number(text, out));
}

bytes number_of(int64_t value) {
  unsigned char out[ocl::oracle_number_capacity];
  return bytes(out, out + ocl::oracle_number(value, out));
}

TEST(OciliteOracleNumber, TextsTakeOraclesInternalForm) {
  struct known {
    const char* text;
    bytes form;
  } cases[] = {
      {"0", {0x80}},
      {"1", {0xC1, 2}},
      {"100", {0xC2, 2}},
      {"1200", {0xC2, 13}},
      {".01", {0xC0, 2}},
      {".5", {0xC0, 51}},
      {"123.45", {0xC2, 2, 24, 46}},
      {"-1", {0x3E, 100, 102}},
      {"-123.45", {0x3D, 100, 78, 56, 102}},
      {"-.001", {0x40, 91, 102}},
      {"1E+40", {0xD5, 2}},
      {"1.5E-38", {0xAE, 2, 51}},
      {"-1.5E-38", {0x51, 100, 51, 102}},
      {"1E-130", {0x80, 2}},
      {"~", {0xFF, 101}},
      {"-~", {0x00}},
  };
  for (const known& c : cases) EXPECT_EQ(number_of(c.text), c.form) << c.text;
  // Beyond NUMBER's range, and no number at all.
  EXPECT_TRUE(number_of("1E+126").empty());
  EXPECT_TRUE(number_of("abc").empty());
  EXPECT_TRUE(number_of("1..2").empty());
  // Below its smallest: zero.
  EXPECT_EQ(number_of("1E-131"), bytes{0x80});
}

TEST(OciliteOracleNumber, AWholeNumberTakesTheFormOfItsText) {
  std::vector<int64_t> values = {0, 1, -1, 7, 10, -10, 99, 100, -100, 101, 12345, -12345, 1000000, 999999999,
                                 -2147483648LL, 9007199254740993LL, std::numeric_limits<int64_t>::max(),
                                 std::numeric_limits<int64_t>::min()};
  for (int64_t power = 1; power < 1000000000000000000LL; power *= 10) {
    values.push_back(power);
    values.push_back(-power);
    values.push_back(power + 1);
  }
  char text[ocl::number_chars_capacity];
  for (int64_t v : values) EXPECT_EQ(number_of(v), number_of(std::string(text, ocl::number_chars(v, text)))) << v;
}

TEST(OciliteOracleNumber, WholeNumbersOfEveryLengthAndTrailingZerosTakeTheFormOfTheirText) {
  // Every count of base-100 digits, each with zeros inside and at its end.
  std::mt19937_64 random(20261208);
  char text[ocl::number_chars_capacity];
  for (int digits = 1; digits <= 18; ++digits) {
    for (int round = 0; round < 200; ++round) {
      int64_t v = 0;
      for (int d = 0; d < digits; ++d) v = v * 10 + static_cast<int64_t>(random() % (d == 0 ? 9 : 10)) + (d == 0);
      if (round % 3 == 1) v -= v % 10000;  // two zero pairs at the end
      if (round % 3 == 2 && digits > 4) v -= v / 100 % 100 * 100;  // a zero pair before the last
      for (int64_t signed_v : {v, -v})
        ASSERT_EQ(number_of(signed_v), number_of(std::string(text, ocl::number_chars(signed_v, text)))) << signed_v;
    }
  }
}

class number_fetch_test : public ocilite_test {
 protected:
  void SetUp() override {
    ocilite_test::SetUp();
    load("CREATE TABLE N (ID NUMBER(4) PRIMARY KEY, V NUMBER, T VARCHAR2(10));\n"
         "INSERT INTO N VALUES (1, 0, '1');\n"
         "INSERT INTO N VALUES (2, -123.45, '2');\n"
         "INSERT INTO N VALUES (3, NULL, 'x');\n"
         "INSERT INTO N VALUES (4, 1.5E-38, '4');\n"
         "INSERT INTO N VALUES (5, 123456789012345678, '5');\n"
         "INSERT INTO N VALUES (6, 1/3, '6');\n"
         "INSERT INTO N VALUES (7, -1E+100, '7');\n");
    connect();
  }
};

TEST_F(number_fetch_test, ArraysOfVnuAndNumCarryTheDigitsOfEachValuesText) {
  const ora_oci_calls& oci = client->api();
  std::vector<std::vector<std::string>> texts = query_text(*client, "SELECT V FROM N ORDER BY ID");
  ASSERT_EQ(texts.size(), 7u);
  for (ub2 external : {ub2(SQLT_VNU), ub2(SQLT_NUM)}) {
    const sb4 size = external == SQLT_VNU ? 22 : 21;
    oci_stmt stmt(*client);
    stmt.open("SELECT V FROM N ORDER BY ID");
    constexpr ub4 slots = 4;
    std::vector<unsigned char> buffer(slots * size, 0xEE);
    std::vector<sb2> indicators(slots, 7);
    std::vector<ub2> lengths(slots, 0);
    OCIDefine* define = nullptr;
    ASSERT_EQ(oci.define_by_pos(stmt.handle, &define, client->err, 1, buffer.data(), size, external,
                                indicators.data(), lengths.data(), nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    size_t row = 0;
    for (int batch = 0; batch < 2; ++batch) {
      sword status = oci.stmt_fetch(stmt.handle, client->err, slots, OCI_FETCH_NEXT, OCI_DEFAULT);
      ub4 fetched = 0;
      ASSERT_EQ(oci.attr_get(stmt.handle, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, client->err),
                OCI_SUCCESS);
      // Seven rows: a full batch, then three and the end.
      EXPECT_EQ(status, batch == 0 ? OCI_SUCCESS : OCI_NO_DATA);
      ASSERT_EQ(fetched, batch == 0 ? 4u : 3u);
      for (ub4 slot = 0; slot < fetched; ++slot, ++row) {
        const std::string& text = texts[row][0];
        if (text == "<null>") {
          EXPECT_EQ(indicators[slot], -1) << row;
          continue;
        }
        EXPECT_EQ(indicators[slot], 0) << row;
        const unsigned char* value = buffer.data() + slot * size;
        bytes expected = number_of(text);
        ASSERT_FALSE(expected.empty()) << text;
        if (external == SQLT_VNU) {
          EXPECT_EQ(value[0], expected.size()) << text;
          ++value;
        }
        EXPECT_EQ(bytes(value, value + expected.size()), expected) << text;
        EXPECT_EQ(lengths[slot], expected.size() + (external == SQLT_VNU ? 1 : 0)) << text;
      }
    }
    EXPECT_EQ(row, 7u);
  }
}

TEST_F(number_fetch_test, AnErrorMidBatchKeepsTheRowsBeforeIt) {
  const ora_oci_calls& oci = client->api();
  oci_stmt stmt(*client);
  stmt.open("SELECT TO_NUMBER(T) FROM N ORDER BY ID");
  unsigned char buffer[5][22] = {};
  sb2 indicators[5] = {};
  OCIDefine* define = nullptr;
  ASSERT_EQ(oci.define_by_pos(stmt.handle, &define, client->err, 1, buffer, 22, SQLT_VNU, indicators, nullptr,
                              nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  // The third row's text is no number.
  EXPECT_EQ(oci.stmt_fetch(stmt.handle, client->err, 5, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 1722);
  ub4 fetched = 99;
  ASSERT_EQ(oci.attr_get(stmt.handle, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, client->err),
            OCI_SUCCESS);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(bytes(buffer[0], buffer[0] + 3), (bytes{2, 0xC1, 2}));
  EXPECT_EQ(bytes(buffer[1], buffer[1] + 3), (bytes{2, 0xC1, 3}));
}

TEST_F(number_fetch_test, ABufferTooSmallForTheValueIsRefused) {
  const ora_oci_calls& oci = client->api();
  oci_stmt stmt(*client);
  stmt.open("SELECT V FROM N WHERE ID = 2");
  unsigned char buffer[4] = {};
  sb2 indicator = 0;
  OCIDefine* define = nullptr;
  ASSERT_EQ(oci.define_by_pos(stmt.handle, &define, client->err, 1, buffer, sizeof buffer, SQLT_VNU, &indicator,
                              nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  EXPECT_EQ(oci.stmt_fetch(stmt.handle, client->err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 1406);
}

}  // namespace
