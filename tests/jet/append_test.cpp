// Rows appended by us to tables of Access-made files, read back by our
// reader, by mdb-reader and by mdbtools.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/file/usage_map.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/table/cursor.h"
#include "jet/table/row.h"
#include "jet/tool/check.h"
#include "platform/codepage.h"
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

jet_value text_value(uint8_t type, const std::u16string& text) {
  jet_value value = jet_value::null(type);
  value.is_null = false;
  value.text = text;
  return value;
}

std::u16string long_text(size_t length) {
  std::u16string text;
  for (size_t i = 0; i < length; ++i) text.push_back(char16_t(i % 7 == 0 ? 0x3b1 : 'a' + i % 26));
  return text;
}

// A copy of a sample, or empty when the samples are absent.
std::unique_ptr<scratch_file> sample_copy(const char* name) {
  std::string sample = jet4_sample(name);
  if (!std::filesystem::exists(sample)) return nullptr;
  auto copy = std::make_unique<scratch_file>(name);
  std::filesystem::copy_file(sample, copy->path());
  std::filesystem::permissions(copy->path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  return copy;
}

std::vector<std::vector<jet_value>> all_rows(const jet_database& db, const char16_t* table) {
  jet_table_def def = db.table_def(*db.find_table(table));
  jet_table_cursor cursor(db.pager(), def);
  std::vector<std::vector<jet_value>> rows;
  std::vector<jet_value> row;
  while (cursor.next(row)) rows.push_back(row);
  return rows;
}

}  // namespace

TEST(jet_append, memo_values_inline_single_page_and_chained_read_back_everywhere) {
  auto file = sample_copy("fixedNumericTestV2000.mdb");
  if (!file) GTEST_SKIP() << "fixedNumericTestV2000.mdb not available";
  const std::vector<size_t> lengths = {0, 5, 40, 1500, 9000, 30000};
  size_t before;
  {
    jet_database db(file->path(), false);
    before = all_rows(db, u"test").size();
    jet_table_writer writer(db, *db.find_table(u"test"));
    const jet_table_def& def = writer.def();
    for (size_t length : lengths) {
      std::vector<jet_value> row;
      for (const jet_column& column : def.columns) row.push_back(jet_value::null(column.type));
      ASSERT_EQ(def.columns[0].type, jet_type::memo);
      row[0] = text_value(jet_type::memo, long_text(length));
      writer.append(row);
    }
  }
  jet_database db(file->path(), true);
  auto rows = all_rows(db, u"test");
  ASSERT_EQ(rows.size(), before + lengths.size());
  for (size_t i = 0; i < lengths.size(); ++i) EXPECT_EQ(rows[before + i][0].text, long_text(lengths[i])) << lengths[i];
  EXPECT_EQ(db.table_def(*db.find_table(u"test")).row_count, before + lengths.size());

  int status;
  std::string count = run("mdb-count '" + file->path() + "' test", &status);
  EXPECT_EQ(status, 0) << count;
  EXPECT_EQ(count, std::to_string(before + lengths.size()) + "\n");
  std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
  if (std::filesystem::exists(readers + "/node_modules/mdb-reader")) {
    scratch_file dump("dump.json");
    run(std::string(JETUTIL_PATH) + " dump '" + file->path() + "' > '" + dump.path() + "'", &status);
    ASSERT_EQ(status, 0);
    std::string compared = run("node '" + readers + "/compare.mjs' '" + dump.path() + "' '" + file->path() + "'", &status);
    EXPECT_EQ(status, 0) << compared;
  }
}

TEST(jet_append, many_rows_fill_new_pages_and_every_reader_counts_them) {
  auto file = sample_copy("overflowTestV2000.mdb");
  if (!file) GTEST_SKIP() << "overflowTestV2000.mdb not available";
  size_t before;
  uint32_t pages_before;
  {
    jet_database db(file->path(), false);
    before = all_rows(db, u"Table1").size();
    pages_before = db.pager().page_count();
    jet_table_writer writer(db, *db.find_table(u"Table1"));
    for (int i = 0; i < 600; ++i) {
      std::vector<jet_value> row;
      for (const jet_column& column : writer.def().columns)
        row.push_back(text_value(column.type, u"r" + platform::utf8_to_utf16(std::to_string(i))));
      writer.append(row);
    }
  }
  jet_database db(file->path(), true);
  auto rows = all_rows(db, u"Table1");
  ASSERT_EQ(rows.size(), before + 600);
  EXPECT_EQ(rows.back()[0].text, u"r599");
  EXPECT_GT(db.pager().page_count(), pages_before + 5);
  int status;
  std::string count = run("mdb-count '" + file->path() + "' Table1", &status);
  EXPECT_EQ(status, 0) << count;
  EXPECT_EQ(count, std::to_string(before + 600) + "\n");
  std::string exported = run("mdb-export '" + file->path() + "' Table1 | grep -c '\"r599\"'", &status);
  EXPECT_EQ(exported, "1\n");
}

TEST(jet_append, refusals_carry_dao_numbers) {
  auto file = sample_copy("fixedNumericTestV2000.mdb");
  if (!file) GTEST_SKIP() << "fixedNumericTestV2000.mdb not available";
  auto number = [](const std::function<void()>& action) {
    try {
      action();
    } catch (const jet_error& error) {
      return error.number();
    }
    return 0;
  };
  {
    jet_database read_only(file->path(), true);
    EXPECT_EQ(number([&] { jet_table_writer writer(read_only, *read_only.find_table(u"test")); }), 3051);
  }
  jet_database db(file->path(), false);
  jet_table_writer writer(db, *db.find_table(u"test"));
  std::vector<jet_value> row;
  for (const jet_column& column : writer.def().columns) row.push_back(jet_value::null(column.type));
  EXPECT_EQ(number([&] { writer.append({}); }), 3001);
  row[1].is_null = false;
  row[1].bytes = {1, 2, 3};  // a Decimal is 17 bytes
  EXPECT_EQ(number([&] { writer.append(row); }), 3001);
}

TEST(jet_append, indexed_tables_keep_their_indexes_and_refuse_duplicates) {
  auto file = sample_copy("compIndexTestV2000.mdb");
  if (!file) GTEST_SKIP() << "compIndexTestV2000.mdb not available";
  size_t before;
  {
    jet_database db(file->path(), false);
    before = all_rows(db, u"Table1").size();
    jet_table_writer writer(db, *db.find_table(u"Table1"));
    for (int i = 0; i < 1500; ++i) {
      std::vector<jet_value> row;
      for (const jet_column& column : writer.def().columns) {
        jet_value value = jet_value::null(column.type);
        value.is_null = false;
        if (column.type == jet_type::long_integer) value.integer = 100000 - i * 7;
        else value.text = u"agent " + platform::utf8_to_utf16(std::to_string(i));
        row.push_back(value);
      }
      writer.append(row);
    }
    writer.close();
  }
  jet_database db(file->path(), true);
  EXPECT_EQ(all_rows(db, u"Table1").size(), before + 1500);
  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_GE(report.indexes_verified, 9);
  // The index now spans several leaves under an intermediate page.
  jet_table_def def = db.table_def(*db.find_table(u"Table1"));
  EXPECT_EQ(db.pager().read_page(def.real_indexes[0].first_page)[0], 0x03);
  // Beside the index: its number of distinct keys (CD_AGENTE values).
  std::set<int64_t> distinct;
  for (const auto& row : all_rows(db, u"Table1")) distinct.insert(row[0].integer);
  EXPECT_EQ(def.real_indexes[0].row_count, distinct.size());

  std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
  int status;
  if (std::filesystem::exists(readers + "/node_modules/mdb-reader")) {
    scratch_file dump("dump.json");
    run(std::string(JETUTIL_PATH) + " dump '" + file->path() + "' > '" + dump.path() + "'", &status);
    ASSERT_EQ(status, 0);
    std::string compared = run("node '" + readers + "/compare.mjs' '" + dump.path() + "' '" + file->path() + "'", &status);
    EXPECT_EQ(status, 0) << compared;
  }
  std::string count = run("mdb-count '" + file->path() + "' Table1", &status);
  EXPECT_EQ(count, std::to_string(before + 1500) + "\n");
}

TEST(jet_append, a_duplicate_in_a_unique_index_is_refused_with_3022_and_not_written) {
  auto file = sample_copy("testIndexPropertiesV2000.mdb");
  if (!file) GTEST_SKIP() << "testIndexPropertiesV2000.mdb not available";
  // TableUnique2_temp: a unique index over (data1, data2), the primary key over row.
  size_t before;
  {
    jet_database db(file->path(), false);
    before = all_rows(db, u"TableUnique2_temp").size();
    jet_table_writer writer(db, *db.find_table(u"TableUnique2_temp"));
    auto row = [](const char16_t* key, const char16_t* data1, int64_t data2) {
      std::vector<jet_value> values = {text_value(jet_type::text, key), text_value(jet_type::text, data1 ? data1 : u""),
                                       jet_value::null(jet_type::long_integer)};
      if (!data1) values[1] = jet_value::null(jet_type::text);
      if (data2 >= 0) {
        values[2].is_null = false;
        values[2].integer = data2;
      }
      return values;
    };
    writer.append(row(u"row20", u"stuff", 14));
    auto refused = [&](std::vector<jet_value> values) {
      try {
        writer.append(values);
      } catch (const jet_error& error) {
        return error.number();
      }
      return 0;
    };
    EXPECT_EQ(refused(row(u"row21", u"stuff", 13)), 3022);  // (stuff, 13) is row0's
    EXPECT_EQ(refused(row(u"row20", u"new", 1)), 3022);     // the primary key again
    writer.append(row(u"row22", nullptr, -1));              // null in every column never collides
    writer.append(row(u"row23", nullptr, -1));
    writer.close();
  }
  jet_database db(file->path(), true);
  EXPECT_EQ(all_rows(db, u"TableUnique2_temp").size(), before + 3);
  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
}

TEST(jet_append, rows_with_hyphens_apostrophes_and_accents_in_text_keys_are_indexed) {
  auto file = sample_copy("fixedTextTestV2000.mdb");
  if (!file) GTEST_SKIP() << "fixedTextTestV2000.mdb not available";
  {
    jet_database db(file->path(), false);
    jet_table_writer writer(db, *db.find_table(u"users"));  // Access's keys hold "-1"
    std::vector<jet_value> row;
    for (const jet_column& column : writer.def().columns) row.push_back(jet_value::null(column.type));
    row[0].is_null = false;
    row[0].integer = 1000;
    row[1] = text_value(jet_type::text, u"O'Brien");
    row[3] = text_value(jet_type::text, u"-2");
    row[4] = text_value(jet_type::text, u"Z\u00fcrich-S\u00fcd \u041c\u043e\u0441\u043a\u0432\u0430");
    row[8] = text_value(jet_type::text, u"\u00e9");
    writer.append(row);
  }
  jet_database db(file->path(), true);
  auto rows = all_rows(db, u"users");
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back()[1].text, u"O'Brien");
  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_EQ(report.indexes_unverified, 0);
}

TEST(jet_append, page_maps_grow_past_their_inline_reach_into_bitmap_pages) {
  scratch_file file("big.mdb");
  jet_create_database(file.path());
  const size_t rows = 600;  // one 3000-byte value a page: the file passes 512 pages
  {
    jet_database db(file.path(), false);
    jet_create_table(db, u"Blobs", {{u"N", jet_type::long_integer}, {u"Data", jet_type::long_binary}}, {});
    jet_table_writer writer(db, *db.find_table(u"Blobs"));
    for (size_t i = 0; i < rows; ++i) {
      std::vector<jet_value> row = {jet_value::null(jet_type::long_integer), jet_value::null(jet_type::long_binary)};
      row[0].is_null = false;
      row[0].integer = int64_t(i);
      row[1].is_null = false;
      row[1].bytes.assign(3000, uint8_t(i));
      writer.append(row);
    }
  }
  jet_database db(file.path(), true);
  EXPECT_GT(db.pager().page_count(), 600u);
  jet_table_def def = db.table_def(*db.find_table(u"Blobs"));
  auto all = all_rows(db, u"Blobs");
  ASSERT_EQ(all.size(), rows);
  for (size_t i = 0; i < rows; i += 97) EXPECT_EQ(all[i][1].bytes, std::vector<uint8_t>(3000, uint8_t(i)));
  // Every long-value page is in the column's map, which had to become a list of bitmap pages.
  ASSERT_EQ(def.column_maps.size(), 1u);
  std::vector<uint32_t> mapped = jet_read_usage_map(db.pager(), def.column_maps[0].owned_pages);
  jet_table_cursor cursor(db.pager(), def);
  std::vector<uint8_t> stored;
  size_t checked = 0;
  while (cursor.next_stored(stored)) {
    std::vector<jet_cell> cells = jet_split_row(def, jet_view(stored, file.path()));
    uint32_t value_page = jet_view(cells[1].bytes, file.path()).u32(4) >> 8;
    EXPECT_TRUE(std::binary_search(mapped.begin(), mapped.end(), value_page)) << value_page;
    ++checked;
  }
  EXPECT_EQ(checked, rows);
  EXPECT_EQ(mapped.size(), rows);
  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
}
