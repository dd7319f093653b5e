// Files made by Access, read through the engine's DAO objects as the
// destination layer reads an existing database: every table with its
// attributes, fields, properties and indexes, and every row of every local
// table through a query recordset; and a copy taking new rows.
#include <algorithm>
#include <filesystem>

#include "dao_test_support.h"
#include "platform/codepage.h"
#include "sample_files.h"

namespace {

class jd_samples_test : public jd_test {
 protected:
  // Reads every value of every row; answers the rows read.
  LONG read_all_rows(Database* db, const std::u16string& table, SHORT field_count) {
    com<Recordset> rs;
    EXPECT_EQ(open_table(db, table, dbReadOnly, rs), S_OK) << last_text();
    if (!rs) return -1;
    com<Fields> fields;
    EXPECT_EQ(rs->get_Fields(fields.out()), S_OK);
    LONG rows = 0;
    VARIANT_BOOL eof = VARIANT_FALSE;
    while (SUCCEEDED(rs->get_EOF(&eof)) && eof == VARIANT_FALSE) {
      for (SHORT i = 0; i < field_count; ++i) {
        variant at = variant::i2(i), value;
        com<_Field> field;
        EXPECT_EQ(fields->get_Item(at.get(), field.out()), S_OK);
        EXPECT_EQ(field->get_Value(value.out()), S_OK) << last_text();
      }
      ++rows;
      EXPECT_EQ(rs->MoveNext(), S_OK);
    }
    EXPECT_EQ(rs->Close(), S_OK);
    return rows;
  }
};

TEST_F(jd_samples_test, every_access_made_file_reads_through_the_dao_members) {
  const std::vector<std::string> files = access_sample_files();
  if (files.empty()) GTEST_SKIP() << "the Access-made sample files are not available";
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    com<Database> db;
    ASSERT_EQ(open(path, true, db), S_OK) << last_text();
    com<TableDefs> tables;
    ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
    SHORT count = 0;
    ASSERT_EQ(tables->get_Count(&count), S_OK);
    int user_tables = 0;
    for (SHORT t = 0; t < count; ++t) {
      variant at = variant::i2(t);
      com<_TableDef> table;
      ASSERT_EQ(tables->get_Item(at.get(), table.out()), S_OK);
      bstr name;
      LONG attributes = 0, records = 0;
      table->get_Name(name.out());
      ASSERT_EQ(table->get_Attributes(&attributes), S_OK);
      if (attributes & (dbAttachedTable | dbAttachedODBC)) continue;
      ASSERT_EQ(table->get_RecordCount(&records), S_OK) << last_text();
      com<Fields> fields;
      ASSERT_EQ(table->get_Fields(fields.out()), S_OK) << last_text();
      SHORT field_count = 0;
      fields->get_Count(&field_count);
      EXPECT_GT(field_count, 0);
      for (SHORT f = 0; f < field_count; ++f) {
        variant fat = variant::i2(f), default_value;
        com<_Field> field;
        ASSERT_EQ(fields->get_Item(fat.get(), field.out()), S_OK);
        SHORT type = 0;
        field->get_Type(&type);
        // 17: the fixed binary Data of MSysAccessObjects.
        EXPECT_TRUE((type >= dbBoolean && type <= dbMemo) || type == dbGUID || type == dbDecimal ||
                    ((attributes & dbSystemObject) && type == dbVarBinary))
            << type;
        EXPECT_EQ(field->get_DefaultValue(default_value.out()), S_OK);
        EXPECT_EQ(default_value.get().vt, VT_BSTR);
      }
      com<Indexes> indexes;
      ASSERT_EQ(table->get_Indexes(indexes.out()), S_OK) << last_text();
      if (attributes & dbSystemObject) continue;
      ++user_tables;
      EXPECT_EQ(read_all_rows(db.get(), name.text(), field_count), records) << platform::utf16_to_utf8(name.text());
    }
    EXPECT_GT(user_tables + (path.find("empty") != std::string::npos ? 1 : 0), 0);
    ASSERT_EQ(db->Close(), S_OK);
  }
}

// The properties Access stored are what the fields report.
TEST_F(jd_samples_test, properties_written_by_access_are_read) {
  struct expected_field {
    const char* file;
    const char16_t* table;
    const char16_t* field;
    bool required, allow_zero_length;
    const char16_t* default_value;
  };
  const expected_field expected[] = {
      {"compIndexTestV2000.mdb", u"Table1", u"CD_AGENTE", false, false, u"0"},
      {"compIndexTestV2000.mdb", u"Table1", u"RS_AGENTE", false, true, u""},
      {"bigIndexTestV2000.mdb", u"Table1", u"col1", false, false, u""},
      {"fixedTextTestV2000.mdb", u"users", u"c_user_login", true, false, u""},
      {"compIndexTestV1997.mdb", u"Table1", u"CD_AGENTE", false, false, u"0"},
      {"compIndexTestV1997.mdb", u"Table1", u"RS_AGENTE", false, true, u""},
  };
  for (const expected_field& e : expected) {
    const std::string name = e.file;
    const std::string path = name.find("V1997") != std::string::npos ? jet3_sample(name) : jet4_sample(name);
    if (path.empty() || !std::filesystem::exists(path)) GTEST_SKIP() << "the Access-made sample files are not available";
    SCOPED_TRACE(e.file);
    com<Database> db;
    ASSERT_EQ(open(path, true, db), S_OK) << last_text();
    com<TableDefs> tables;
    ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
    variant table_name = variant::text(e.table), field_name = variant::text(e.field), default_value;
    com<_TableDef> table;
    ASSERT_EQ(tables->get_Item(table_name.get(), table.out()), S_OK);
    com<Fields> fields;
    ASSERT_EQ(table->get_Fields(fields.out()), S_OK);
    com<_Field> field;
    ASSERT_EQ(fields->get_Item(field_name.get(), field.out()), S_OK);
    VARIANT_BOOL required = VARIANT_TRUE, allow = VARIANT_TRUE;
    field->get_Required(&required);
    field->get_AllowZeroLength(&allow);
    ASSERT_EQ(field->get_DefaultValue(default_value.out()), S_OK);
    EXPECT_EQ(required != VARIANT_FALSE, e.required);
    EXPECT_EQ(allow != VARIANT_FALSE, e.allow_zero_length);
    EXPECT_EQ(variant_text(default_value.get()), e.default_value);
    ASSERT_EQ(db->Close(), S_OK);
  }
}

// Rows added to a copy of an Access-made table keep the file consistent.
TEST_F(jd_samples_test, access_made_table_takes_new_rows) {
  const std::string original = jet4_sample("compIndexTestV2000.mdb");
  if (original.empty() || !std::filesystem::exists(original)) GTEST_SKIP() << "the Access-made sample files are not available";
  scratch_file copy("copy.mdb");
  write_whole_file(copy.path(), read_whole_file(original));
  LONG before = 0;
  {
    com<Database> db;
    ASSERT_EQ(open(copy.path(), false, db), S_OK) << last_text();
    com<TableDefs> tables;
    ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
    variant name = variant::text(u"Table1");
    com<_TableDef> table;
    ASSERT_EQ(tables->get_Item(name.get(), table.out()), S_OK);
    ASSERT_EQ(table->get_RecordCount(&before), S_OK);
    com<Recordset> rs;
    ASSERT_EQ(open_table(db.get(), u"Table1", dbAppendOnly, rs), S_OK) << last_text();
    for (LONG i = 0; i < 3; ++i) {
      ASSERT_EQ(rs->AddNew(), S_OK) << last_text();
      variant agent = variant::text(u"CD_AGENTE"), number = variant::i4(900000 + i);
      variant rs_name = variant::text(u"RS_AGENTE"), text = variant::text(u"NEW AGENT");
      ASSERT_EQ(rs->put_Collect(agent.get(), number.get()), S_OK) << last_text();
      ASSERT_EQ(rs->put_Collect(rs_name.get(), text.get()), S_OK) << last_text();
      ASSERT_EQ(rs->Update(dbUpdateRegular, VARIANT_FALSE), S_OK) << last_text();
    }
    ASSERT_EQ(rs->Close(), S_OK) << last_text();
    ASSERT_EQ(db->Close(), S_OK) << last_text();
  }
  expect_file_consistent(copy.path());
  com<Database> db;
  ASSERT_EQ(open(copy.path(), true, db), S_OK);
  com<TableDefs> tables;
  ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
  variant name = variant::text(u"Table1");
  com<_TableDef> table;
  ASSERT_EQ(tables->get_Item(name.get(), table.out()), S_OK);
  LONG after = 0;
  ASSERT_EQ(table->get_RecordCount(&after), S_OK);
  EXPECT_EQ(after, before + 3);
  db->Close();
}

// A damaged file gives DAO's corrupt-database answer from whichever member
// meets the damage, never a crash or a read outside the file.
TEST_F(jd_samples_test, damaged_copies_answer_with_dao_errors) {
  const std::string original = jet4_sample("readerTestV2000.mdb");
  if (original.empty() || !std::filesystem::exists(original)) GTEST_SKIP() << "the Access-made sample files are not available";
  const std::vector<uint8_t> bytes = read_whole_file(original);
  struct damage {
    const char* what;
    size_t keep;          // bytes kept from the start
    size_t scribble_at;   // page area overwritten with 0xff, 0 for none
  };
  const damage cases[] = {{"truncated after the catalog", 3 * 4096, 0},
                          {"cut in a page", 5 * 4096 + 1000, 0},
                          {"definitions scribbled over", bytes.size(), 3 * 4096},
                          {"rows scribbled over", bytes.size(), bytes.size() - 2 * 4096}};
  for (const damage& d : cases) {
    SCOPED_TRACE(d.what);
    std::vector<uint8_t> damaged(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(d.keep, bytes.size())));
    if (d.scribble_at) std::fill(damaged.begin() + std::ptrdiff_t(d.scribble_at), damaged.begin() + std::ptrdiff_t(d.scribble_at + 4096), 0xff);
    scratch_file copy("damaged.mdb");
    write_whole_file(copy.path(), damaged);
    com<Database> db;
    if (FAILED(open(copy.path(), true, db))) {
      EXPECT_TRUE(last_error() == 3049 || last_error() == 3343) << last_text();
      continue;
    }
    bool met = false;
    com<TableDefs> tables;
    ASSERT_EQ(db->get_TableDefs(tables.out()), S_OK);
    SHORT count = 0;
    tables->get_Count(&count);
    for (SHORT t = 0; t < count; ++t) {
      variant at = variant::i2(t);
      com<_TableDef> table;
      ASSERT_EQ(tables->get_Item(at.get(), table.out()), S_OK);
      bstr name;
      table->get_Name(name.out());
      com<Fields> fields;
      if (FAILED(table->get_Fields(fields.out()))) {
        EXPECT_EQ(last_error(), 3049) << last_text();
        met = true;
        continue;
      }
      com<Recordset> rs;
      if (FAILED(open_table(db.get(), name.text(), dbReadOnly, rs))) {
        EXPECT_EQ(last_error(), 3049) << last_text();
        met = true;
      }
    }
    EXPECT_TRUE(met) << "the damage went unnoticed";
    db->Close();
  }
}

}  // namespace
