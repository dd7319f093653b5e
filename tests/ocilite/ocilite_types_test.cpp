// Describe, define and fetch of every supported type, as the column adapters
// do it: descriptors with Oracle's codes and sizes, values in the external
// types they ask for, NULL indicators, truncation and the end of the rows.
#include <cstring>

#include "oci_fixture.h"

namespace {

const char* const all_types_script = R"(
CREATE TABLE ALL_TYPES (
  ID NUMBER(5) NOT NULL,
  N_PLAIN NUMBER,
  N_INT INTEGER,
  N_FLOAT FLOAT,
  N_DEC NUMBER(10,2),
  N_FRAC NUMBER(5,5),
  N_NEG NUMBER(10,-2),
  N_SMALL NUMBER(2),
  VC VARCHAR2(20),
  VC_CHAR VARCHAR2(10 CHAR),
  NVC NVARCHAR2(20),
  CH CHAR(5),
  NCH NCHAR(3),
  D DATE,
  TS TIMESTAMP,
  TS_TZ TIMESTAMP(3) WITH TIME ZONE,
  TS_LTZ TIMESTAMP WITH LOCAL TIME ZONE,
  IYM INTERVAL YEAR TO MONTH,
  IDS INTERVAL DAY TO SECOND,
  R RAW(16),
  LNG LONG,
  C CLOB,
  NC NCLOB,
  B BLOB,
  BF BFILE,
  RID ROWID,
  BFL BINARY_FLOAT,
  BDB BINARY_DOUBLE
);
INSERT INTO ALL_TYPES (ID, N_PLAIN, N_INT, N_FLOAT, N_DEC, N_FRAC, N_NEG, N_SMALL, VC, VC_CHAR, NVC, CH,
  NCH, D, TS, TS_TZ, TS_LTZ, IYM, IDS, R, LNG, C, NC, B, RID, BFL, BDB)
VALUES (1, 0.5, 42, -12.25, 12345678.91, 0.12345, 12300, 99, 'Zürich', 'Ærøskøbing', 'Владивосток', 'ab',
  'ñ', TO_DATE('2010-01-01 14:05:09', 'YYYY-MM-DD HH24:MI:SS'), TIMESTAMP '1999-12-31 23:59:58.25',
  TIMESTAMP '2021-06-30 08:00:00.5 +02:00', TO_TIMESTAMP('2020-02-29 12:00:00', 'YYYY-MM-DD HH24:MI:SS'),
  INTERVAL '1-2' YEAR TO MONTH, INTERVAL '3 04:05:06.5' DAY TO SECOND, HEXTORAW('0A0B0C'),
  'long text 0012', 'clob text', 'nclob ü', HEXTORAW('DEADBEEF'), 'AAAR3sAAEAAAACXAAA', 1.5, -2.25e-3);
INSERT INTO ALL_TYPES (ID) VALUES (2);
INSERT INTO ALL_TYPES (ID, N_PLAIN, N_FLOAT, VC) VALUES (3, 1e40, -0.001, '');
)";

class types_test : public ocilite_test {
 protected:
  void SetUp() override {
    ocilite_test::SetUp();
    load(all_types_script);
    connect();
  }
  const ora_oci_calls& oci() { return client->api(); }
};

TEST_F(types_test, DescribeGivesOracleCodesSizesPrecisionAndScale) {
  oci_stmt stmt(*client);
  stmt.open("SELECT * FROM \"ALL_TYPES\"");
  ASSERT_EQ(stmt.param_count(), 28u);
  struct expected {
    const char* name;
    ub2 type;
    ub2 size;
    int precision, scale;
  };
  const expected columns[] = {
      {"ID", 2, 22, 5, 0},         {"N_PLAIN", 2, 22, 0, -127}, {"N_INT", 2, 22, 38, 0},
      {"N_FLOAT", 2, 22, 126, -127}, {"N_DEC", 2, 22, 10, 2},  {"N_FRAC", 2, 22, 5, 5},
      {"N_NEG", 2, 22, 10, -2},    {"N_SMALL", 2, 22, 2, 0},    {"VC", 1, 20, 0, 0},
      {"VC_CHAR", 1, 40, 0, 0},    {"NVC", 1, 40, 0, 0},        {"CH", 96, 5, 0, 0},
      {"NCH", 96, 6, 0, 0},        {"D", 12, 7, 0, 0},          {"TS", 187, 11, 0, 6},
      {"TS_TZ", 188, 13, 0, 3},    {"TS_LTZ", 232, 11, 0, 6},   {"IYM", 189, 5, 2, 0},
      {"IDS", 190, 11, 2, 6},      {"R", 23, 16, 0, 0},         {"LNG", 8, 0, 0, 0},
      {"C", 112, 4000, 0, 0},      {"NC", 112, 4000, 0, 0},     {"B", 113, 4000, 0, 0},
      {"BF", 114, 530, 0, 0},      {"RID", 104, 10, 0, 0},      {"BFL", 100, 4, 0, 0},
      {"BDB", 101, 8, 0, 0},
  };
  for (ub4 i = 0; i < 28; ++i) {
    described_column d = describe(*client, stmt.param(i + 1));
    SCOPED_TRACE(columns[i].name);
    EXPECT_EQ(d.name, columns[i].name);
    EXPECT_EQ(d.type, columns[i].type);
    EXPECT_EQ(d.size, columns[i].size);
    EXPECT_EQ(d.precision, columns[i].precision);
    EXPECT_EQ(d.scale, columns[i].scale);
    EXPECT_EQ(d.nullable, i != 0);  // only ID is NOT NULL
  }
  void* beyond = nullptr;
  EXPECT_EQ(oci().param_get(stmt.handle, OCI_HTYPE_STMT, client->err, &beyond, 29), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 24334);
}

TEST_F(types_test, ExpressionColumnsAreNamedAndTypedByTheirText) {
  oci_stmt stmt(*client);
  stmt.open("select count(*), upper(vc) as big, 'x' || vc from all_types");
  ASSERT_EQ(stmt.param_count(), 3u);
  described_column count = describe(*client, stmt.param(1));
  EXPECT_EQ(count.name, "COUNT(*)");
  EXPECT_EQ(count.type, SQLT_NUM);
  EXPECT_EQ(count.scale, -127);
  EXPECT_EQ(describe(*client, stmt.param(2)).name, "BIG");
  EXPECT_EQ(describe(*client, stmt.param(3)).type, SQLT_CHR);
  EXPECT_EQ(describe(*client, stmt.param(3)).name, "'X'||VC");
}

TEST_F(types_test, ConcatenationTreatsNullAsEmptyText) {
  EXPECT_EQ(query_text(*client, "SELECT ID || ':' || VC, NVL(VC, 'x') || SUBSTR(VC, 1, 1), VC || VC FROM ALL_TYPES ORDER BY ID"),
            (std::vector<std::vector<std::string>>{{"1:Zürich", "ZürichZ", "ZürichZürich"},
                                                   {"2:", "x", "<null>"},
                                                   {"3:", "x", "<null>"}}));
}

TEST_F(types_test, NumbersComeBackAsOracleCanonicalText) {
  auto rows = query_text(*client, "SELECT N_PLAIN, N_INT, N_FLOAT, N_DEC, N_FRAC, N_NEG, N_SMALL FROM ALL_TYPES ORDER BY ID");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{".5", "42", "-12.25", "12345678.91", ".12345", "12300", "99"}));
  EXPECT_EQ(rows[1][0], "<null>");
  EXPECT_EQ(rows[2][0], "1E+40");
  EXPECT_EQ(rows[2][2], "-.001");
}

TEST_F(types_test, TextColumnsKeepNonAsciiAndCharIsBlankPadded) {
  auto rows = query_text(*client, "SELECT VC, VC_CHAR, NVC, CH, NCH, LNG, RID FROM ALL_TYPES WHERE ID = 1");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Zürich", "Ærøskøbing", "Владивосток", "ab   ", "ñ  ",
                                                "long text 0012", "AAAR3sAAEAAAACXAAA"}));
  // Oracle's empty string is NULL.
  EXPECT_EQ(query_text(*client, "SELECT VC FROM ALL_TYPES WHERE ID = 3")[0][0], "<null>");
}

TEST_F(types_test, DatesAndTimestampsFetchAsTheSevenByteDateForm) {
  oci_stmt stmt(*client);
  stmt.open("SELECT D, TS, TS_TZ, TS_LTZ FROM ALL_TYPES ORDER BY ID");
  unsigned char buffers[4][7];
  sb2 indicators[4];
  OCIDefine* defines[4] = {};
  std::memset(buffers, 0, sizeof buffers);
  for (ub4 i = 0; i < 4; ++i)
    ASSERT_EQ(oci().define_by_pos(stmt.handle, &defines[i], client->err, i + 1, buffers[i], 7, SQLT_DAT,
                                  &indicators[i], nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
  ASSERT_EQ(stmt.fetch(), OCI_SUCCESS) << client->last_error().text;
  const unsigned char date[7] = {120, 110, 1, 1, 15, 6, 10};
  EXPECT_EQ(std::memcmp(buffers[0], date, 7), 0);
  const unsigned char millennium_eve[7] = {119, 199, 12, 31, 24, 60, 59};
  EXPECT_EQ(std::memcmp(buffers[1], millennium_eve, 7), 0);
  const unsigned char summer[7] = {120, 121, 6, 30, 9, 1, 1};
  EXPECT_EQ(std::memcmp(buffers[2], summer, 7), 0);
  const unsigned char leap_day[7] = {120, 120, 2, 29, 13, 1, 1};
  EXPECT_EQ(std::memcmp(buffers[3], leap_day, 7), 0);
  ASSERT_EQ(stmt.fetch(), OCI_SUCCESS);
  for (sb2 indicator : indicators) EXPECT_EQ(indicator, -1);
  ASSERT_EQ(stmt.fetch(), OCI_SUCCESS);
  EXPECT_EQ(stmt.fetch(), OCI_NO_DATA);
}

TEST_F(types_test, DatesAsTextUseTheSessionFormats) {
  auto rows = query_text(*client, "SELECT D, TS, TS_TZ FROM ALL_TYPES WHERE ID = 1");
  EXPECT_EQ(rows[0], (std::vector<std::string>{"01-JAN-10", "31-DEC-99 11.59.58.250000 PM",
                                                "30-JUN-21 08.00.00.500 AM +02:00"}));
}

TEST_F(types_test, IntervalsAsTextAndCutToTheirBuffer) {
  auto rows = query_text(*client, "SELECT IYM, IDS FROM ALL_TYPES WHERE ID = 1");
  EXPECT_EQ(rows[0], (std::vector<std::string>{"+01-02", "+03 04:05:06.500000"}));
  // The interval adapter's buffer holds 16 UTF-16 units: 15 characters and the terminator.
  oci_stmt stmt(*client);
  stmt.open("SELECT IDS FROM ALL_TYPES WHERE ID = 1");
  char16_t text[16];
  sb2 indicator = 0;
  ub2 returned_code = 0;
  OCIDefine* define = nullptr;
  ASSERT_EQ(oci().define_by_pos(stmt.handle, &define, client->err, 1, text, sizeof text, SQLT_STR, &indicator,
                                nullptr, &returned_code, OCI_DEFAULT),
            OCI_SUCCESS);
  EXPECT_EQ(stmt.fetch(), OCI_SUCCESS_WITH_INFO);
  EXPECT_EQ(utf8(text), "+03 04:05:06.50");
  EXPECT_EQ(indicator, 38);  // the whole value's length in bytes
  EXPECT_EQ(returned_code, 1406);
  EXPECT_EQ(client->last_error().number, 24345);
}

TEST_F(types_test, RawTakesTheFetchedLengthAndLongRawComesAsHexText) {
  load("CREATE TABLE BINS (R RAW(16), LR LONG RAW);"
       "INSERT INTO BINS VALUES (HEXTORAW('0A0B0C'), HEXTORAW('00FF10'));");
  oci_stmt stmt(*client);
  stmt.open("SELECT R, LR FROM BINS");
  unsigned char raw[16];
  std::memset(raw, 0xEE, sizeof raw);
  ub2 raw_length = 0;
  sb2 raw_indicator = 0, hex_indicator = 0;
  char16_t hex[32] = {};
  OCIDefine* d1 = nullptr;
  OCIDefine* d2 = nullptr;
  ASSERT_EQ(oci().define_by_pos(stmt.handle, &d1, client->err, 1, raw, 16, SQLT_BIN, &raw_indicator, &raw_length,
                                nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(oci().define_by_pos(stmt.handle, &d2, client->err, 2, hex, sizeof hex, SQLT_STR, &hex_indicator,
                                nullptr, nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(stmt.fetch(), OCI_SUCCESS);
  EXPECT_EQ(raw_length, 3);
  EXPECT_EQ(raw[0], 0x0A);
  EXPECT_EQ(raw[2], 0x0C);
  EXPECT_EQ(raw[3], 0xEE);  // nothing written beyond the value
  EXPECT_EQ(utf8(hex), "00FF10");
}

TEST_F(types_test, IntegersDoublesAndBinaryFloatsAsNumbers) {
  oci_stmt stmt(*client);
  stmt.open("SELECT ID, N_DEC, BFL, BDB, N_PLAIN FROM ALL_TYPES WHERE ID = 1");
  int32_t id = 0;
  int64_t truncated = 0;
  float single = 0;
  double dbl = 0, plain = 0;
  OCIDefine* d[5] = {};
  ASSERT_EQ(oci().define_by_pos(stmt.handle, &d[0], client->err, 1, &id, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
  ASSERT_EQ(oci().define_by_pos(stmt.handle, &d[1], client->err, 2, &truncated, 8, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
  ASSERT_EQ(oci().define_by_pos(stmt.handle, &d[2], client->err, 3, &single, 4, SQLT_BFLOAT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
  ASSERT_EQ(oci().define_by_pos(stmt.handle, &d[3], client->err, 4, &dbl, 8, SQLT_BDOUBLE, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
  ASSERT_EQ(oci().define_by_pos(stmt.handle, &d[4], client->err, 5, &plain, 8, SQLT_FLT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
  ASSERT_EQ(stmt.fetch(), OCI_SUCCESS) << client->last_error().text;
  EXPECT_EQ(id, 1);
  EXPECT_EQ(truncated, 12345678);
  EXPECT_FLOAT_EQ(single, 1.5f);
  EXPECT_DOUBLE_EQ(dbl, -2.25e-3);
  EXPECT_DOUBLE_EQ(plain, 0.5);
  // As text, binary floating point has Oracle's own form.
  EXPECT_EQ(query_text(*client, "SELECT BFL, BDB FROM ALL_TYPES WHERE ID = 1")[0],
            (std::vector<std::string>{"1.5E+000", "-2.25E-003"}));
}

TEST_F(types_test, NullWithoutIndicatorAndOverflowAreErrors) {
  oci_stmt stmt(*client);
  stmt.open("SELECT N_INT FROM ALL_TYPES ORDER BY ID DESC");
  int8_t small = 0;
  OCIDefine* d = nullptr;
  ASSERT_EQ(oci().define_by_pos(stmt.handle, &d, client->err, 1, &small, 1, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
  EXPECT_EQ(stmt.fetch(), OCI_ERROR);  // row 3: NULL and no indicator
  EXPECT_EQ(client->last_error().number, 1405);
  oci_stmt big(*client);
  big.open("SELECT N_DEC FROM ALL_TYPES WHERE ID = 1");
  ASSERT_EQ(oci().define_by_pos(big.handle, &d, client->err, 1, &small, 1, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
  EXPECT_EQ(big.fetch(), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 1455);
  oci_stmt beyond(*client);
  beyond.open("SELECT ID FROM ALL_TYPES");
  ASSERT_EQ(oci().define_by_pos(beyond.handle, &d, client->err, 2, &small, 1, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
  EXPECT_EQ(beyond.fetch(), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 1007);
}

TEST_F(types_test, CountWrappersAsTheSessionRunsThem) {
  load("CREATE TABLE \"Mixed case\" (A NUMBER); INSERT INTO \"Mixed case\" VALUES (1); "
       "INSERT INTO \"Mixed case\" VALUES (2);");
  auto count = [&](const std::string& sql, sword expected_status = OCI_SUCCESS) {
    oci_stmt stmt(*client);
    EXPECT_EQ(stmt.prepare(sql), OCI_SUCCESS);
    int32_t value = 0;
    OCIDefine* d = nullptr;
    EXPECT_EQ(oci().define_by_pos(stmt.handle, &d, client->err, 1, &value, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
    EXPECT_EQ(stmt.execute(1), expected_status) << client->last_error().text;
    return value;
  };
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"Mixed case\""), 2);
  EXPECT_EQ(count("SELECT COUNT(*) FROM \"ALL_TYPES\""), 3);
  EXPECT_EQ(count("SELECT COUNT(*) FROM (select id from all_types where n_plain is not null)"), 2);
  count("SELECT COUNT(*) FROM \"MIXED CASE\"", OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-00942: table or view does not exist");
  // A one-iteration execute of an empty query reports the end at once.
  EXPECT_EQ(count("SELECT ID FROM ALL_TYPES WHERE ID > 100", OCI_NO_DATA), 0);
}

// The result set's protocol: describe on a scratch statement, then prepare
// the same text again, define every column the way its adapter does, execute
// with no rows, fetch row by row, and free the defines before the statement.
TEST_F(types_test, DescribeThenDefineEveryColumnAsTheAdaptersDo) {
  const std::string sql = "SELECT * FROM \"ALL_TYPES\"";
  std::vector<described_column> columns;
  {
    oci_stmt scratch(*client);
    scratch.open(sql);
    for (ub4 i = 1; i <= scratch.param_count(); ++i) columns.push_back(describe(*client, scratch.param(i)));
  }
  oci_stmt stmt(*client);
  ASSERT_EQ(stmt.prepare(sql), OCI_SUCCESS);
  std::vector<std::vector<char>> buffers(columns.size());
  std::vector<sb2> indicators(columns.size(), 0);
  std::vector<OCIDefine*> defines(columns.size(), nullptr);
  std::vector<OCILobLocator*> locators(columns.size(), nullptr);
  for (size_t i = 0; i < columns.size(); ++i) {
    const described_column& c = columns[i];
    ub4 position = (ub4)i + 1;
    auto define = [&](void* buffer, sb4 size, ub2 type) {
      ASSERT_EQ(oci().define_by_pos(stmt.handle, &defines[i], client->err, position, buffer, size, type,
                                    &indicators[i], nullptr, nullptr, OCI_DEFAULT),
                OCI_SUCCESS);
    };
    switch (c.type) {
      case SQLT_NUM: buffers[i].resize(510); define(buffers[i].data(), 510, SQLT_STR); break;
      case SQLT_CHR: case SQLT_AFC:
        buffers[i].resize(2 * c.size + 2);
        define(buffers[i].data(), 2 * c.size + 2, SQLT_STR);
        break;
      case SQLT_LNG: buffers[i].resize(2000000); define(buffers[i].data(), 2000000, SQLT_STR); break;
      case SQLT_RDD: buffers[i].resize(510); define(buffers[i].data(), 510, SQLT_STR); break;
      case SQLT_INTERVAL_YM: case SQLT_INTERVAL_DS: buffers[i].resize(32); define(buffers[i].data(), 32, SQLT_STR); break;
      case SQLT_DAT: case SQLT_TIMESTAMP: case SQLT_TIMESTAMP_TZ: case SQLT_TIMESTAMP_LTZ:
        buffers[i].resize(7);
        define(buffers[i].data(), 7, SQLT_DAT);
        break;
      case SQLT_BIN: buffers[i].resize(c.size); define(buffers[i].data(), c.size, SQLT_BIN); break;
      case SQLT_CLOB: case SQLT_BLOB:
        ASSERT_EQ(oci().descriptor_alloc(client->env, reinterpret_cast<void**>(&locators[i]), OCI_DTYPE_LOB, 0, nullptr), OCI_SUCCESS);
        define(&locators[i], -1, c.type);
        break;
      case SQLT_IBFLOAT: case SQLT_IBDOUBLE: buffers[i].resize(8); define(buffers[i].data(), 8, SQLT_BDOUBLE); break;
      default: break;  // BFILE: nothing is bound
    }
  }
  ASSERT_EQ(stmt.execute(0), OCI_SUCCESS) << client->last_error().text;
  auto text = [&](size_t i) { return utf8(reinterpret_cast<const char16_t*>(buffers[i].data())); };
  // The day-to-second interval does not fit its 16 units: reported, not an error.
  ASSERT_EQ(stmt.fetch(), OCI_SUCCESS_WITH_INFO) << client->last_error().text;
  EXPECT_EQ(text(0), "1");
  EXPECT_EQ(text(1), ".5");
  EXPECT_EQ(text(8), "Zürich");
  EXPECT_EQ(text(10), "Владивосток");
  EXPECT_EQ(text(17), "+01-02");
  EXPECT_EQ(text(18), "+03 04:05:06.50");  // cut to 15 characters
  EXPECT_EQ(text(20), "long text 0012");
  EXPECT_EQ(text(25), "AAAR3sAAEAAAACXAAA");
  EXPECT_EQ((unsigned char)buffers[13][0], 120);
  double binary_double = 0;
  std::memcpy(&binary_double, buffers[27].data(), 8);
  EXPECT_DOUBLE_EQ(binary_double, -2.25e-3);
  ub4 length = 0;
  EXPECT_EQ(oci().lob_get_length(client->svc, client->err, locators[21], &length), OCI_SUCCESS);
  EXPECT_EQ(length, 9u);  // 'clob text'
  ASSERT_EQ(stmt.fetch(), OCI_SUCCESS);  // row 2: NULL everywhere but ID
  for (size_t i = 1; i < columns.size(); ++i) {
    if (defines[i]) {
      EXPECT_EQ(indicators[i], -1) << columns[i].name;
    }
  }
  EXPECT_EQ(stmt.fetch(), OCI_SUCCESS);
  EXPECT_EQ(stmt.fetch(), OCI_NO_DATA);
  for (size_t i = 0; i < columns.size(); ++i) {
    if (defines[i]) {
      EXPECT_EQ(oci().handle_free(defines[i], OCI_HTYPE_DEFINE), OCI_SUCCESS);
    }
    if (locators[i]) {
      EXPECT_EQ(oci().descriptor_free(locators[i], OCI_DTYPE_LOB), OCI_SUCCESS);
    }
  }
}

TEST_F(types_test, BfileColumnIsDescribedButCannotBeFetchedAsText) {
  auto check = query_text(*client, "SELECT ID FROM ALL_TYPES WHERE BF IS NULL ORDER BY ID");
  EXPECT_EQ(check.size(), 3u);
  oci_stmt stmt(*client);
  stmt.open("SELECT BF FROM ALL_TYPES");
  EXPECT_EQ(describe(*client, stmt.param(1)).type, SQLT_BFILEE);
}

}  // namespace

TEST_F(types_test, PrimaryKeyColumnsAreDescribedNotNull) {
  load("CREATE TABLE KEYED (A NUMBER(4) CONSTRAINT KEYED_PK PRIMARY KEY, B VARCHAR2(5), C NUMBER(2),"
       " CONSTRAINT KEYED_UQ UNIQUE (C));");
  oci_stmt stmt(*client);
  stmt.open("SELECT * FROM \"KEYED\"");
  EXPECT_FALSE(describe(*client, stmt.param(1)).nullable);  // the key's column, without NOT NULL written
  EXPECT_TRUE(describe(*client, stmt.param(2)).nullable);
  EXPECT_TRUE(describe(*client, stmt.param(3)).nullable);   // a unique key does not refuse NULL
}
