#include <gtest/gtest.h>

#include <algorithm>

#include "../UDB/udb_check.h"
#include "DAO/dao_db.h"
#include "DAO/dao_sche.h"
#include "DAO/dao_type.h"
#include "OLE/ole_excp.h"
#include "TK/tk_strin.h"
#include "dao_test.h"

namespace {

class dao_table_definition_test : public dao_test {
 protected:
  void SetUp() override {
    dao_test::SetUp();
    db_ = engine_->create_db(u"new.mdb");
  }
  void TearDown() override {
    db_.reset();
    dao_test::TearDown();
  }

  void column(const std::u16string& name, VARTYPE type, uint32_t size = 0, ole_variant default_value = {},
              bool not_null = false, bool auto_increment = false) {
    fields_.add(std::make_unique<t_ftd>(size, name, type, not_null, auto_increment, default_value, 0));
  }
  void index(const std::u16string& name, std::vector<std::u16string> columns, bool primary = false) {
    indexes_.add(udb_index{name, primary, primary, std::move(columns)});
  }
  // Creates table T from the columns and indexes and answers it as the engine holds it.
  dao_fake::table& create() {
    db_->create_table(u"T", fields_, indexes_).reset();
    dao_fake::table* made = world().files[u"new.mdb"]->find(u"T");
    EXPECT_NE(made, nullptr);
    return *made;
  }

  std::unique_ptr<udb_database> db_;
  udb_schema fields_{true};
  udb_indexes indexes_;
};

TEST(dao_type_map, ValueTypesBecomeAccessFieldTypes) {
  EXPECT_EQ(dao_native_type(VT_BSTR, 255), dbText);
  EXPECT_EQ(dao_native_type(VT_BSTR, 1), dbText);
  EXPECT_EQ(dao_native_type(VT_BSTR, 256), dbMemo);
  EXPECT_EQ(dao_native_type(VT_BSTR, 0), dbMemo);
  EXPECT_EQ(dao_native_type(VT_BLOB, 16), dbBinary);
  EXPECT_EQ(dao_native_type(VT_BLOB, 0), dbLongBinary);
  EXPECT_EQ(dao_native_type(VT_ARRAY | VT_UI1, 300), dbLongBinary);
  EXPECT_EQ(dao_native_type(VT_I8, 0), dbDouble);
  EXPECT_EQ(dao_native_type(VT_UI4, 0), dbDouble);
  EXPECT_EQ(dao_native_type(VT_DECIMAL, 0), dbDouble);
  EXPECT_EQ(dao_native_type(VT_UI2, 0), dbLong);
  EXPECT_EQ(dao_native_type(VT_I1, 0), dbInteger);
  EXPECT_EQ(dao_native_type(VT_CY, 0), dbCurrency);
  EXPECT_EQ(dao_native_type(VT_BOOL, 0), dbBoolean);
  EXPECT_THROW(dao_native_type(VT_INT, 0), ole_type_exception);
  EXPECT_THROW(dao_native_type(VT_NULL, 0), ole_type_exception);

  EXPECT_EQ(dao_value_type(dbDecimal), VT_R8);
  EXPECT_EQ(dao_value_type(dbTime), VT_DATE);
  EXPECT_EQ(dao_value_type(dbMemo), VT_BSTR);
  EXPECT_EQ(dao_value_type(dbGUID), VT_BLOB);
  EXPECT_EQ(dao_value_type(dbBigInt), VT_BLOB);
  EXPECT_EQ(dao_value_type(dbCurrency), VT_CY);
}

TEST(dao_quote_def_value, QuoteThatTheTextDoesNotHold) {
  EXPECT_EQ(dao_schema_initializer::quote_def_value(u"it's"), u"\"it's\"");
  EXPECT_EQ(dao_schema_initializer::quote_def_value(u"say \"hi\""), u"'say \"hi\"'");
  EXPECT_EQ(dao_schema_initializer::quote_def_value(u"it's \"hi\""), u"\"it's 'hi'\"");
  EXPECT_EQ(dao_schema_initializer::quote_def_value(u""), u"\"\"");
}

TEST_F(dao_table_definition_test, FieldsCarryTypeSizeFlagsAndDefaults) {
  column(u"Name", VT_BSTR, 255);
  column(u"Notes", VT_BSTR, 256);
  column(u"Big", VT_I8, 0, ole_variant(12LL));
  column(u"Id", VT_I4, 0, {}, true, true);
  column(u"Quoted", VT_BSTR, 10, ole_variant(u"it's"));
  column(u"Amount", VT_R8, 0, ole_variant(2.5));
  dao_fake::table& t = create();
  ASSERT_EQ(t.fields.size(), 6u);
  EXPECT_EQ(t.fields[0]->type, dbText);
  EXPECT_EQ(t.fields[0]->size, 255);
  EXPECT_EQ(t.fields[1]->type, dbMemo);
  EXPECT_EQ(t.fields[2]->type, dbDouble);
  EXPECT_EQ(t.fields[2]->default_value.get_type(), VT_R8);
  EXPECT_EQ(t.fields[2]->default_value.to_double(), 12.0);
  EXPECT_EQ(t.fields[3]->type, dbLong);
  EXPECT_TRUE(t.fields[3]->required);
  EXPECT_EQ(t.fields[3]->attributes & dbAutoIncrField, dbAutoIncrField);
  EXPECT_FALSE(t.fields[0]->required);
  EXPECT_EQ(t.fields[0]->attributes & dbAutoIncrField, 0);
  EXPECT_EQ(t.fields[4]->default_value.to_wstring(), u"\"it's\"");
  EXPECT_EQ(t.fields[5]->default_value.get_type(), VT_R8);
  for (const auto& field : t.fields) EXPECT_TRUE(field->allow_zero_length) << tk_to_ansi(field->name);
  // A counter only exists for long integers.
  EXPECT_EQ(world().count_calls("DefaultValue("), 3u);
}

TEST_F(dao_table_definition_test, DateDefaultsAreKeptOnlyWhenTheyAreDates) {
  ole_variant date;
  date.from_string("2011-03-04", VT_DATE);
  column(u"Valid", VT_DATE, 0, date);
  SYSTEMTIME no_such_day{};
  no_such_day.wYear = 2011;
  no_such_day.wMonth = 0;
  no_such_day.wDay = 4;
  column(u"Invalid", VT_DATE, 0, ole_variant(no_such_day));
  dao_fake::table& t = create();
  EXPECT_EQ(t.fields[0]->default_value.to_wstring(), u"\"2011-03-04\"");
  EXPECT_EQ(t.fields[1]->default_value.get_type(), VT_EMPTY);
  EXPECT_EQ(t.fields.size(), 2u);
}

TEST_F(dao_table_definition_test, UnacceptableColumnNamesAreReplacedAndIndexesFollowThem) {
  column(u"A.B", VT_I4);
  column(u"A_B", VT_I4);
  column(u" Pad ", VT_I4);
  index(u"IX.1", {u"a.b", u"pad"});  // names the columns in another case
  index(u"IX_2", {u" pad "});
  dao_fake::table& t = create();
  ASSERT_EQ(t.fields.size(), 3u);
  EXPECT_EQ(t.fields[0]->name, u"A_B00000");  // A_B is taken by the next column
  EXPECT_EQ(t.fields[1]->name, u"A_B");
  EXPECT_EQ(t.fields[2]->name, u"Pad");
  ASSERT_EQ(t.indexes.size(), 2u);
  EXPECT_EQ(t.indexes[0]->name, u"IX_1");
  EXPECT_EQ(t.indexes[0]->fields, (std::vector<std::u16string>{u"A_B00000", u"pad"}));
  EXPECT_EQ(t.indexes[1]->fields, (std::vector<std::u16string>{u"Pad"}));
}

// Access compares field and index names without regard to case: names that
// differ only in case, and names Access refuses (over 64 characters, control
// characters), get generated names instead of losing the table; each index
// keeps following the column it named.
TEST_F(dao_table_definition_test, NamesAccessWouldRefuseGetNamesOfTheirOwn) {
  column(u"Name", VT_I4);
  column(u"NAME", VT_I4);
  column(std::u16string(70, u'L'), VT_I4);
  column(u"tab\there", VT_I4);
  index(u"IX_NAME", {u"NAME"});
  index(u"ix_name", {u"Name"});
  dao_fake::table& t = create();
  ASSERT_EQ(t.fields.size(), 4u);
  EXPECT_EQ(t.fields[0]->name, u"Name");
  EXPECT_EQ(t.fields[1]->name, u"NAME00000");
  EXPECT_LE(t.fields[2]->name.size(), 64u);
  EXPECT_EQ(t.fields[3]->name, u"tab_here");
  ASSERT_EQ(t.indexes.size(), 2u);
  EXPECT_EQ(t.indexes[0]->name, u"IX_NAME");
  EXPECT_EQ(t.indexes[0]->fields, std::vector<std::u16string>{u"NAME00000"});
  EXPECT_EQ(t.indexes[1]->name, u"ix_name00000");
  EXPECT_EQ(t.indexes[1]->fields, std::vector<std::u16string>{u"Name"});
}

TEST_F(dao_table_definition_test, IndexesAccessCannotHoldAreDropped) {
  udb_check::trace_capture log;
  column(u"Long", VT_BSTR, 300);
  column(u"Memo", VT_BSTR, 0);
  column(u"Blob", VT_BLOB, 16);
  column(u"Bytes", VT_ARRAY | VT_UI1, 0);
  column(u"Short", VT_BSTR, 30);
  std::vector<std::u16string> eleven;
  for (int i = 0; i < 11; ++i) {
    column(u"C" + std::u16string(1, char16_t(u'a' + i)), VT_I4);
    eleven.push_back(u"C" + std::u16string(1, char16_t(u'a' + i)));
  }
  index(u"IX_LONG", {u"Short", u"Long"});
  index(u"IX_MEMO", {u"Memo"});
  index(u"IX_BLOB", {u"Blob"});
  index(u"IX_BYTES", {u"Bytes"});
  index(u"IX_ELEVEN", eleven);
  eleven.pop_back();
  index(u"IX_TEN", eleven);
  index(u"IX_EXPR", {u"SYS_NC00042$"});
  dao_fake::table& t = create();
  ASSERT_EQ(t.indexes.size(), 1u);
  EXPECT_EQ(t.indexes[0]->name, u"IX_TEN");
  EXPECT_EQ(t.indexes[0]->fields.size(), 10u);
  EXPECT_TRUE(log.has_line("Field 'Long' cannot be part of index"));
  EXPECT_TRUE(log.has_line("Field 'Memo' cannot be part of index"));
  EXPECT_TRUE(log.has_line("Field 'Blob' cannot be part of index"));
  EXPECT_EQ(log.text().find("Field 'Ca' cannot"), std::string::npos);
}

TEST_F(dao_table_definition_test, AtMost32IndexesAreCreated) {
  column(u"Id", VT_I4);
  for (int i = 0; i < 40; ++i) index(u"IX" + tk_from_ansi(std::to_string(i)), {u"Id"});
  dao_fake::table& t = create();
  ASSERT_EQ(t.indexes.size(), 32u);
  EXPECT_EQ(t.indexes.front()->name, u"IX0");
  EXPECT_EQ(t.indexes.back()->name, u"IX31");
}

TEST_F(dao_table_definition_test, IndexFieldsAreCreatedWithTheirFieldsTypesAndFlagsInOrder) {
  column(u"Code", VT_BSTR, 8);
  column(u"Id", VT_I2);
  index(u"PK", {u"Id", u"Code"}, true);
  create();
  EXPECT_TRUE(world().called("Index.CreateField(Id, vt3:3, vt3:0)"));
  EXPECT_TRUE(world().called("Index.CreateField(Code, vt3:10, vt3:8)"));
  const auto primary = std::find(world().calls.begin(), world().calls.end(), "Index.Primary(PK)");
  const auto unique = std::find(world().calls.begin(), world().calls.end(), "Index.Unique(PK)");
  const auto appended = std::find(world().calls.begin(), world().calls.end(), "Indexes.Append(PK)");
  EXPECT_TRUE(primary < unique && unique < appended);
}

TEST_F(dao_table_definition_test, UnsupportedColumnTypeEndsTheTable) {
  column(u"Odd", VT_INT);
  EXPECT_THROW(db_->create_table(u"T", fields_, indexes_), ole_type_exception);
  EXPECT_TRUE(db_->table_names().empty());
  EXPECT_EQ(world().files[u"new.mdb"]->find(u"T"), nullptr);
}

TEST_F(dao_table_definition_test, DaoFailuresWhileBuildingRaiseDaoErrors) {
  column(u"Id", VT_I4);
  world().fail_next("Field.Required", 3219, u"Invalid operation.");
  const raised r = raised_by([&] { db_->create_table(u"T", fields_, indexes_); });
  EXPECT_TRUE(r.is_dao);
  EXPECT_EQ(r.text, "Invalid operation.");
  world().answer_null("TableDef.CreateField");
  EXPECT_EQ(raised_by([&] { db_->create_table(u"T", fields_, indexes_); }).code, 1u);
  world().answer_null("TableDef.CreateIndex");
  index(u"IX", {u"Id"});
  EXPECT_EQ(raised_by([&] { db_->create_table(u"T", fields_, indexes_); }).code, 1u);
}

}  // namespace
