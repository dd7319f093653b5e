// Tables created by us in databases of both versions (copies of Access-made
// files and files we created), with every DAO type and indexes, filled with
// rows, then read by our reader, the consistency check, mdbtools and
// mdb-reader; refusals, dropping, and permissions.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include "jet/database/database.h"
#include "jet/database/drop_table.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/file/usage_map.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/format/value.h"
#include "jet/table/cursor.h"
#include "jet/tool/check.h"
#include "jet_values.h"
#include "sample_files.h"

namespace {

// mdb-reader's reading of the whole file against our dump; empty when they agree.
std::string mdb_reader_disagreement(const std::string& path) {
  std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
  if (!std::filesystem::exists(readers + "/node_modules/mdb-reader")) return "";
  scratch_file dump("dump.json");
  int status;
  run(std::string(JETUTIL_PATH) + " dump '" + path + "' > '" + dump.path() + "'", &status);
  if (status != 0) return "jetutil dump failed";
  std::string compared = run("node '" + readers + "/compare.mjs' '" + dump.path() + "' '" + path + "'", &status);
  return status == 0 ? "" : compared;
}

// A database to create tables in: a copy of an Access-made file, or one we create.
struct target {
  const char* label;
  bool jet3;
  const char* sample;  // null: a database of our own
  // The permission rows a new table gets (security id's first bytes, rights,
  // inheritable): the heirs of the Tables container in that file.
  std::vector<std::string> heirs;
  std::string related_sample;  // a file whose Table2 is in a relationship

  const jet_format& format() const { return jet3 ? jet_format_jet3() : jet_format_jet4(); }
  // Text as the file stores it: Jet 3 keeps code page 1252, and '?' for what it lacks.
  std::u16string stored(std::u16string text) const {
    if (jet3) std::replace(text.begin(), text.end(), u'\u0416', u'?');
    return text;
  }
  // The database, or null (and the test skipped) when its sample is absent.
  std::unique_ptr<scratch_file> make() const {
    auto file = std::make_unique<scratch_file>("target.mdb");
    if (!sample) {
      jet_create_database(file->path(), format());
      return file;
    }
    std::string path = jet3 ? jet3_sample(sample) : jet4_sample(sample);
    if (!std::filesystem::exists(path)) return nullptr;
    write_whole_file(file->path(), read_whole_file(path));
    return file;
  }
};

std::ostream& operator<<(std::ostream& out, const target& t) { return out << t.label; }

const std::vector<std::string> access2000_heirs = {"a633 1048319 0", "a4f74667 1048319 0", "a733 1048319 0"};
const std::vector<std::string> access97_heirs = {"0301 1048319 0", "01c55432 1048319 0", "0201 1048319 0"};

const target targets[] = {
    {"Access2000Copy", false, "emptyV2000.mdb", access2000_heirs, "indexTestV2000.mdb"},
    {"Access2000New", false, nullptr, access2000_heirs, "indexTestV2000.mdb"},
    {"Access97New", true, nullptr, access97_heirs, "indexTestV1997.mdb"},
    {"Access97Copy", true, "compIndexTestV1997.mdb", access97_heirs, "indexTestV1997.mdb"},
};

class jet_create : public ::testing::TestWithParam<target> {};

INSTANTIATE_TEST_SUITE_P(versions, jet_create, ::testing::ValuesIn(targets),
                         [](const auto& info) { return std::string(info.param.label); });

#define MAKE_TARGET(file)                                                            \
  auto file = GetParam().make();                                                     \
  if (!file) GTEST_SKIP() << GetParam().sample << " not available under " << DMW_SHARED_DIR

std::vector<jet_new_column> every_type() {
  return {{u"Id", jet_type::long_integer, 0, true, true},   {u"Flag", jet_type::boolean},
          {u"Small", jet_type::byte},                       {u"Count", jet_type::integer},
          {u"Money", jet_type::currency},                   {u"Ratio", jet_type::single},
          {u"Amount", jet_type::double_},                   {u"When", jet_type::date_time},
          {u"Raw", jet_type::binary, 16},                   {u"Full Name", jet_type::text, 50},
          {u"Blob", jet_type::long_binary},                 {u"Notes", jet_type::memo}};
}

std::vector<uint8_t> pattern(size_t length) {
  std::vector<uint8_t> out(length);
  for (size_t i = 0; i < length; ++i) out[i] = uint8_t(i * 7 + i / 251);
  return out;
}

std::u16string long_notes(size_t length) {
  std::u16string out;
  for (size_t i = 0; i < length; ++i) out.push_back(i % 11 == 0 ? u'\u00fc' : char16_t(u'a' + i % 26));
  return out;
}

// Rows 0-2 fill every column (row 2's memo null); row 3 is null but for
// its AutoNumber; row 4 holds text beyond ASCII, a 20,000-character memo
// and a 50,000-byte OLE value, which take chains of long-value rows.
constexpr int row_count = 5;
std::vector<jet_value> sample_row(int i) {
  std::vector<jet_value> row;
  for (const jet_new_column& column : every_type()) row.push_back(jet_value::null(column.type));
  if (i == 3) return row;
  if (i == 4) {
    row[1] = number(jet_type::boolean, 1);
    row[9] = text(jet_type::text, u"Gr\u00fc\u00dfe \u0416");
    row[10] = bytes(jet_type::long_binary, pattern(50000));
    row[11] = text(jet_type::memo, long_notes(20000));
    return row;
  }
  row[1] = number(jet_type::boolean, i % 2);
  row[2] = number(jet_type::byte, 200 + i);
  row[3] = number(jet_type::integer, -1234 * i);
  row[4] = number(jet_type::currency, 123456789 * i);
  row[5] = number(jet_type::single, 0, 1.5 * i);
  row[6] = number(jet_type::double_, 0, -2.25e10 * i);
  row[7] = number(jet_type::date_time, 0, 36526.5 + i);
  row[8] = bytes(jet_type::binary, {uint8_t(i), 1, 2, 3});
  row[9] = text(jet_type::text, u"Name " + std::u16string(1, char16_t('A' + i)) + u" of twelve");
  row[10] = bytes(jet_type::long_binary, std::vector<uint8_t>(300 * (i + 1), uint8_t(i)));
  if (i != 2) row[11] = text(jet_type::memo, std::u16string(2000 * i + 10, char16_t(u'a' + i)) + u"\u00e9t\u00e9 \u0416");
  return row;
}

}  // namespace

TEST_P(jet_create, a_table_of_every_type_reads_back_through_every_reader) {
  MAKE_TARGET(file);
  const target& param = GetParam();
  {
    jet_database db(file->path(), false);
    jet_create_table(db, u"Every Type", every_type(),
                     {{u"PrimaryKey", {{u"Id", true}}, true, true, false, true},
                      {u"ByName", {{u"Full Name", true}, {u"When", false}}, false, false, false, false}});
    jet_table_writer writer(db, *db.find_table(u"Every Type"));
    for (int i = 0; i < row_count; ++i) writer.append(sample_row(i));
    writer.close();
  }
  jet_database db(file->path(), true);
  const jet_catalog_entry* table = db.find_table(u"every type");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->dao_attributes(), 0u);
  jet_table_def def = db.table_def(*table);
  ASSERT_EQ(def.columns.size(), 12u);
  EXPECT_EQ(def.columns[9].name, u"Full Name");
  EXPECT_EQ(def.columns[9].length, param.jet3 ? 50 : 100);  // bytes: one or two a character
  EXPECT_TRUE(def.columns[0].is_auto_long());
  EXPECT_FALSE(def.columns[0].is_nullable());
  EXPECT_EQ(def.row_count, uint32_t(row_count));
  jet_table_cursor cursor(db.pager(), def);
  std::vector<jet_value> row;
  for (int i = 0; i < row_count; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    ASSERT_TRUE(cursor.next(row));
    std::vector<jet_value> expected = sample_row(i);
    EXPECT_EQ(row[0].integer, i + 1);  // AutoNumber from 1
    EXPECT_EQ(row[1].integer, expected[1].is_null ? 0 : expected[1].integer);  // a null Boolean is No
    for (size_t c = 2; c < row.size(); ++c) EXPECT_EQ(row[c].is_null, expected[c].is_null) << c;
    if (i == 3) continue;
    if (i < 3) {
      EXPECT_EQ(row[2].integer, 200 + i);
      EXPECT_EQ(row[3].integer, -1234 * i);
      EXPECT_EQ(row[4].integer, 123456789 * i);
      EXPECT_EQ(row[5].real, 1.5 * i);
      EXPECT_EQ(row[6].real, -2.25e10 * i);
      EXPECT_EQ(row[7].real, 36526.5 + i);
      EXPECT_EQ(row[8].bytes, expected[8].bytes);
    }
    EXPECT_EQ(row[9].text, param.stored(expected[9].text));
    EXPECT_EQ(row[10].bytes, expected[10].bytes);
    if (!expected[11].is_null) {
      EXPECT_EQ(row[11].text, param.stored(expected[11].text));
    }
  }
  EXPECT_FALSE(cursor.next(row));

  // Permissions as Access gives a new table in a file of this workgroup
  // (the tables of testIndexPropertiesV2000.mdb and compIndexTestV1997.mdb
  // carry the same rows): the full rights of the Tables container's heirs,
  // the first of them owning it.
  jet_table_def aces = db.table_def(*db.find_table(u"MSysACEs"));
  jet_table_cursor ace_cursor(db.pager(), aces);
  std::vector<std::string> granted;
  while (ace_cursor.next(row))
    if (row[0].integer == int64_t(def.page))
      granted.push_back(jet_hex(row[1].bytes).substr(0, 8) + " " + std::to_string(row[2].integer) + " " +
                        std::to_string(row[3].integer));
  EXPECT_EQ(granted, param.heirs);
  EXPECT_EQ(table->id, int32_t(def.page));
  jet_table_def catalog = db.table_def(*db.find_table(u"MSysObjects"));
  jet_table_cursor catalog_cursor(db.pager(), catalog);
  while (catalog_cursor.next(row)) {
    if (row[2].text == u"Every Type") {
      EXPECT_EQ(jet_hex(row[6].bytes), param.heirs[0].substr(0, 4));
    }
  }

  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_TRUE(report.notes.empty()) << report.notes[0];  // our writers keep row counts exact
  EXPECT_EQ(report.indexes_unverified, 0);
  EXPECT_GE(report.indexes_verified, param.jet3 && !param.sample ? 9 : 10);  // Jet 3 new: no MSysAccessObjects

  int status;
  std::string tables = run("mdb-tables -1 '" + file->path() + "'", &status);
  EXPECT_NE(tables.find("Every Type"), std::string::npos) << tables;
  std::string schema = run("mdb-schema -T 'Every Type' '" + file->path() + "'", &status);
  EXPECT_EQ(status, 0) << schema;
  for (const char* column : {"Full Name", "Notes", "Blob", "When", "Money"})
    EXPECT_NE(schema.find(column), std::string::npos) << column << "\n" << schema;
  std::string exported = run("mdb-export '" + file->path() + "' 'Every Type'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(exported.find("Name B"), std::string::npos) << exported.substr(0, 500);
  EXPECT_NE(exported.find(param.jet3 ? "Gr\u00fc\u00dfe ?" : "Gr\u00fc\u00dfe \u0416"), std::string::npos);
  EXPECT_EQ(run("mdb-count '" + file->path() + "' 'Every Type'", &status), std::to_string(row_count) + "\n");
  EXPECT_EQ(mdb_reader_disagreement(file->path()), "");
}

TEST_P(jet_create, impossible_definitions_are_refused_with_dao_numbers) {
  MAKE_TARGET(file);
  jet_database db(file->path(), false);
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
  EXPECT_EQ(number(u"T", {{u"a", 13}}), 3259);
  // Decimal came with Jet 4.
  if (GetParam().jet3) {
    EXPECT_EQ(number(u"T", {{u"a", jet_type::numeric}}), 3259);
  }
  EXPECT_EQ(db.pager().page_count(), pages) << "a refused table left pages behind";
  EXPECT_EQ(number(u"T", {{u"a", jet_type::long_integer}}), 0);
  EXPECT_EQ(number(u"t", {{u"a", jet_type::long_integer}}), 3010);
}

TEST_P(jet_create, rows_that_repeat_a_unique_key_or_outgrow_a_page_are_refused_and_not_written) {
  MAKE_TARGET(file);
  const size_t wide_columns = GetParam().jet3 ? 9 : 17;  // 255 bytes each: more than a page's largest row
  std::vector<jet_new_column> columns = {{u"Key", jet_type::long_integer}, {u"Code", jet_type::text, 20}};
  for (size_t i = 0; i < wide_columns; ++i)
    columns.push_back({u"Wide" + std::u16string(1, char16_t(u'A' + i)), jet_type::binary, 255});
  auto row = [&](int64_t key, const std::u16string& code, size_t wide) {
    std::vector<jet_value> values = {number(jet_type::long_integer, key), text(jet_type::text, code)};
    for (size_t i = 0; i < wide_columns; ++i)
      values.push_back(i < wide ? bytes(jet_type::binary, std::vector<uint8_t>(255, uint8_t(i))) : jet_value::null(jet_type::binary));
    return values;
  };
  auto refused = [](const std::function<void()>& action) {
    try {
      action();
    } catch (const jet_error& error) {
      return error.number();
    }
    return 0;
  };
  {
    jet_database db(file->path(), false);
    jet_create_table(db, u"Keys", columns,
                     {{u"PrimaryKey", {{u"Key", true}}, true, true, false, true},
                      {u"Codes", {{u"Code", true}, {u"Key", false}}, false, true, false, false}});
    jet_table_writer writer(db, *db.find_table(u"Keys"));
    writer.append(row(1, u"one", 1));
    writer.append(row(2, u"two", wide_columns - 2));
    EXPECT_EQ(refused([&] { writer.append(row(1, u"again", 0)); }), 3022);
    EXPECT_EQ(refused([&] { writer.append(row(3, u"two", 0)); }), 0);  // (Code, Key) differs
    EXPECT_EQ(refused([&] { writer.append(row(9, u"big", wide_columns)); }), 3047);
    writer.close();
  }
  jet_database db(file->path(), true);
  jet_table_def def = db.table_def(*db.find_table(u"Keys"));
  EXPECT_EQ(def.row_count, 3u);
  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_TRUE(report.notes.empty()) << report.notes[0];  // our writers keep row counts exact
  int status;
  EXPECT_EQ(run("mdb-count '" + file->path() + "' Keys", &status), "3\n");
  EXPECT_EQ(mdb_reader_disagreement(file->path()), "");
}

TEST_P(jet_create, deleted_tables_leave_the_catalog_and_free_their_pages) {
  MAKE_TARGET(file);
  uint32_t table_page;
  size_t catalog_rows, ace_rows;
  std::vector<std::string> tables_before;
  int status;
  {
    std::string listed = run("mdb-tables -1 '" + file->path() + "'", &status);
    for (size_t at = 0, end; (end = listed.find('\n', at)) != std::string::npos; at = end + 1)
      tables_before.push_back(listed.substr(at, end - at));
  }
  {
    jet_database db(file->path(), false);
    catalog_rows = db.catalog().size();
    ace_rows = db.table_def(*db.find_table(u"MSysACEs")).row_count;
    table_page = jet_create_table(db, u"Gone", every_type(), {{u"PrimaryKey", {{u"Id", true}}, true, true, false, true}});
    jet_create_table(db, u"Kept", {{u"K", jet_type::long_integer}}, {});
    jet_table_writer writer(db, *db.find_table(u"Gone"));
    for (int i = 0; i < row_count; ++i) writer.append(sample_row(i));
    writer.close();
  }
  {
    jet_database db(file->path(), false);
    EXPECT_THROW(jet_delete_table(db, u"MSysObjects"), jet_error);
    EXPECT_THROW(jet_delete_table(db, u"Nowhere"), jet_error);
    jet_delete_table(db, u"gone");
    EXPECT_EQ(db.find_table(u"Gone"), nullptr);
    EXPECT_NE(db.find_table(u"Kept"), nullptr);
  }
  jet_database db(file->path(), true);
  EXPECT_EQ(db.catalog().size(), catalog_rows + 1);
  EXPECT_EQ(db.table_def(*db.find_table(u"MSysACEs")).row_count, ace_rows + 3);
  // The definition page is free again in the global map.
  std::vector<uint32_t> free_pages = jet_read_usage_map(db.pager(), jet_row_pointer(1, 0), true);
  EXPECT_TRUE(std::binary_search(free_pages.begin(), free_pages.end(), table_page));
  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_TRUE(report.notes.empty()) << report.notes[0];  // our writers keep row counts exact
  std::string tables = run("mdb-tables -1 '" + file->path() + "'", &status);
  std::string expected;
  for (const std::string& name : tables_before) expected += name + "\n";
  EXPECT_EQ(tables, expected + "Kept\n");
  EXPECT_EQ(mdb_reader_disagreement(file->path()), "");
}

TEST_P(jet_create, tables_in_relationships_are_not_deleted) {
  std::string sample = GetParam().jet3 ? jet3_sample(GetParam().related_sample) : jet4_sample(GetParam().related_sample);
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << sample << " not available";
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

TEST_P(jet_create, field_properties_are_stored_as_access_stores_them) {
  MAKE_TARGET(file);
  const jet_format& format = GetParam().format();
  {
    jet_database db(file->path(), false);
    std::vector<jet_new_column> columns = {{u"Code", jet_type::text, 10, false, false},
                                           {u"Qty", jet_type::long_integer, 0, false, false}};
    jet_create_table(db, u"Stock", columns, {},
                     {{jet_boolean_property(u"Required", true), jet_boolean_property(u"AllowZeroLength", true),
                       jet_text_property(format, u"DefaultValue", u"\"N/A\"")},
                      {jet_text_property(format, u"DefaultValue", u"12")}});
  }
  jet_database db(file->path(), true);
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
  const std::vector<uint8_t> twelve = GetParam().jet3 ? std::vector<uint8_t>{'1', '2'} : std::vector<uint8_t>{'1', 0, '2', 0};
  EXPECT_EQ(fallback->value, twelve);
  int status;
  std::string shown = run("mdb-prop '" + file->path() + "' Stock", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(shown.find("DefaultValue: \"N/A\""), std::string::npos) << shown;
  EXPECT_NE(shown.find("DefaultValue: 12"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Required: yes"), std::string::npos) << shown;
}
