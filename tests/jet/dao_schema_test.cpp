// The engine's DAO objects making and describing databases and tables:
// CreateDatabase/OpenDatabase and their refusals, every DAO field type of
// the destination, the index kinds, and the descriptions read back from
// the file after it was closed and reopened.
#include <filesystem>

#include "dao_test_support.h"
#include "sample_files.h"

namespace {

struct type_case {
  const char16_t* name;
  SHORT type;
  LONG size;      // asked
  LONG expected;  // read back
};

const type_case every_type[] = {
    {u"Flag", dbBoolean, 0, 1},      {u"Small", dbByte, 0, 1},       {u"Short", dbInteger, 0, 2},
    {u"Id", dbLong, 0, 4},           {u"Money", dbCurrency, 0, 8},   {u"Ratio", dbSingle, 0, 4},
    {u"Amount", dbDouble, 0, 8},     {u"When", dbDate, 0, 8},        {u"Raw", dbBinary, 16, 16},
    {u"Code", dbText, 10, 10},       {u"Picture", dbLongBinary, 0, 0}, {u"Notes", dbMemo, 0, 0},
    {u"Größe mit Leerzeichen", dbText, 255, 255},
};

class jd_schema_test : public jd_test {
 protected:
  static void set_default(_TableDef* table, const char16_t* field_name, const variant& value) {
    com<Fields> fields;
    ASSERT_EQ(table->get_Fields(fields.out()), S_OK);
    variant item = variant::text(field_name);
    com<_Field> field;
    ASSERT_EQ(fields->get_Item(item.get(), field.out()), S_OK);
    ASSERT_EQ(field->put_DefaultValue(value.get()), S_OK);
  }
  // A table with every type, an AutoNumber key and the four index kinds.
  void make_every_type_table(Database* db) {
    variant name = variant::text(u"Every Type"), none = variant::text(u""), attributes = variant::i4(0);
    com<_TableDef> table;
    ASSERT_EQ(db->CreateTableDef(name.get(), attributes.get(), none.get(), none.get(), table.out()), S_OK);
    for (const type_case& c : every_type)
      add_field(table.get(), c.name, c.type, c.size, c.type == dbText && c.size == 10, c.type == dbLong);
    set_default(table.get(), u"Short", variant::i4(5));
    set_default(table.get(), u"Code", variant::text(u"\"abc\""));
    add_index(table.get(), u"PrimaryKey", {u"Id"}, true, true);
    add_index(table.get(), u"CodeUnique", {u"Code"}, false, true);
    add_index(table.get(), u"ByDate", {u"When"}, false, false);
    add_index(table.get(), u"ShortAndCode", {u"Short", u"Code"}, false, false);
    com<TableDefs> tables;
    ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
    ASSERT_EQ(tables->Append(table.get()), S_OK) << last_text();
  }
};

// Only the DAO 3.6 class is ours; the objects answer for their own interfaces.
TEST_F(jd_schema_test, registered_class_and_interfaces) {
  com<IClassFactory> other;
  EXPECT_EQ(CoGetClassObject(CLSID_DBEngine30, CLSCTX_SERVER, nullptr, IID_IClassFactory, other.void_out()),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoGetClassObject(CLSID_DBEngineAce, CLSCTX_SERVER, nullptr, IID_IClassFactory, other.void_out()),
            REGDB_E_CLASSNOTREG);
  com<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_DBEngine36, CLSCTX_SERVER, nullptr, IID_IClassFactory, factory.void_out()), S_OK);
  com<_DBEngine> engine;
  IUnknown* outer = engine_.get();
  EXPECT_EQ(factory->CreateInstance(outer, IID__DBEngine, engine.void_out()), CLASS_E_NOAGGREGATION);
  EXPECT_FALSE(engine);
  com<Database> not_a_database;
  EXPECT_EQ(engine_->QueryInterface(IID_Database, not_a_database.void_out()), E_NOINTERFACE);
  com<IUnknown> unknown;
  EXPECT_EQ(engine_->QueryInterface(IID_IUnknown, unknown.void_out()), S_OK);

  // The Errors collection is empty until a member fails, then holds that failure.
  com<Errors> errors;
  ASSERT_EQ(engine_->get_Errors(errors.out()), S_OK);
  SHORT count = -1;
  ASSERT_EQ(errors->get_Count(&count), S_OK);
  EXPECT_EQ(count, 0);
  com<Database> missing;
  EXPECT_EQ(open("/nonexistent-folder/x.mdb", false, missing), static_cast<HRESULT>(0x800A0BD0));  // 3024
  ASSERT_EQ(errors->get_Count(&count), S_OK);
  EXPECT_EQ(count, 1);
  com<Error> error;
  variant first = variant::i4(0);
  ASSERT_EQ(errors->get_Item(first.get(), error.out()), S_OK);
  bstr source;
  ASSERT_EQ(error->get_Source(source.out()), S_OK);
  EXPECT_EQ(source.text(), u"DAO.DBEngine");
}

TEST_F(jd_schema_test, new_database_refusals_and_opening_errors) {
  scratch_file file("new.mdb");
  com<Database> db;
  ASSERT_EQ(create(file.path(), db), S_OK);
  bstr name;
  ASSERT_EQ(db->get_Name(name.out()), S_OK);
  EXPECT_EQ(name.text(), std::u16string(file.path().begin(), file.path().end()));
  ASSERT_EQ(db->Close(), S_OK);
  EXPECT_TRUE(FAILED(db->Close()));  // a closed database is no longer set
  EXPECT_EQ(last_error(), 3420);

  com<Database> again;
  EXPECT_TRUE(FAILED(create(file.path(), again)));
  EXPECT_EQ(last_error(), 3204);
  EXPECT_FALSE(again);

  // Access 2000 files, or Access 97 ones with dbVersion30, in the General
  // sort order only.
  scratch_file old_format("new97.mdb");
  bstr old_name(std::u16string(old_format.path().begin(), old_format.path().end()));
  bstr other(u"/tmp/never-made-by-jd-test.mdb"), locale(dbLangGeneral), spanish(u";LANGID=0x040A;CP=1252;COUNTRY=0");
  variant jet3 = variant::i4(dbVersion30), own = variant::i4(0);
  com<Database> refused, made97;
  ASSERT_EQ(engine_->CreateDatabase(old_name, locale, jet3.get(), made97.out()), S_OK);
  ASSERT_EQ(made97->Close(), S_OK);
  EXPECT_EQ(read_whole_file(old_format.path())[0x14], 0);  // the Jet 3 version byte
  EXPECT_TRUE(FAILED(engine_->CreateDatabase(other, spanish, own.get(), refused.out())));
  EXPECT_EQ(last_error(), 3001);
  EXPECT_FALSE(std::filesystem::exists("/tmp/never-made-by-jd-test.mdb"));

  EXPECT_TRUE(FAILED(open(file.path() + ".missing", false, refused)));
  EXPECT_EQ(last_error(), 3024);
  EXPECT_NE(last_description().find(u".missing"), std::u16string::npos);

  scratch_file foreign("foreign.mdb");
  write_whole_file(foreign.path(), std::vector<uint8_t>(8192, 0x41));
  EXPECT_TRUE(FAILED(open(foreign.path(), false, refused)));
  const LONG number = last_error();
  EXPECT_TRUE(number == 3343 || number == 3049) << number;
}

TEST_F(jd_schema_test, new_database_lists_only_system_tables_with_their_attributes) {
  scratch_file file("system.mdb");
  com<Database> db;
  ASSERT_EQ(create(file.path(), db), S_OK);
  com<TableDefs> tables;
  ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
  SHORT count = 0;
  ASSERT_EQ(tables->get_Count(&count), S_OK);
  ASSERT_GE(count, 5);
  for (SHORT i = 0; i < count; ++i) {
    variant at = variant::i2(i);
    com<_TableDef> table;
    ASSERT_EQ(tables->get_Item(at.get(), table.out()), S_OK);
    bstr name;
    table->get_Name(name.out());
    LONG attributes = 0;
    ASSERT_EQ(table->get_Attributes(&attributes), S_OK);
    EXPECT_EQ(name.text().rfind(u"MSys", 0), 0u);
    // DAO reports the catalog's own flags: 0x80000000 for most system tables, 2 for some.
    EXPECT_NE(attributes & dbSystemObject, 0);
  }
  variant past = variant::i4(count), absent = variant::text(u"Nowhere");
  com<_TableDef> none;
  EXPECT_TRUE(FAILED(tables->get_Item(past.get(), none.out())));
  EXPECT_EQ(last_error(), 3265);
  EXPECT_TRUE(FAILED(tables->get_Item(absent.get(), none.out())));
  EXPECT_EQ(last_error(), 3265);
  ASSERT_EQ(db->Close(), S_OK);
}

TEST_F(jd_schema_test, every_type_and_index_kind_reads_back_after_reopening) {
  scratch_file file("types.mdb");
  {
    com<Database> db;
    ASSERT_EQ(create(file.path(), db), S_OK);
    make_every_type_table(db.get());
    ASSERT_EQ(db->Close(), S_OK);
  }
  expect_file_consistent(file.path());
  // mdbtools reads the same properties.
  std::string properties;
  if (run_program("command -v mdb-prop") == 0) {
    ASSERT_EQ(run_program("mdb-prop '" + file.path() + "' 'Every Type'", &properties), 0) << properties;
    EXPECT_NE(properties.find("DefaultValue: 5"), std::string::npos) << properties;
    EXPECT_NE(properties.find("DefaultValue: \"abc\""), std::string::npos) << properties;
    EXPECT_NE(properties.find("Required: yes"), std::string::npos) << properties;
  }
  com<Database> db;
  ASSERT_EQ(open(file.path(), true, db), S_OK);
  com<TableDefs> tables;
  ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
  variant name = variant::text(u"EVERY TYPE");  // names match in any letter case
  com<_TableDef> table;
  ASSERT_EQ(tables->get_Item(name.get(), table.out()), S_OK);
  LONG attributes = -1, rows = -1;
  ASSERT_EQ(table->get_Attributes(&attributes), S_OK);
  EXPECT_EQ(attributes & (dbSystemObject | dbAttachedTable), 0);
  ASSERT_EQ(table->get_RecordCount(&rows), S_OK);
  EXPECT_EQ(rows, 0);

  com<Fields> fields;
  ASSERT_EQ(table->get_Fields(fields.out()), S_OK);
  SHORT count = 0;
  ASSERT_EQ(fields->get_Count(&count), S_OK);
  ASSERT_EQ(size_t(count), std::size(every_type));
  for (SHORT i = 0; i < count; ++i) {
    const type_case& c = every_type[i];
    variant at = variant::i2(i);
    com<_Field> field;
    ASSERT_EQ(fields->get_Item(at.get(), field.out()), S_OK);
    bstr field_name;
    SHORT type = 0;
    LONG size = -1, field_attributes = 0;
    VARIANT_BOOL required = VARIANT_FALSE;
    field->get_Name(field_name.out());
    field->get_Type(&type);
    field->get_Size(&size);
    field->get_Attributes(&field_attributes);
    field->get_Required(&required);
    EXPECT_EQ(field_name.text(), c.name);
    EXPECT_EQ(type, c.type) << i;
    EXPECT_EQ(size, c.expected) << i;
    EXPECT_EQ((field_attributes & dbAutoIncrField) != 0, c.type == dbLong) << i;
    EXPECT_EQ(required != VARIANT_FALSE, c.type == dbText && c.size == 10) << i;
    // The properties stored with the table.
    VARIANT_BOOL allow = VARIANT_FALSE;
    variant default_value;
    field->get_AllowZeroLength(&allow);
    ASSERT_EQ(field->get_DefaultValue(default_value.out()), S_OK);
    EXPECT_EQ(allow != VARIANT_FALSE, c.type == dbText || c.type == dbMemo) << i;
    const std::u16string expected_default = c.type == dbInteger ? u"5" : c.size == 10 ? u"\"abc\"" : u"";
    EXPECT_EQ(variant_text(default_value.get()), expected_default) << i;
    variant value;
    EXPECT_TRUE(FAILED(field->get_Value(value.out())));  // a definition has no value
  }

  com<Indexes> indexes;
  ASSERT_EQ(table->get_Indexes(indexes.out()), S_OK);
  SHORT index_count = 0;
  ASSERT_EQ(indexes->get_Count(&index_count), S_OK);
  ASSERT_EQ(index_count, 4);
  struct expected_index {
    const char16_t* name;
    bool primary, unique;
    std::vector<std::u16string> fields;
  };
  const expected_index expected[] = {{u"PrimaryKey", true, true, {u"Id"}},
                                     {u"CodeUnique", false, true, {u"Code"}},
                                     {u"ByDate", false, false, {u"When"}},
                                     {u"ShortAndCode", false, false, {u"Short", u"Code"}}};
  for (const expected_index& e : expected) {
    variant key = variant::text(e.name);
    com<_Index> index;
    ASSERT_EQ(indexes->get_Item(key.get(), index.out()), S_OK);
    VARIANT_BOOL primary = VARIANT_FALSE, unique = VARIANT_FALSE;
    index->get_Primary(&primary);
    index->get_Unique(&unique);
    EXPECT_EQ(primary != VARIANT_FALSE, e.primary);
    EXPECT_EQ(unique != VARIANT_FALSE, e.unique);
    variant list;
    ASSERT_EQ(index->get_Fields(list.out()), S_OK);
    com<IndexFields> index_fields;
    ASSERT_EQ(list.get().pdispVal->QueryInterface(IID_IndexFields, index_fields.void_out()), S_OK);
    SHORT n = 0;
    index_fields->get_Count(&n);
    ASSERT_EQ(size_t(n), e.fields.size());
    for (SHORT k = 0; k < n; ++k) {
      variant at = variant::i4(k), item;
      ASSERT_EQ(index_fields->get_Item(at.get(), item.out()), S_OK);
      ASSERT_EQ(item.get().vt, VT_DISPATCH);
      com<_Field> field;
      ASSERT_EQ(item.get().pdispVal->QueryInterface(IID__Field, field.void_out()), S_OK);
      bstr field_name;
      field->get_Name(field_name.out());
      EXPECT_EQ(field_name.text(), e.fields[size_t(k)]);
    }
  }
  // A stored definition is not edited through these members.
  com<_Index> first;
  variant zero = variant::i4(0);
  ASSERT_EQ(indexes->get_Item(zero.get(), first.out()), S_OK);
  EXPECT_TRUE(FAILED(first->put_Unique(VARIANT_FALSE)));
  EXPECT_EQ(last_error(), 3219);
  ASSERT_EQ(db->Close(), S_OK);
}

TEST_F(jd_schema_test, table_definition_refusals) {
  scratch_file file("refusals.mdb");
  com<Database> db;
  ASSERT_EQ(create(file.path(), db), S_OK);
  make_every_type_table(db.get());
  com<TableDefs> tables;
  ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
  variant none = variant::text(u""), zero = variant::i4(0);

  // The name is taken, whatever its letter case.
  variant taken = variant::text(u"every type");
  com<_TableDef> twin;
  ASSERT_EQ(db->CreateTableDef(taken.get(), zero.get(), none.get(), none.get(), twin.out()), S_OK);
  add_field(twin.get(), u"A", dbLong);
  EXPECT_TRUE(FAILED(tables->Append(twin.get())));
  EXPECT_EQ(last_error(), 3010);

  // A field repeated, an AutoNumber on text, an index over a missing field, two primary keys.
  variant fresh = variant::text(u"Fresh");
  com<_TableDef> table;
  ASSERT_EQ(db->CreateTableDef(fresh.get(), zero.get(), none.get(), none.get(), table.out()), S_OK);
  add_field(table.get(), u"A", dbLong);
  variant a = variant::text(u"a"), type = variant::i4(dbText), size = variant::i4(5);
  com<_Field> again;
  ASSERT_EQ(table->CreateField(a.get(), type.get(), size.get(), again.out()), S_OK);
  com<Fields> fields;
  ASSERT_EQ(table->get_Fields(fields.out()), S_OK);
  EXPECT_TRUE(FAILED(fields->Append(again.get())));
  EXPECT_EQ(last_error(), 3191);
  EXPECT_TRUE(FAILED(again->put_Attributes(dbAutoIncrField)));
  EXPECT_EQ(last_error(), 3001);

  add_index(table.get(), u"PK", {u"A"}, true, true);
  variant second_name = variant::text(u"PK2");
  com<_Index> second;
  ASSERT_EQ(table->CreateIndex(second_name.get(), second.out()), S_OK);
  variant list;
  second->get_Fields(list.out());
  com<IndexFields> index_fields;
  ASSERT_EQ(list.get().pdispVal->QueryInterface(IID_IndexFields, index_fields.void_out()), S_OK);
  com<_Field> key;
  ASSERT_EQ(second->CreateField(a.get(), type.get(), size.get(), key.out()), S_OK);
  ASSERT_EQ(index_fields->Append(key.get()), S_OK);
  second->put_Primary(VARIANT_TRUE);
  com<Indexes> indexes;
  ASSERT_EQ(table->get_Indexes(indexes.out()), S_OK);
  EXPECT_TRUE(FAILED(indexes->Append(second.get())));
  EXPECT_EQ(last_error(), 3283);

  add_index(table.get(), u"Missing", {u"NotThere"}, false, false);
  EXPECT_TRUE(FAILED(tables->Append(table.get())));
  EXPECT_EQ(last_error(), 3265);

  // Linked tables are not made by this engine, and the refusals changed nothing.
  variant linked = variant::text(u"Linked"), source = variant::text(u"Elsewhere"), connect = variant::text(u";DATABASE=x.mdb");
  com<_TableDef> link;
  EXPECT_TRUE(FAILED(db->CreateTableDef(linked.get(), zero.get(), source.get(), connect.get(), link.out())));
  EXPECT_EQ(last_error(), 3251);
  ASSERT_EQ(db->Close(), S_OK);
  com<Database> reopened;
  ASSERT_EQ(open(file.path(), true, reopened), S_OK);
  com<TableDefs> listed;
  ASSERT_EQ(reopened->get_TableDefs(listed.out()), S_OK);
  variant fresh_item = variant::text(u"Fresh"), every_item = variant::text(u"Every Type");
  com<_TableDef> absent, present;
  EXPECT_TRUE(FAILED(listed->get_Item(fresh_item.get(), absent.out())));
  EXPECT_EQ(listed->get_Item(every_item.get(), present.out()), S_OK);
  reopened->Close();
}

TEST_F(jd_schema_test, deleted_tables_leave_the_file_and_its_catalog) {
  scratch_file file("deleted.mdb");
  {
    com<Database> db;
    ASSERT_EQ(create(file.path(), db), S_OK);
    make_every_type_table(db.get());
    com<TableDefs> tables;
    ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
    SHORT with_table = 0;
    tables->get_Count(&with_table);

    // Not while a recordset adds rows to it or reads it.
    com<Recordset> adding, reading;
    ASSERT_EQ(open_table(db.get(), u"Every Type", dbAppendOnly, adding), S_OK);
    ASSERT_EQ(adding->AddNew(), S_OK);
    bstr name(u"every type");
    EXPECT_TRUE(FAILED(tables->Delete(name)));
    EXPECT_EQ(last_error(), 3211);
    ASSERT_EQ(adding->Close(), S_OK);
    ASSERT_EQ(open_table(db.get(), u"Every Type", dbReadOnly, reading), S_OK);
    EXPECT_TRUE(FAILED(tables->Delete(name)));
    EXPECT_EQ(last_error(), 3211);
    reading.reset();  // released without Close

    ASSERT_EQ(tables->Delete(name), S_OK) << last_text();
    SHORT without = 0;
    tables->get_Count(&without);
    EXPECT_EQ(without, with_table - 1);
    EXPECT_TRUE(FAILED(tables->Delete(name)));
    EXPECT_EQ(last_error(), 3265);
    com<Recordset> gone;
    EXPECT_TRUE(FAILED(open_table(db.get(), u"Every Type", dbReadOnly, gone)));
    EXPECT_EQ(last_error(), 3078);
    ASSERT_EQ(db->Close(), S_OK);
  }
  expect_file_consistent(file.path());
  std::string output;
  if (run_program("command -v mdb-tables") == 0) {
    EXPECT_EQ(run_program("mdb-tables -1 '" + file.path() + "'", &output), 0);
    EXPECT_EQ(output, "");
  }

  // A read-only database keeps its tables.
  com<Database> db;
  ASSERT_EQ(open(file.path(), true, db), S_OK);
  com<TableDefs> tables;
  ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
  bstr system(u"MSysQueries");
  EXPECT_TRUE(FAILED(tables->Delete(system)));
  db->Close();
}

}  // namespace
