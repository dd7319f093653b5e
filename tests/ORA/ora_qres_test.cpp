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
