// Column adapters: the type mapping, the schema each column gets, and the
// values fetched from every type, NULL included.
#include <cmath>

#include "TK/tk_strin.h"
#include "tests/ORA/ora_home.h"

namespace {

struct refined {
  int32_t precision;
  int32_t scale;
  VARTYPE type;
  int32_t final_precision;
};

// The cells of the first row, by column name.
struct first_row {
  explicit first_row(udb_recordset& rows) : rows_(rows) {
    EXPECT_FALSE(rows.is_eof());
    record = rows.get_item();
  }
  const udb_field& operator[](const std::u16string& name) const {
    for (size_t i = 0; i < record->size(); ++i)
      if ((*record)[i].name() == name) return (*record)[i];
    ADD_FAILURE() << "no cell " << tk_to_utf8(name);
    return (*record)[0];
  }
  udb_recordset& rows_;
  udb_record* record = nullptr;
};

const char kTypes[] =
    "CREATE TABLE TYPES ("
    "  N_PLAIN NUMBER, N2 NUMBER(2), N4 NUMBER(4), N9 NUMBER(9), N10 NUMBER(10), N12 NUMBER(12),"
    "  N38 NUMBER(38), I INTEGER, N10_2 NUMBER(10,2), N5_5 NUMBER(5,5), N10_M2 NUMBER(10,-2), F FLOAT,"
    "  BF BINARY_FLOAT, BD BINARY_DOUBLE,"
    "  V VARCHAR2(10), NV NVARCHAR2(20), C CHAR(3), NC NCHAR(2),"
    "  D DATE, TS TIMESTAMP(3), TSZ TIMESTAMP WITH TIME ZONE, TSL TIMESTAMP WITH LOCAL TIME ZONE,"
    "  R RAW(8), LR LONG RAW, RID ROWID, YM INTERVAL YEAR TO MONTH, DS INTERVAL DAY(3) TO SECOND(2),"
    "  CL CLOB, NCL NCLOB, BL BLOB, BF_FILE BFILE);";

}  // namespace

TEST(OraTypes, NumberPrecisionAndScaleChooseTheValueType) {
  const refined cases[] = {
      {0, 0, VT_R8, 0},         {39, 0, VT_R8, 39},      {126, 0, VT_R8, 126},   {1, 0, VT_I1, 1},
      {2, 0, VT_I1, 2},         {3, 0, VT_I2, 3},        {4, 0, VT_I2, 4},       {5, 0, VT_I4, 5},
      {9, 0, VT_I4, 9},         {10, 0, VT_R8, 10},      {38, 0, VT_R8, 38},     {10, 2, VT_DECIMAL, 10},
      {5, 5, VT_DECIMAL, 6},    {38, 38, VT_DECIMAL, 39}, {4, -2, VT_I2, 4},     {10, -2, VT_R8, 10},
      {9, -127, VT_I4, 9},
  };
  for (const refined& c : cases) {
    int32_t precision = c.precision;
    EXPECT_EQ(ora_number::refine_number_type(precision, c.scale), c.type) << c.precision << "," << c.scale;
    EXPECT_EQ(precision, c.final_precision) << c.precision << "," << c.scale;
  }
}

TEST(OraTypes, DateBytesBecomeADateWithItsCentury) {
  const BYTE noon[7] = {120, 110, 1, 1, 15, 6, 10};
  SYSTEMTIME t = ora_date::to_system_time(noon);
  EXPECT_EQ(t.wYear, 2010);
  EXPECT_EQ(t.wMonth, 1);
  EXPECT_EQ(t.wDay, 1);
  EXPECT_EQ(t.wHour, 14);
  EXPECT_EQ(t.wMinute, 5);
  EXPECT_EQ(t.wSecond, 9);
  EXPECT_EQ(t.wMilliseconds, 0);
  const BYTE old[7] = {118, 150, 12, 31, 1, 1, 1};
  t = ora_date::to_system_time(old);
  EXPECT_EQ(t.wYear, 1850);
  EXPECT_EQ(t.wHour, 0);
  const BYTE zeros[7] = {119, 101, 2, 28, 0, 0, 0};
  t = ora_date::to_system_time(zeros);
  EXPECT_EQ(t.wYear, 1901);
  EXPECT_EQ(t.wMinute, 0);
  EXPECT_EQ(ora_date::canon_dt_item(120), 20);
  EXPECT_EQ(ora_date::canon_dt_item(100), 0);
  EXPECT_EQ(ora_date::canon_dt_item(95), 5);
}

TEST_F(ora_source_test, EveryTypeGetsItsSchemaColumn) {
  open(kTypes);
  std::unique_ptr<ora_table> t = open_table(*db, u"TYPES");
  struct expected {
    const char16_t* name;
    VARTYPE type;
    uint32_t size;
    int32_t kind;
  };
  const expected columns[] = {
      {u"N_PLAIN", VT_R8, 0, 0},      {u"N2", VT_I1, 0, 0},        {u"N4", VT_I2, 0, 0},
      {u"N9", VT_I4, 0, 0},           {u"N10", VT_R8, 0, 0},       {u"N12", VT_R8, 0, 0},
      {u"N38", VT_R8, 0, 0},          {u"I", VT_R8, 0, 0},         {u"N10_2", VT_DECIMAL, 0, 0x0A02},
      {u"N5_5", VT_DECIMAL, 0, 0x0605}, {u"N10_M2", VT_R8, 0, 0},  {u"F", VT_R8, 0, 0},
      {u"BF", VT_R4, 0, 0},           {u"BD", VT_R8, 0, 0},        {u"V", VT_BSTR, 10, 0},
      {u"NV", VT_BSTR, 20, 0},        {u"C", VT_BSTR, 3, 0},       {u"NC", VT_BSTR, 2, 0},
      {u"D", VT_DATE, 0, 1},          {u"TS", VT_DATE, 0, 1},      {u"TSZ", VT_DATE, 0, 1},
      {u"TSL", VT_DATE, 0, 1},        {u"R", VT_BLOB, 8, 0},       {u"LR", VT_BLOB, 1000000, 0},
      {u"RID", VT_BSTR, 255, 0},      {u"YM", VT_BSTR, 16, 0},     {u"DS", VT_BSTR, 16, 0},
      {u"CL", VT_BSTR, 0, 0},         {u"NCL", VT_BSTR, 0, 0},     {u"BL", VT_BLOB, 0, 0},
      {u"BF_FILE", VT_BSTR, 18, 0},
  };
  ASSERT_EQ(t->schema().size(), std::size(columns));
  for (size_t i = 0; i < std::size(columns); ++i) {
    const t_ftd& f = t->schema()[i];
    EXPECT_EQ(f.name, columns[i].name);
    EXPECT_EQ(f.type, columns[i].type) << tk_to_utf8(f.name);
    EXPECT_EQ(f.size, columns[i].size) << tk_to_utf8(f.name);
    EXPECT_EQ(f.default_kind, columns[i].kind) << tk_to_utf8(f.name);
    // Unsupported columns are never NULL: every row reads the same text.
    EXPECT_EQ(f.not_null, f.name == u"BF_FILE") << tk_to_utf8(f.name);
    EXPECT_EQ(f.default_value.get_type(), VT_EMPTY);
  }
  EXPECT_EQ(t->record_count(), 0);
  EXPECT_TRUE(t->is_eof());
}

TEST_F(ora_source_test, ValuesOfEveryTypeArriveWhole) {
  open(std::string(kTypes) +
       "INSERT INTO TYPES VALUES (0.1, -99, 9999, 999999999, 9999999999, 123456789012,"
       "  -98765432109876, 4294967296, 12345678.91, 0.12345, 123400, 2.5,"
       "  1.5, 68.25, 'abc', 'Zürich', 'X', 'ÅØ',"
       "  TO_DATE('2010-01-01 14:05:09', 'YYYY-MM-DD HH24:MI:SS'), TIMESTAMP '1850-06-30 07:08:09.123',"
       "  TIMESTAMP '2023-01-09 08:00:00 +01:00', TIMESTAMP '1999-12-31 23:59:59',"
       "  HEXTORAW('A1B2'), HEXTORAW('DEADBEEF00'), 'AAAR3sAAEAAAACXAAA', INTERVAL '1-6' YEAR TO MONTH,"
       "  INTERVAL '123 06:30:00.25' DAY TO SECOND,"
       "  RPAD('Ünïcödé – ', 70000, 'Kapitel § 第一章; '), 'Résumé', HEXTORAW(RPAD('00FF', 140000, '7F80')),"
       "  BFILENAME('DIR', 'a.pdf'));");
  std::unique_ptr<ora_table> t = open_table(*db, u"TYPES");
  ASSERT_EQ(t->record_count(), 1);
  first_row row(*t);
  ASSERT_NE(row.record, nullptr);
  ASSERT_EQ(row.record->size(), t->schema().size());
  // Cells take the column's name and size.
  EXPECT_EQ(row[u"V"].size(), 10u);
  EXPECT_EQ(row[u"NV"].size(), 20u);

  EXPECT_EQ(row[u"N_PLAIN"].get_type(), VT_R8);
  EXPECT_DOUBLE_EQ(row[u"N_PLAIN"].to_double(), 0.1);
  EXPECT_EQ(row[u"N2"].get_type(), VT_I1);
  EXPECT_EQ(row[u"N2"].to_wstring(), u"-99");
  EXPECT_EQ(row[u"N4"].get_type(), VT_I2);
  EXPECT_EQ(row[u"N4"].to_wstring(), u"9999");
  EXPECT_EQ(row[u"N9"].get_type(), VT_I4);
  EXPECT_EQ(row[u"N9"].to_wstring(), u"999999999");
  // Whole numbers beyond 32 bits keep their value.
  EXPECT_EQ(row[u"N10"].to_double(), 9999999999.0);
  EXPECT_EQ(row[u"N12"].to_double(), 123456789012.0);
  EXPECT_EQ(row[u"N38"].to_double(), -98765432109876.0);
  EXPECT_EQ(row[u"I"].to_double(), 4294967296.0);
  EXPECT_EQ(row[u"N10_2"].get_type(), VT_DECIMAL);
  EXPECT_EQ(row[u"N10_2"].to_wstring(), u"12345678.91");
  EXPECT_EQ(row[u"N5_5"].get_type(), VT_DECIMAL);
  EXPECT_EQ(row[u"N5_5"].to_wstring(), u"0.12345");
  EXPECT_EQ(row[u"N10_M2"].to_double(), 123400.0);
  EXPECT_EQ(row[u"F"].to_double(), 2.5);
  // Binary floating point arrives as numbers, not as unsupported text.
  EXPECT_EQ(row[u"BF"].get_type(), VT_R4);
  EXPECT_EQ(row[u"BF"].get_variant().fltVal, 1.5f);
  EXPECT_EQ(row[u"BD"].get_type(), VT_R8);
  EXPECT_EQ(row[u"BD"].get_variant().dblVal, 68.25);

  EXPECT_EQ(row[u"V"].to_wstring(), u"abc");
  EXPECT_EQ(row[u"NV"].to_wstring(), u"Zürich");
  EXPECT_EQ(row[u"C"].to_wstring(), u"X  ");
  EXPECT_EQ(row[u"NC"].to_wstring(), u"ÅØ");

  auto expect_time = [&](const char16_t* name, int y, int mo, int d, int h, int mi, int s) {
    const udb_field& f = row[name];
    ASSERT_EQ(f.get_type(), VT_DATE) << tk_to_utf8(name);
    const SYSTEMTIME& t = f.get_system_time();
    EXPECT_EQ(t.wYear, y) << tk_to_utf8(name);
    EXPECT_EQ(t.wMonth, mo) << tk_to_utf8(name);
    EXPECT_EQ(t.wDay, d) << tk_to_utf8(name);
    EXPECT_EQ(t.wHour, h) << tk_to_utf8(name);
    EXPECT_EQ(t.wMinute, mi) << tk_to_utf8(name);
    EXPECT_EQ(t.wSecond, s) << tk_to_utf8(name);
  };
  expect_time(u"D", 2010, 1, 1, 14, 5, 9);
  // Timestamps keep their century too.
  expect_time(u"TS", 1850, 6, 30, 7, 8, 9);
  expect_time(u"TSZ", 2023, 1, 9, 8, 0, 0);
  expect_time(u"TSL", 1999, 12, 31, 23, 59, 59);

  // RAW takes the fetched length, not the declared 8 bytes.
  const BYTE* bytes = nullptr;
  ASSERT_EQ(row[u"R"].get_bytes(&bytes), 2u);
  EXPECT_EQ(bytes[0], 0xA1);
  EXPECT_EQ(bytes[1], 0xB2);
  ASSERT_EQ(row[u"LR"].get_bytes(&bytes), 5u);
  EXPECT_EQ(bytes[0], 0xDE);
  EXPECT_EQ(bytes[4], 0x00);
  EXPECT_EQ(row[u"RID"].to_wstring(), u"AAAR3sAAEAAAACXAAA");
  EXPECT_EQ(row[u"YM"].to_wstring(), u"+01-06");
  // The interval's buffer holds 15 characters; the rest is cut.
  std::u16string ds = row[u"DS"].to_wstring();
  EXPECT_EQ(ds.size(), 15u);
  EXPECT_EQ(ds.rfind(u"+123 06:30:00.2", 0), 0u) << tk_to_utf8(ds);

  // A CLOB over 32 KB, beyond ASCII, read in pieces and joined.
  std::u16string clob = row[u"CL"].to_wstring();
  ASSERT_EQ(clob.size(), 70000u);
  EXPECT_EQ(clob.substr(0, 10), u"Ünïcödé – ");
  std::u16string filler = u"Kapitel § 第一章; ";
  for (size_t i = 10; i < clob.size(); i += 997)
    ASSERT_EQ(clob[i], filler[(i - 10) % filler.size()]) << "at " << i;
  EXPECT_EQ(row[u"NCL"].to_wstring(), u"Résumé");
  ASSERT_EQ(row[u"BL"].get_bytes(&bytes), 70000u);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0xFF);
  EXPECT_EQ(bytes[2], 0x7F);
  EXPECT_EQ(bytes[69999], 0x80);
  EXPECT_EQ(row[u"BF_FILE"].to_wstring(), u"<unsupported type>");
}

TEST_F(ora_source_test, NullInEveryTypeIsAnEmptyValueWithTheColumnSize) {
  open(std::string(kTypes) +
       "INSERT INTO TYPES (N_PLAIN) VALUES (NULL);"
       "INSERT INTO TYPES (V, CL, BL) VALUES ('x', EMPTY_CLOB(), EMPTY_BLOB());");
  std::unique_ptr<ora_query_results> rows =
      std::make_unique<ora_query_results>(0, u"SELECT * FROM TYPES ORDER BY V NULLS FIRST");
  ASSERT_FALSE(rows->is_eof());
  udb_record* nulls = rows->get_item();
  ASSERT_NE(nulls, nullptr);
  for (size_t i = 0; i < nulls->size(); ++i) {
    const udb_field& f = (*nulls)[i];
    std::string name = tk_to_utf8(f.name());
    if (f.name() == u"BF_FILE") {
      // No value is ever fetched for an unsupported type.
      EXPECT_EQ(f.to_wstring(), u"<unsupported type>");
      continue;
    }
    EXPECT_EQ(f.get_type(), VT_EMPTY) << name;
    EXPECT_EQ(f.size(), rows->schema()[i].size) << name;
  }
  first_row empties(*rows);
  // Empty LOBs are empty values of their kind, not NULL.
  EXPECT_EQ(empties[u"CL"].get_type(), VT_BSTR);
  EXPECT_EQ(empties[u"CL"].to_wstring(), u"");
  const BYTE* bytes = nullptr;
  EXPECT_EQ(empties[u"BL"].get_bytes(&bytes), 0u);
  EXPECT_EQ(empties[u"V"].to_wstring(), u"x");
  EXPECT_TRUE(rows->is_eof());
}

TEST_F(ora_source_test, AClobOfExactlyOnePieceAndOneCharacterMore) {
  // 16,384 UTF-16 units fill one read; one more needs a second read.
  open("CREATE TABLE L (ID NUMBER(2), T CLOB);"
       "INSERT INTO L VALUES (1, RPAD('é', 16384, 'ü'));"
       "INSERT INTO L VALUES (2, RPAD('é', 16385, 'ü') || '𝄞');");
  std::unique_ptr<ora_table> t = open_table(*db, u"L");
  std::vector<std::vector<std::u16string>> rows = read_all(*t);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1].size(), 16384u);
  EXPECT_EQ(rows[0][1].back(), u'ü');
  ASSERT_EQ(rows[1][1].size(), 16387u);
  EXPECT_EQ(rows[1][1].substr(16385), u"𝄞");
}
