// Tables created by us in an Access-made database, with every DAO type and
// indexes, filled with rows, then read by our reader, the consistency
// check, mdbtools and mdb-reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "jet/database/database.h"
#include "jet/database/drop_table.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/file/usage_map.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/value.h"
#include "jet/table/cursor.h"
#include "jet/tool/check.h"
#include "sample_files.h"

namespace {

std::string run(const std::string& command, int* status) {
  std::string output;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1").c_str(), "r"), ::pclose);
  std::array<char, 4096> buffer;
  size_t got;
  while (pipe && (got = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) output.append(buffer.data(), got);
  *status = pipe ? ::pclose(pipe.release()) : -1;
  return output;
}

std::vector<jet_new_column> every_type() {
  return {{u"Id", jet_type::long_integer, 0, true, true},   {u"Flag", jet_type::boolean},
          {u"Small", jet_type::byte},                       {u"Count", jet_type::integer},
          {u"Money", jet_type::currency},                   {u"Ratio", jet_type::single},
          {u"Amount", jet_type::double_},                   {u"When", jet_type::date_time},
          {u"Raw", jet_type::binary, 16},                   {u"Full Name", jet_type::text, 50},
          {u"Blob", jet_type::long_binary},                 {u"Notes", jet_type::memo}};
}

jet_value number(uint8_t type, int64_t integer, double real = 0) {
  jet_value value = jet_value::null(type);
  value.is_null = false;
  value.integer = integer;
  value.real = real;
  return value;
}

std::vector<jet_value> sample_row(int i) {
  std::vector<jet_value> row;
  row.push_back(jet_value::null(jet_type::long_integer));  // AutoNumber
  row.push_back(number(jet_type::boolean, i % 2));
  row.push_back(number(jet_type::byte, 200 + i));
  row.push_back(number(jet_type::integer, -1234 * i));
  row.push_back(number(jet_type::currency, 123456789 * i));
  row.push_back(number(jet_type::single, 0, 1.5 * i));
  row.push_back(number(jet_type::double_, 0, -2.25e10 * i));
  row.push_back(number(jet_type::date_time, 0, 36526.5 + i));
  jet_value raw = jet_value::null(jet_type::binary);
  raw.is_null = false;
  raw.bytes = {uint8_t(i), 1, 2, 3};
  row.push_back(raw);
  jet_value name = jet_value::null(jet_type::text);
  name.is_null = false;
  name.text = u"Name " + std::u16string(1, char16_t('A' + i)) + u" of twelve";
  row.push_back(name);
  jet_value blob = jet_value::null(jet_type::long_binary);
  blob.is_null = false;
  blob.bytes.assign(300 * (i + 1), uint8_t(i));
  row.push_back(blob);
  jet_value notes = jet_value::null(jet_type::memo);
  notes.is_null = false;
  notes.text = std::u16string(2000 * i + 10, char16_t(u'a' + i)) + u"\u00e9t\u00e9 \u0416";
  row.push_back(i == 2 ? jet_value::null(jet_type::memo) : notes);
  return row;
}

}  // namespace

TEST(jet_create, a_table_of_every_type_reads_back_through_every_reader) {
  std::string sample = jet4_sample("emptyV2000.mdb");
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "emptyV2000.mdb not available";
  scratch_file file("new.mdb");
  write_whole_file(file.path(), read_whole_file(sample));
  {
    jet_database db(file.path(), false);
    jet_create_table(db, u"Every Type", every_type(),
                     {{u"PrimaryKey", {{u"Id", true}}, true, true, false, true},
                      {u"ByName", {{u"Full Name", true}, {u"When", false}}, false, false, false, false}});
    jet_table_writer writer(db, *db.find_table(u"Every Type"));
    for (int i = 0; i < 3; ++i) writer.append(sample_row(i));
    writer.close();
  }
  jet_database db(file.path(), true);
  const jet_catalog_entry* table = db.find_table(u"every type");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->dao_attributes(), 0u);
  jet_table_def def = db.table_def(*table);
  ASSERT_EQ(def.columns.size(), 12u);
  EXPECT_EQ(def.columns[9].name, u"Full Name");
  EXPECT_EQ(def.columns[9].length, 100);
  EXPECT_TRUE(def.columns[0].is_auto_long());
  EXPECT_FALSE(def.columns[0].is_nullable());
  jet_table_cursor cursor(db.pager(), def);
  std::vector<jet_value> row;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(cursor.next(row));
    std::vector<jet_value> expected = sample_row(i);
    EXPECT_EQ(row[0].integer, i + 1);  // AutoNumber from 1
    EXPECT_EQ(row[1].integer, i % 2);
    EXPECT_EQ(row[2].integer, 200 + i);
    EXPECT_EQ(row[3].integer, -1234 * i);
    EXPECT_EQ(row[4].integer, 123456789 * i);
    EXPECT_EQ(row[5].real, 1.5 * i);
    EXPECT_EQ(row[6].real, -2.25e10 * i);
    EXPECT_EQ(row[7].real, 36526.5 + i);
    EXPECT_EQ(row[8].bytes, expected[8].bytes);
    EXPECT_EQ(row[9].text, expected[9].text);
    EXPECT_EQ(row[10].bytes, expected[10].bytes);
    EXPECT_EQ(row[11].is_null, i == 2);
    if (i != 2) {
      EXPECT_EQ(row[11].text, expected[11].text);
    }
  }
  EXPECT_FALSE(cursor.next(row));

  // Permissions as Access gives a new table in a file of this workgroup
  // (the tables of testIndexPropertiesV2000.mdb carry the same rows): the
  // full rights of the Tables container's heirs, the first of them owning it.
  jet_table_def aces = db.table_def(*db.find_table(u"MSysACEs"));
  jet_table_cursor ace_cursor(db.pager(), aces);
  std::vector<std::string> granted;
  while (ace_cursor.next(row))
    if (row[0].integer == int64_t(def.page))
      granted.push_back(jet_hex(row[1].bytes).substr(0, 8) + " " + std::to_string(row[2].integer) + " " +
                        std::to_string(row[3].integer));
  EXPECT_EQ(granted, (std::vector<std::string>{"a633 1048319 0", "a4f74667 1048319 0", "a733 1048319 0"}));
  for (const jet_catalog_entry& entry : db.catalog()) {
    if (entry.name == u"Every Type") {
      EXPECT_EQ(entry.id, int32_t(def.page));
    }
  }
  jet_table_def catalog = db.table_def(*db.find_table(u"MSysObjects"));
  jet_table_cursor catalog_cursor(db.pager(), catalog);
  while (catalog_cursor.next(row)) {
    if (row[2].text == u"Every Type") {
      EXPECT_EQ(jet_hex(row[6].bytes), "a633");
    }
  }

  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_GE(report.indexes_verified, 10);

  int status;
  std::string tables = run("mdb-tables -1 '" + file.path() + "'", &status);
  EXPECT_NE(tables.find("Every Type"), std::string::npos) << tables;
  std::string schema = run("mdb-schema -T 'Every Type' '" + file.path() + "'", &status);
  EXPECT_EQ(status, 0) << schema;
  for (const char* column : {"Full Name", "Notes", "Blob", "When", "Money"})
    EXPECT_NE(schema.find(column), std::string::npos) << column << "\n" << schema;
  std::string exported = run("mdb-export '" + file.path() + "' 'Every Type'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(exported.find("Name B"), std::string::npos) << exported.substr(0, 500);
  std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
  if (std::filesystem::exists(readers + "/node_modules/mdb-reader")) {
    scratch_file dump("dump.json");
    run(std::string(JETUTIL_PATH) + " dump '" + file.path() + "' > '" + dump.path() + "'", &status);
    ASSERT_EQ(status, 0);
    std::string compared = run("node '" + readers + "/compare.mjs' '" + dump.path() + "' '" + file.path() + "'", &status);
    EXPECT_EQ(status, 0) << compared;
  }
}

TEST(jet_create, impossible_definitions_are_refused_with_dao_numbers) {
  std::string sample = jet4_sample("emptyV2000.mdb");
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "emptyV2000.mdb not available";
  scratch_file file("bad.mdb");
  write_whole_file(file.path(), read_whole_file(sample));
  jet_database db(file.path(), false);
  auto number = [&](const std::u16string& name, const std::vector<jet_new_column>& columns) {
    try {
      jet_create_table(db, name, columns, {});
    } catch (const jet_error& error) {
      return error.number();
    }
    return 0;
  };
  uint32_t pages = db.pager().page_count();
  EXPECT_EQ(number(u"MSysObjects", {{u"a", jet_type::long_integer}}), 3010);
  EXPECT_EQ(number(u"", {{u"a", jet_type::long_integer}}), 3125);
  EXPECT_EQ(number(u" lead", {{u"a", jet_type::long_integer}}), 3125);
  EXPECT_EQ(number(u"a.b", {{u"a", jet_type::long_integer}}), 3125);
  EXPECT_EQ(number(u"a[1]", {{u"a", jet_type::long_integer}}), 3125);
  EXPECT_EQ(number(std::u16string(65, u'x'), {{u"a", jet_type::long_integer}}), 3125);
  EXPECT_EQ(number(u"T", {{u"bad!", jet_type::long_integer}}), 3125);
  EXPECT_EQ(number(u"T", {{u"a", jet_type::long_integer}, {u"A", jet_type::text, 10}}), 3191);
  EXPECT_EQ(number(u"T", {{u"a", jet_type::text, 0}}), 3001);
  EXPECT_EQ(number(u"T", {{u"a", jet_type::text, 10, false, true}}), 3001);
  EXPECT_EQ(db.pager().page_count(), pages) << "a refused table left pages behind";
  EXPECT_EQ(number(u"T", {{u"a", jet_type::long_integer}}), 0);
  EXPECT_EQ(number(u"t", {{u"a", jet_type::long_integer}}), 3010);
}

TEST(jet_create, deleted_tables_leave_the_catalog_and_free_their_pages) {
  std::string sample = jet4_sample("emptyV2000.mdb");
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "emptyV2000.mdb not available";
  scratch_file file("del.mdb");
  write_whole_file(file.path(), read_whole_file(sample));
  uint32_t table_page;
  size_t catalog_rows, ace_rows;
  {
    jet_database db(file.path(), false);
    catalog_rows = db.catalog().size();
    ace_rows = db.table_def(*db.find_table(u"MSysACEs")).row_count;
    table_page = jet_create_table(db, u"Gone", every_type(), {{u"PrimaryKey", {{u"Id", true}}, true, true, false, true}});
    jet_create_table(db, u"Kept", {{u"K", jet_type::long_integer}}, {});
    jet_table_writer writer(db, *db.find_table(u"Gone"));
    for (int i = 0; i < 3; ++i) writer.append(sample_row(i));
    writer.close();
  }
  {
    jet_database db(file.path(), false);
    EXPECT_THROW(jet_delete_table(db, u"MSysObjects"), jet_error);
    EXPECT_THROW(jet_delete_table(db, u"Nowhere"), jet_error);
    jet_delete_table(db, u"gone");
    EXPECT_EQ(db.find_table(u"Gone"), nullptr);
    EXPECT_NE(db.find_table(u"Kept"), nullptr);
  }
  jet_database db(file.path(), true);
  EXPECT_EQ(db.catalog().size(), catalog_rows + 1);
  EXPECT_EQ(db.table_def(*db.find_table(u"MSysACEs")).row_count, ace_rows + 3);
  // The definition page is free again in the global map.
  std::vector<uint32_t> free_pages = jet_read_usage_map(db.pager(), jet_row_pointer(1, 0), true);
  EXPECT_TRUE(std::binary_search(free_pages.begin(), free_pages.end(), table_page));
  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  int status;
  std::string tables = run("mdb-tables -1 '" + file.path() + "'", &status);
  EXPECT_EQ(tables, "Kept\n");
  std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
  if (std::filesystem::exists(readers + "/node_modules/mdb-reader")) {
    scratch_file dump("dump.json");
    run(std::string(JETUTIL_PATH) + " dump '" + file.path() + "' > '" + dump.path() + "'", &status);
    ASSERT_EQ(status, 0);
    std::string compared = run("node '" + readers + "/compare.mjs' '" + dump.path() + "' '" + file.path() + "'", &status);
    EXPECT_EQ(status, 0) << compared;
  }
}

TEST(jet_create, tables_in_relationships_are_not_deleted) {
  std::string sample = jet4_sample("indexTestV2000.mdb");
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "indexTestV2000.mdb not available";
  scratch_file file("rel.mdb");
  write_whole_file(file.path(), read_whole_file(sample));
  std::vector<uint8_t> before = read_whole_file(file.path());
  jet_database db(file.path(), false);
  try {
    jet_delete_table(db, u"Table2");  // Table1's otherfk1 refers to it
    ADD_FAILURE() << "a table in a relationship was deleted";
  } catch (const jet_error& error) {
    EXPECT_EQ(error.number(), 3303);
  }
  EXPECT_EQ(read_whole_file(file.path()), before);
}

TEST(jet_create, field_properties_are_stored_as_access_stores_them) {
  std::string sample = jet4_sample("emptyV2000.mdb");
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "emptyV2000.mdb not available";
  scratch_file file("props.mdb");
  write_whole_file(file.path(), read_whole_file(sample));
  {
    jet_database db(file.path(), false);
    std::vector<jet_new_column> columns = {{u"Code", jet_type::text, 10, false, false},
                                           {u"Qty", jet_type::long_integer, 0, false, false}};
    jet_create_table(db, u"Stock", columns, {},
                     {{jet_boolean_property(u"Required", true), jet_boolean_property(u"AllowZeroLength", true),
                       jet_text_property(jet_format_jet4(), u"DefaultValue", u"\"N/A\"")},
                      {jet_text_property(jet_format_jet4(), u"DefaultValue", u"12")}});
  }
  jet_database db(file.path(), true);
  std::vector<jet_property_block> blocks = db.properties(*db.find_table(u"Stock"));
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_TRUE(blocks[0].is_object);
  EXPECT_EQ(blocks[1].name, u"Code");
  const jet_property* required = blocks[1].find(u"Required");
  ASSERT_NE(required, nullptr);
  EXPECT_EQ(required->type, 1);
  EXPECT_EQ(required->ddl, 1);
  EXPECT_EQ(required->value, std::vector<uint8_t>{1});
  const jet_property* fallback = blocks[2].find(u"DefaultValue");
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(fallback->type, 12);
  EXPECT_EQ(fallback->value, (std::vector<uint8_t>{'1', 0, '2', 0}));
  int status;
  std::string shown = run("mdb-prop '" + file.path() + "' Stock", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(shown.find("DefaultValue: \"N/A\""), std::string::npos) << shown;
  EXPECT_NE(shown.find("DefaultValue: 12"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Required: yes"), std::string::npos) << shown;
}
