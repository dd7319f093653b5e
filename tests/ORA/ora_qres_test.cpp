// The result set's reading protocol and its misuse.
#include "ORA/ora_excp.h"
#include "TK/tk_strin.h"
#include "tests/ORA/ora_home.h"
#include "tests/TK/decode_assertion.h"

namespace {

template <typename F>
std::string assertion_file_of(F&& action) {
  try {
    action();
  } catch (const tk_mail_assertion& e) {
    return assertion_file(e);
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "no exception";
}

const char kRows[] =
    "CREATE TABLE R (ID NUMBER(4), NAME VARCHAR2(10), TXT LONG, PIC BLOB, EXTRA VARCHAR2(5));"
    "INSERT INTO R VALUES (1, 'one', 'long text one', HEXTORAW('0102'), 'e1');"
    "INSERT INTO R VALUES (2, 'two', NULL, HEXTORAW(RPAD('AB', 80000, 'CD')), 'e2');"
    "INSERT INTO R VALUES (3, 'three', 'long text three', NULL, 'e3');";

}  // namespace

TEST_F(ora_source_test, EachIsEofFetchesTheRowThatGetItemHandsOut) {
  open(kRows);
  ora_query_results rows(0, u"SELECT ID, NAME FROM R ORDER BY ID");
  ASSERT_TRUE(rows.is_initialized());
  ASSERT_EQ(rows.schema().size(), 2u);
  EXPECT_EQ(rows.name(), u"");
  ASSERT_FALSE(rows.is_eof());
  udb_record* first = rows.get_item();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ((*first)[0].to_wstring(), u"1");
  // Two is_eof calls without get_item skip a row.
  ASSERT_FALSE(rows.is_eof());
  ASSERT_FALSE(rows.is_eof());
  udb_record* third = rows.get_item();
  ASSERT_NE(third, nullptr);
  EXPECT_EQ((*third)[1].to_wstring(), u"three");
  EXPECT_TRUE(rows.is_eof());
  // After the end, get_item does not hand the last row out again.
  EXPECT_EQ(rows.get_item(), nullptr);
}

TEST_F(ora_source_test, GetItemWithoutIsEofFetchesForItself) {
  open(kRows);
  ora_query_results rows(0, u"SELECT NAME FROM R ORDER BY ID");
  udb_record* first = rows.get_item();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ((*first)[0].to_wstring(), u"one");
  udb_record* second = rows.get_item();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ((*second)[0].to_wstring(), u"two");
  EXPECT_NE(rows.get_item(), nullptr);
  EXPECT_EQ(rows.get_item(), nullptr);
}

TEST_F(ora_source_test, AQueryOverNoRowsEndsAtOnce) {
  open(kRows);
  ora_query_results first(0, u"SELECT * FROM R WHERE ID > 100");
  EXPECT_EQ(first.schema().size(), 5u);
  EXPECT_TRUE(first.is_eof());
  ora_query_results second(0, u"SELECT * FROM R WHERE ID > 100");
  EXPECT_EQ(second.get_item(), nullptr);
}

TEST_F(ora_source_test, AGivenColumnCountDefinesOnlyThoseColumns) {
  open(kRows);
  ora_query_results rows(3, u"SELECT ID, NAME, EXTRA, TXT FROM R ORDER BY ID");
  ASSERT_EQ(rows.schema().size(), 3u);
  EXPECT_EQ(rows.schema()[2].name, u"EXTRA");
  ASSERT_FALSE(rows.is_eof());
  udb_record* row = rows.get_item();
  ASSERT_EQ(row->size(), 3u);
  EXPECT_EQ((*row)[2].to_wstring(), u"e1");
}

TEST_F(ora_source_test, LongAndBlobAreReadInTheSameRow) {
  open(kRows);
  std::unique_ptr<ora_table> t = open_table(*db, u"R");
  ASSERT_EQ(t->record_count(), 3);
  std::vector<std::vector<std::u16string>> rows;
  const BYTE* bytes = nullptr;
  std::vector<size_t> blob_sizes;
  while (!t->is_eof()) {
    udb_record& row = *t->get_item();
    rows.push_back({row[2].get_type() == VT_EMPTY ? u"<null>" : row[2].to_wstring()});
    blob_sizes.push_back(row[3].get_type() == VT_EMPTY ? 0 : row[3].get_bytes(&bytes) + 1);
    t->next();
  }
  EXPECT_EQ(rows, (std::vector<std::vector<std::u16string>>{{u"long text one"}, {u"<null>"}, {u"long text three"}}));
  EXPECT_EQ(blob_sizes, (std::vector<size_t>{3, 40001, 0}));
}

TEST_F(ora_source_test, MisuseOfAResultSetIsAnInternalError) {
  open(kRows);
  ora_query_results pending(u"Q", u"SELECT * FROM R");
  EXPECT_FALSE(pending.is_initialized());
  EXPECT_EQ(assertion_file_of([&] { pending.is_eof(); }), "ora_qres");
  EXPECT_EQ(assertion_file_of([&] { pending.get_item(); }), "ora_qres");
  pending.initialize(0, u"SELECT * FROM R");
  EXPECT_EQ(assertion_file_of([&] { pending.initialize(0, u"SELECT * FROM R"); }), "ora_qres");
  udb_record record;
  EXPECT_EQ(assertion_file_of([&] { pending.append_record(record); }), "ora_qres");
  // A failed description leaves the result set uninitialized.
  ora_query_results broken(u"B", u"");
  EXPECT_THROW(broken.initialize(0, u"SELECT * FROM NO_SUCH"), ora_exception);
  EXPECT_FALSE(broken.is_initialized());
}

// The consumer of a record converts its values in place (to the destination's
// types); the next row must still arrive whole in every field, with its own
// type, and a NULL must not keep the previous row's value.
TEST_F(ora_source_test, EachRowArrivesWholeInTheRecordItsPredecessorWasConvertedIn) {
  open(kRows);
  ora_query_results rows(0, u"SELECT ID, NAME, TXT, PIC, EXTRA FROM R ORDER BY ID");
  std::vector<std::vector<std::u16string>> seen;
  std::vector<std::vector<VARTYPE>> types;
  while (!rows.is_eof()) {
    udb_record* record = rows.get_item();
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->size(), 5u);
    std::vector<std::u16string> texts;
    std::vector<VARTYPE> row_types;
    for (size_t i = 0; i < record->size(); ++i) {
      udb_field& cell = (*record)[i];
      row_types.push_back(cell.get_type());
      texts.push_back(cell.get_type() == VT_EMPTY ? u"<null>" : cell.to_wstring().substr(0, 8));
    }
    EXPECT_EQ((*record)[0].name(), u"ID");
    EXPECT_EQ((*record)[4].name(), u"EXTRA");
    seen.push_back(texts);
    types.push_back(row_types);
    // What the destination does to a record: every value changed in place.
    (*record)[0].change_type(VT_BSTR);
    (*record)[1].set_value(ole_variant(std::vector<BYTE>{1, 2, 3}));
    SYSTEMTIME when{};
    when.wYear = 2001; when.wMonth = 2; when.wDay = 3;
    (*record)[2].set_value(ole_variant(when));
    (*record)[4].change_type(VT_BSTR);
    if ((*record)[3].get_type() != VT_EMPTY) (*record)[3].set_value(ole_variant(u"replaced"));
  }
  const std::vector<std::vector<std::u16string>> expected = {
      {u"1", u"one", u"long tex", u"0x0102", u"e1"},
      {u"2", u"two", u"<null>", u"0xABCDCD", u"e2"},
      {u"3", u"three", u"long tex", u"<null>", u"e3"}};
  EXPECT_EQ(seen, expected);
  for (const auto& row_types : types) {
    EXPECT_EQ(row_types[0], VT_I2);
    EXPECT_EQ(row_types[1], VT_BSTR);
    EXPECT_EQ(row_types[4], VT_BSTR);
  }
  EXPECT_EQ(types[1][2], VT_EMPTY);
  EXPECT_EQ(types[2][3], VT_EMPTY);
  EXPECT_EQ(types[1][3], VT_BINARY_ARRAY);
}

// A LOB column keeps its room from row to row: a short value after a long one
// must carry only its own characters or bytes.
TEST_F(ora_source_test, AShortLobAfterALongOneCarriesOnlyItsOwnContent) {
  open("CREATE TABLE L (ID NUMBER(4), C CLOB, B BLOB);"
       "INSERT INTO L VALUES (1, RPAD('a', 3000, 'b'), HEXTORAW(RPAD('AB', 80000, 'CD')));"
       "INSERT INTO L VALUES (2, 'short', HEXTORAW('0102'));"
       "INSERT INTO L VALUES (3, NULL, NULL);"
       "INSERT INTO L VALUES (4, 'x', HEXTORAW('03'));");
  ora_query_results rows(0, u"SELECT C, B FROM L ORDER BY ID");
  std::vector<std::u16string> texts;
  std::vector<std::vector<BYTE>> blobs;
  while (!rows.is_eof()) {
    udb_record& row = *rows.get_item();
    texts.push_back(row[0].get_type() == VT_EMPTY ? u"<null>" : row[0].to_wstring().substr(0, 6));
    const BYTE* bytes = nullptr;
    size_t n = row[1].get_type() == VT_EMPTY ? 0 : row[1].get_bytes(&bytes);
    blobs.push_back(n > 3 ? std::vector<BYTE>{0xFF, static_cast<BYTE>(n == 40000)} : std::vector<BYTE>(bytes, bytes + n));
  }
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"abbbbb", u"short", u"<null>", u"x"}));
  EXPECT_EQ(blobs, (std::vector<std::vector<BYTE>>{{0xFF, 1}, {1, 2}, {}, {3}}));
}

// Text of character length semantics is sized in characters, in tables and
// in query results alike: VARCHAR2(100 CHAR) stays a Text of 100 (its data
// size, 400 bytes in AL32UTF8, would make it a Memo that cannot be indexed),
// and national columns count characters without being halved again.
TEST_F(ora_source_test, CharacterSemanticsSizeColumnsInCharacters) {
  open("CREATE TABLE S (B VARCHAR2(30), C VARCHAR2(30 CHAR), W VARCHAR2(100 CHAR), N NVARCHAR2(20), K NCHAR(3));"
       "INSERT INTO S VALUES ('b', 'c', 'w', 'n', 'k');");
  ora_query_results query(0, u"SELECT B, C, W, N, K FROM S");
  ASSERT_EQ(query.schema().size(), 5u);
  EXPECT_EQ(query.schema()[0].size, 30u);
  EXPECT_EQ(query.schema()[1].size, 30u);
  EXPECT_EQ(query.schema()[2].size, 100u);
  EXPECT_EQ(query.schema()[3].size, 20u);
  EXPECT_EQ(query.schema()[4].size, 3u);
  std::unique_ptr<udb_recordset> table = db->get_table(u"S", 1);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->schema().size(), 5u);
  EXPECT_EQ(table->schema()[1].size, 30u);
  EXPECT_EQ(table->schema()[2].size, 100u);
  EXPECT_EQ(table->schema()[3].size, 20u);
  EXPECT_EQ(table->schema()[4].size, 3u);
  ASSERT_FALSE(query.is_eof());
  EXPECT_EQ((*query.get_item())[2].to_wstring(), u"w");
}
