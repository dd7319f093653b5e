// Records through the engine's DAO objects: appended with AddNew, Collect
// and Update (values converted as DAO converts them, DAO's errors for the
// conditions met), then read back through query recordsets and checked by
// our own consistency check and by two independent readers.
#include <cmath>
#include <filesystem>

#include "dao_test_support.h"
#include "sample_files.h"

namespace {

class jd_rows_test : public jd_test {
 protected:
  void SetUp() override {
    jd_test::SetUp();
    file_ = std::make_unique<scratch_file>("rows.mdb");
    ASSERT_EQ(create(file_->path(), db_), S_OK);
    variant name = variant::text(u"People"), none = variant::text(u""), zero = variant::i4(0);
    com<_TableDef> table;
    ASSERT_EQ(db_->CreateTableDef(name.get(), zero.get(), none.get(), none.get(), table.out()), S_OK);
    add_field(table.get(), u"Id", dbLong, 0, false, true);
    add_field(table.get(), u"Code", dbText, 8, true);
    add_field(table.get(), u"Active", dbBoolean);
    add_field(table.get(), u"Age", dbByte);
    add_field(table.get(), u"Rank", dbInteger);
    add_field(table.get(), u"Salary", dbCurrency);
    add_field(table.get(), u"Ratio", dbSingle);
    add_field(table.get(), u"Weight", dbDouble);
    add_field(table.get(), u"Born", dbDate);
    add_field(table.get(), u"Tag", dbBinary, 4);
    add_field(table.get(), u"Photo", dbLongBinary);
    add_field(table.get(), u"Notes", dbMemo);
    add_index(table.get(), u"PrimaryKey", {u"Id"}, true, true);
    add_index(table.get(), u"ByCode", {u"Code"}, false, true);
    add_index(table.get(), u"ByRankAndBorn", {u"Rank", u"Born"}, false, false);
    com<TableDefs> tables;
    ASSERT_EQ(db_->get_TableDefs(tables.out()), S_OK);
    ASSERT_EQ(tables->Append(table.get()), S_OK);
  }
  void TearDown() override {
    if (db_) db_->Close();
    db_.reset();
    file_.reset();
    jd_test::TearDown();
  }

  HRESULT put(Recordset* rs, const char16_t* field, const variant& value) {
    variant item = variant::text(field);
    return rs->put_Collect(item.get(), value.get());
  }
  // One person; the long values are big enough to need LVAL pages.
  void add_person(Recordset* rs, const std::u16string& code, SHORT rank, bool with_nulls) {
    ASSERT_EQ(rs->AddNew(), S_OK);
    ASSERT_EQ(put(rs, u"Code", variant::text(code)), S_OK);
    ASSERT_EQ(put(rs, u"Rank", variant::i2(rank)), S_OK);
    if (!with_nulls) {
      ASSERT_EQ(put(rs, u"Active", variant::boolean(true)), S_OK);
      ASSERT_EQ(put(rs, u"Age", variant::text(u"42")), S_OK);  // text converted as DAO converts it
      ASSERT_EQ(put(rs, u"Salary", variant::r8(1234.5678)), S_OK);
      ASSERT_EQ(put(rs, u"Ratio", variant::r8(0.25)), S_OK);
      ASSERT_EQ(put(rs, u"Weight", variant::i4(-7)), S_OK);
      ASSERT_EQ(put(rs, u"Born", variant::date(29221.5)), S_OK);  // 1980-01-01 12:00
      ASSERT_EQ(put(rs, u"Tag", variant::bytes({1, 2, 3})), S_OK);
      std::vector<uint8_t> photo(50000);
      for (size_t i = 0; i < photo.size(); ++i) photo[i] = uint8_t(i * 7);
      ASSERT_EQ(put(rs, u"Photo", variant::bytes(photo)), S_OK);
      ASSERT_EQ(put(rs, u"Notes", variant::text(std::u16string(20000, u'ж') + code)), S_OK);
    }
    ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();
  }
  std::u16string collect_text(Recordset* rs, const char16_t* field) {
    variant item = variant::text(field), value;
    if (FAILED(rs->get_Collect(item.get(), value.out()))) return u"<failed>";
    if (value.get().vt == VT_NULL) return u"<null>";
    return variant_text(value.get());
  }
  VARIANT collect(Recordset* rs, const char16_t* field) {
    variant item = variant::text(field);
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(rs->get_Collect(item.get(), &value), S_OK);
    return value;
  }
  LONG count_rows(const std::u16string& sql) {
    variant name = variant::text(u""), text = variant::text(sql);
    com<_QueryDef> query;
    if (FAILED(db_->CreateQueryDef(name.get(), text.get(), query.out()))) return -1;
    variant type = variant::i2(dbOpenDynaset), flags = variant::i4(dbReadOnly), lock = variant::missing();
    com<Recordset> rs;
    if (FAILED(query->OpenRecordset(type.get(), flags.get(), lock.get(), rs.out()))) return -1;
    EXPECT_EQ(rs->MoveFirst(), S_OK);
    com<Fields> fields;
    rs->get_Fields(fields.out());
    variant first = variant::i4(0), value;
    com<_Field> field;
    EXPECT_EQ(fields->get_Item(first.get(), field.out()), S_OK);
    EXPECT_EQ(field->get_Value(value.out()), S_OK);
    EXPECT_EQ(value.get().vt, VT_I4);
    EXPECT_EQ(rs->Close(), S_OK);
    return value.get().lVal;
  }
  void fill_three() {
    com<Recordset> rs;
    ASSERT_EQ(open_table(db_.get(), u"People", dbAppendOnly, rs), S_OK);
    add_person(rs.get(), u"B2", 2, false);
    add_person(rs.get(), u"A1", 1, true);
    add_person(rs.get(), u"C3", 3, false);
    ASSERT_EQ(rs->Close(), S_OK);
  }

  std::unique_ptr<scratch_file> file_;
  com<Database> db_;
};

TEST_F(jd_rows_test, appended_rows_read_back_with_their_types_after_reopening) {
  fill_three();
  ASSERT_EQ(db_->Close(), S_OK);
  ASSERT_EQ(open(file_->path(), true, db_), S_OK);

  EXPECT_EQ(count_rows(u"select count(*) from (SELECT * FROM [People])"), 3);
  com<Recordset> rs;
  ASSERT_EQ(open_table(db_.get(), u"People", dbReadOnly, rs), S_OK);
  LONG count = 0;
  ASSERT_EQ(rs->get_RecordCount(&count), S_OK);
  EXPECT_EQ(count, 3);
  VARIANT_BOOL bof = VARIANT_FALSE, eof = VARIANT_TRUE;
  rs->get_BOF(&bof);
  rs->get_EOF(&eof);
  EXPECT_EQ(bof, VARIANT_FALSE);
  EXPECT_EQ(eof, VARIANT_FALSE);

  // Rows come in the order they were added, AutoNumbers counting from 1.
  EXPECT_EQ(collect_text(rs.get(), u"Id"), u"1");
  EXPECT_EQ(collect_text(rs.get(), u"Code"), u"B2");
  VARIANT v = collect(rs.get(), u"Active");
  EXPECT_EQ(v.vt, VT_BOOL);
  EXPECT_EQ(v.boolVal, VARIANT_TRUE);
  v = collect(rs.get(), u"Age");
  EXPECT_EQ(v.vt, VT_UI1);
  EXPECT_EQ(v.bVal, 42);
  v = collect(rs.get(), u"Salary");
  EXPECT_EQ(v.vt, VT_CY);
  EXPECT_EQ(v.cyVal.int64, 12345678);
  v = collect(rs.get(), u"Ratio");
  EXPECT_EQ(v.vt, VT_R4);
  EXPECT_EQ(v.fltVal, 0.25f);
  v = collect(rs.get(), u"Weight");
  EXPECT_EQ(v.vt, VT_R8);
  EXPECT_EQ(v.dblVal, -7.0);
  v = collect(rs.get(), u"Born");
  EXPECT_EQ(v.vt, VT_DATE);
  EXPECT_EQ(v.date, 29221.5);
  variant tag;
  *tag.out() = collect(rs.get(), u"Tag");
  ASSERT_EQ(tag.get().vt, VT_ARRAY | VT_UI1);
  ASSERT_EQ(tag.get().parray->rgsabound[0].cElements, 3u);
  EXPECT_EQ(static_cast<uint8_t*>(tag.get().parray->pvData)[2], 3);
  variant photo;
  *photo.out() = collect(rs.get(), u"Photo");
  ASSERT_EQ(photo.get().vt, VT_ARRAY | VT_UI1);
  ASSERT_EQ(photo.get().parray->rgsabound[0].cElements, 50000u);
  const uint8_t* bytes = static_cast<uint8_t*>(photo.get().parray->pvData);
  bool photo_intact = true;
  for (size_t i = 0; i < 50000; ++i) photo_intact = photo_intact && bytes[i] == uint8_t(i * 7);
  EXPECT_TRUE(photo_intact);
  EXPECT_EQ(collect_text(rs.get(), u"Notes"), std::u16string(20000, u'ж') + u"B2");

  // The second row: every unset field is Null, a Boolean No.
  ASSERT_EQ(rs->MoveNext(), S_OK);
  EXPECT_EQ(collect_text(rs.get(), u"Code"), u"A1");
  for (const char16_t* field : {u"Age", u"Salary", u"Ratio", u"Weight", u"Born", u"Tag", u"Photo", u"Notes"})
    EXPECT_EQ(collect_text(rs.get(), field), u"<null>") << std::string(field, field + 3);
  v = collect(rs.get(), u"Active");
  EXPECT_EQ(v.boolVal, VARIANT_FALSE);

  // Through the Fields collection as the destination layer reads a record.
  ASSERT_EQ(rs->MoveNext(), S_OK);
  com<Fields> fields;
  ASSERT_EQ(rs->get_Fields(fields.out()), S_OK);
  variant code_item = variant::text(u"code"), code_value;
  com<_Field> code;
  ASSERT_EQ(fields->get_Item(code_item.get(), code.out()), S_OK);
  ASSERT_EQ(code->get_Value(code_value.out()), S_OK);
  EXPECT_EQ(variant_text(code_value.get()), u"C3");

  // Walking off either end.
  ASSERT_EQ(rs->MoveNext(), S_OK);
  rs->get_EOF(&eof);
  EXPECT_EQ(eof, VARIANT_TRUE);
  EXPECT_TRUE(FAILED(code->get_Value(code_value.out())));
  EXPECT_EQ(last_error(), 3021);
  EXPECT_TRUE(FAILED(rs->MoveNext()));
  EXPECT_EQ(last_error(), 3021);
  ASSERT_EQ(rs->MovePrevious(), S_OK);
  EXPECT_EQ(collect_text(rs.get(), u"Code"), u"C3");
  ASSERT_EQ(rs->MoveFirst(), S_OK);
  ASSERT_EQ(rs->MovePrevious(), S_OK);
  rs->get_BOF(&bof);
  EXPECT_EQ(bof, VARIANT_TRUE);
  EXPECT_TRUE(FAILED(rs->MovePrevious()));
  ASSERT_EQ(rs->Close(), S_OK);
  EXPECT_TRUE(FAILED(rs->MoveFirst()));
  EXPECT_EQ(last_error(), 3420);
}

TEST_F(jd_rows_test, refused_values_and_records_leave_the_table_consistent) {
  fill_three();
  com<Recordset> rs;
  ASSERT_EQ(open_table(db_.get(), u"People", dbAppendOnly, rs), S_OK);

  // Without AddNew there is no record to set or update.
  EXPECT_TRUE(FAILED(put(rs.get(), u"Code", variant::text(u"X"))));
  EXPECT_EQ(last_error(), 3020);
  EXPECT_TRUE(FAILED(rs->Update(dbUpdateRegular, VARIANT_FALSE)));
  EXPECT_EQ(last_error(), 3020);

  ASSERT_EQ(rs->AddNew(), S_OK);
  EXPECT_TRUE(FAILED(put(rs.get(), u"Code", variant::text(u"123456789"))));  // 9 characters into 8
  EXPECT_EQ(last_error(), 3163);
  EXPECT_TRUE(FAILED(put(rs.get(), u"Rank", variant::text(u"many"))));
  EXPECT_EQ(last_error(), 3421);
  EXPECT_TRUE(FAILED(put(rs.get(), u"Rank", variant::i4(70000))));
  EXPECT_EQ(last_error(), 3349);
  EXPECT_TRUE(FAILED(put(rs.get(), u"Tag", variant::bytes({1, 2, 3, 4, 5}))));
  EXPECT_EQ(last_error(), 3163);
  EXPECT_TRUE(FAILED(put(rs.get(), u"Nobody", variant::i4(1))));
  EXPECT_EQ(last_error(), 3265);

  // A Null in the required Code.
  EXPECT_TRUE(FAILED(rs->Update(dbUpdateRegular, VARIANT_FALSE)));
  EXPECT_EQ(last_error(), 3314);
  EXPECT_NE(last_description().find(u"People.Code"), std::u16string::npos);

  // A Code already there: the unique index refuses it.
  ASSERT_EQ(put(rs.get(), u"Code", variant::text(u"A1")), S_OK);
  EXPECT_TRUE(FAILED(rs->Update(dbUpdateRegular, VARIANT_FALSE)));
  EXPECT_EQ(last_error(), 3022);

  // The refusals added nothing; the next record goes in.
  add_person(rs.get(), u"D4", 4, true);
  ASSERT_EQ(rs->Close(), S_OK);
  EXPECT_EQ(count_rows(u"select count(*) from (select * from People)"), 4);

  com<TableDefs> tables;
  db_->get_TableDefs(tables.out());
  variant name = variant::text(u"People");
  com<_TableDef> table;
  ASSERT_EQ(tables->get_Item(name.get(), table.out()), S_OK);
  LONG rows = 0;
  ASSERT_EQ(table->get_RecordCount(&rows), S_OK);
  EXPECT_EQ(rows, 4);
  ASSERT_EQ(db_->Close(), S_OK);

  std::string report;
  EXPECT_EQ(run_program(std::string(JETUTIL_PATH) + " check '" + file_->path() + "'", &report), 0) << report;
}

TEST_F(jd_rows_test, read_only_opening_and_recordsets_refuse_new_records) {
  fill_three();
  com<Recordset> reading;
  ASSERT_EQ(open_table(db_.get(), u"People", dbReadOnly, reading), S_OK);
  EXPECT_TRUE(FAILED(reading->AddNew()));
  EXPECT_EQ(last_error(), 3027);
  reading->Close();
  ASSERT_EQ(db_->Close(), S_OK);

  ASSERT_EQ(open(file_->path(), true, db_), S_OK);
  com<Recordset> appending;
  ASSERT_EQ(open_table(db_.get(), u"People", dbAppendOnly, appending), S_OK);
  EXPECT_TRUE(FAILED(appending->AddNew()));
  EXPECT_EQ(last_error(), 3051);
  appending->Close();
  com<TableDefs> tables;
  db_->get_TableDefs(tables.out());
  variant name = variant::text(u"Other"), none = variant::text(u""), zero = variant::i4(0);
  com<_TableDef> table;
  ASSERT_EQ(db_->CreateTableDef(name.get(), zero.get(), none.get(), none.get(), table.out()), S_OK);
  add_field(table.get(), u"A", dbLong);
  EXPECT_TRUE(FAILED(tables->Append(table.get())));
  EXPECT_EQ(last_error(), 3051);
}

TEST_F(jd_rows_test, only_the_two_query_forms_are_understood) {
  fill_three();
  EXPECT_EQ(count_rows(u"  SELECT COUNT ( * ) FROM ( select * from [people] ) ; "), 3);
  EXPECT_EQ(count_rows(u"select count(*) from (select count(*) from (SELECT * FROM [People]))"), 1);

  const std::pair<const char16_t*, LONG> refused[] = {
      {u"DELETE FROM [People]", 3129},
      {u"SELECT Code FROM [People]", 3141},
      {u"SELECT * FROM [People] WHERE Id = 1", 3141},
      {u"SELECT * FROM [People", 3141},
      {u"SELECT * FROM (SELECT * FROM [People])", 3141},
      {u"SELECT * FROM [Nobody]", 3078},
      {u"select count(*) from (SELECT * FROM [Nobody])", 3078},
  };
  for (const auto& [sql, number] : refused) {
    variant name = variant::text(u""), text = variant::text(sql);
    com<_QueryDef> query;
    EXPECT_TRUE(FAILED(db_->CreateQueryDef(name.get(), text.get(), query.out()))) << std::string(sql, sql + 10);
    EXPECT_EQ(last_error(), number) << std::string(sql, sql + 10);
    EXPECT_FALSE(query);
  }
  // Stored queries are not made by this engine.
  variant stored = variant::text(u"Saved"), text = variant::text(u"SELECT * FROM [People]");
  com<_QueryDef> query;
  EXPECT_TRUE(FAILED(db_->CreateQueryDef(stored.get(), text.get(), query.out())));
  EXPECT_EQ(last_error(), 3251);

  // A query's fields describe the table; a count has one Long field.
  variant none = variant::text(u"");
  ASSERT_EQ(db_->CreateQueryDef(none.get(), text.get(), query.out()), S_OK);
  com<Fields> fields;
  ASSERT_EQ(query->get_Fields(fields.out()), S_OK);
  SHORT count = 0;
  fields->get_Count(&count);
  EXPECT_EQ(count, 12);
}

// An empty text goes only into a field that allows it, as DAO's new fields do not.
TEST_F(jd_rows_test, empty_text_needs_a_field_allowing_it) {
  variant name = variant::text(u"Texts"), none = variant::text(u""), zero = variant::i4(0);
  com<_TableDef> table;
  ASSERT_EQ(db_->CreateTableDef(name.get(), zero.get(), none.get(), none.get(), table.out()), S_OK);
  add_field(table.get(), u"Allowing", dbText, 10);  // AllowZeroLength set
  variant strict_name = variant::text(u"Strict"), type = variant::i4(dbMemo), size = variant::i4(0);
  com<_Field> strict;
  ASSERT_EQ(table->CreateField(strict_name.get(), type.get(), size.get(), strict.out()), S_OK);
  VARIANT_BOOL allow = VARIANT_TRUE;
  ASSERT_EQ(strict->get_AllowZeroLength(&allow), S_OK);
  EXPECT_EQ(allow, VARIANT_FALSE);
  com<Fields> fields;
  ASSERT_EQ(table->get_Fields(fields.out()), S_OK);
  ASSERT_EQ(fields->Append(strict.get()), S_OK);
  com<TableDefs> tables;
  ASSERT_EQ(db_->get_TableDefs(tables.out()), S_OK);
  ASSERT_EQ(tables->Append(table.get()), S_OK);

  com<Recordset> rs;
  ASSERT_EQ(open_table(db_.get(), u"Texts", dbAppendOnly, rs), S_OK);
  ASSERT_EQ(rs->AddNew(), S_OK);
  ASSERT_EQ(put(rs.get(), u"Allowing", variant::text(u"")), S_OK);
  ASSERT_EQ(put(rs.get(), u"Strict", variant::text(u"")), S_OK);
  EXPECT_TRUE(FAILED(rs->Update(dbUpdateRegular, VARIANT_FALSE)));
  EXPECT_EQ(last_error(), 3315);
  EXPECT_EQ(last_description(), u"Field 'Texts.Strict' cannot be a zero-length string.");
  ASSERT_EQ(put(rs.get(), u"Strict", variant::null()), S_OK);
  ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();
  ASSERT_EQ(rs->Close(), S_OK);
  com<Recordset> read;
  ASSERT_EQ(open_table(db_.get(), u"Texts", dbReadOnly, read), S_OK);
  EXPECT_EQ(collect_text(read.get(), u"Allowing"), u"");
  EXPECT_EQ(collect_text(read.get(), u"Strict"), u"<null>");
  read->Close();
  db_->Close();
  expect_file_consistent(file_->path());
}

// A value that would take the record past a page is refused when it is set,
// and the record without it still goes in.
TEST_F(jd_rows_test, a_record_too_large_for_a_page_is_refused_value_by_value) {
  variant name = variant::text(u"Wide"), none = variant::text(u""), zero = variant::i4(0);
  com<_TableDef> table;
  ASSERT_EQ(db_->CreateTableDef(name.get(), zero.get(), none.get(), none.get(), table.out()), S_OK);
  for (int i = 0; i < 10; ++i) add_field(table.get(), u"T" + std::u16string(1, char16_t(u'0' + i)), dbText, 255);
  add_field(table.get(), u"Long", dbMemo);
  com<TableDefs> tables;
  ASSERT_EQ(db_->get_TableDefs(tables.out()), S_OK);
  ASSERT_EQ(tables->Append(table.get()), S_OK);

  com<Recordset> rs;
  ASSERT_EQ(open_table(db_.get(), u"Wide", dbAppendOnly, rs), S_OK);
  ASSERT_EQ(rs->AddNew(), S_OK);
  const std::u16string full(255, u'ж');  // 510 bytes: no compression for Cyrillic
  int refused_at = -1;
  for (int i = 0; i < 10 && refused_at < 0; ++i) {
    const std::u16string field = u"T" + std::u16string(1, char16_t(u'0' + i));
    if (FAILED(put(rs.get(), field.c_str(), variant::text(full)))) refused_at = i;
  }
  ASSERT_EQ(refused_at, 7) << "seven full fields fit a 4096-byte page, the eighth does not";
  EXPECT_EQ(last_error(), 3047);
  EXPECT_EQ(last_description(), u"Record is too large.");
  // A long value only takes its reference in the record.
  ASSERT_EQ(put(rs.get(), u"Long", variant::text(std::u16string(10000, u'ж'))), S_OK);
  ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();
  ASSERT_EQ(rs->Close(), S_OK);

  com<Recordset> read;
  ASSERT_EQ(open_table(db_.get(), u"Wide", dbReadOnly, read), S_OK);
  EXPECT_EQ(collect_text(read.get(), u"T6"), full);
  EXPECT_EQ(collect_text(read.get(), u"T7"), u"<null>");
  EXPECT_EQ(collect_text(read.get(), u"Long"), std::u16string(10000, u'ж'));
  read->Close();
  db_->Close();
  expect_file_consistent(file_->path());
}

// Every file written through the DAO members reads back in mdbtools and
// mdb-reader as in our engine.
TEST_F(jd_rows_test, independent_readers_read_what_was_written) {
  fill_three();
  ASSERT_EQ(db_->Close(), S_OK);
  db_.reset();
  const std::string path = file_->path();
  std::string output;
  ASSERT_EQ(run_program(std::string(JETUTIL_PATH) + " check '" + path + "'", &output), 0) << output;

  if (run_program("command -v mdb-export") != 0) GTEST_SKIP() << "mdbtools is not installed";
  ASSERT_EQ(run_program("mdb-tables -1 '" + path + "'", &output), 0) << output;
  EXPECT_EQ(output, "People\n");
  ASSERT_EQ(run_program("mdb-export -H -T '%Y-%m-%d %H:%M:%S' '" + path + "' People", &output), 0) << output;
  EXPECT_NE(output.find("1,\"B2\",1,42,2,1234.5678,0.25,-7,\"1980-01-01 12:00:00\""), std::string::npos) << output;
  EXPECT_NE(output.find("2,\"A1\",0,,1,,,,,,,"), std::string::npos) << output;
  EXPECT_NE(output.find("3,\"C3\""), std::string::npos) << output;

  const std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
  if (!std::filesystem::exists(readers + "/node_modules/mdb-reader")) GTEST_SKIP() << "mdb-reader is not installed";
  scratch_file dump("dump.json");
  ASSERT_EQ(run_program(std::string(JETUTIL_PATH) + " dump '" + path + "' > '" + dump.path() + "'"), 0);
  EXPECT_EQ(run_program("node '" + readers + "/compare.mjs' '" + dump.path() + "' '" + path + "'", &output), 0) << output;
}

}  // namespace
