// Rows appended by us to tables of Access-made files, read back by our
// reader, by mdb-reader and by mdbtools.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_pages.h"
#include "jet/database/table_writer.h"
#include "jet/file/data_page.h"
#include "jet/file/usage_map.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/table/cursor.h"
#include "jet/table/row.h"
#include "jet/table/value_cell.h"
#include "jet/tool/check.h"
#include "platform/codepage.h"
#include "sample_files.h"

namespace {

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
std::unique_ptr<scratch_file> sample_copy(const char* name, bool jet3 = false) {
  std::string sample = jet3 ? jet3_sample(name) : jet4_sample(name);
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

// The samples of each version that the tests below append to.
struct version_samples {
  const char* label;
  bool jet3;
  const char* memo_sample;     // a table with a Memo column
  const char16_t* memo_table;
  const char16_t* memo_column;
  const char* overflow_sample;  // overflowTest: Table1 of nine Text columns
  const char* index_sample;     // compIndexTest: Table1 with a Long index
  uint32_t map_reach;           // pages an inline usage map covers

  // Text as the file stores it. Jet 3 keeps code page 1252 and '?' for the
  // rest; the text here holds no character above U+00FF that 1252 has.
  std::u16string stored(std::u16string text) const {
    if (jet3)
      for (char16_t& c : text)
        if (c > 0xff) c = u'?';
    return text;
  }
};

std::ostream& operator<<(std::ostream& out, const version_samples& v) { return out << v.label; }

class jet_append_versions : public ::testing::TestWithParam<version_samples> {};

INSTANTIATE_TEST_SUITE_P(
    versions, jet_append_versions,
    ::testing::Values(version_samples{"Access2000", false, "fixedNumericTestV2000.mdb", u"test", u"col1",
                                      "overflowTestV2000.mdb", "compIndexTestV2000.mdb", 512},
                      version_samples{"Access97", true, "test2V1997.mdb", u"MSP_PROJECTS", u"PROJ_PROP_AUTHOR",
                                      "overflowTestV1997.mdb", "compIndexTestV1997.mdb", 1024}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace

TEST_P(jet_append_versions, memo_values_inline_single_page_and_chained_read_back_everywhere) {
  const version_samples& v = GetParam();
  auto file = sample_copy(v.memo_sample, v.jet3);
  if (!file) GTEST_SKIP() << v.memo_sample << " not available";
  // Inline, one long-value row, and chains of several pieces (4076 data
  // bytes a piece in Jet 4, 2032 in Jet 3).
  const std::vector<size_t> lengths = {0, 5, 40, 1500, 9000, 30000};
  size_t before, at = 0;
  {
    jet_database db(file->path(), false);
    before = all_rows(db, v.memo_table).size();
    jet_table_writer writer(db, *db.find_table(v.memo_table));
    const jet_table_def& def = writer.def();
    while (at < def.columns.size() && def.columns[at].name != v.memo_column) ++at;
    ASSERT_LT(at, def.columns.size());
    ASSERT_EQ(def.columns[at].type, jet_type::memo);
    for (size_t length : lengths) {
      std::vector<jet_value> row;
      for (const jet_column& column : def.columns) row.push_back(jet_value::null(column.type));
      row[at] = text_value(jet_type::memo, long_text(length));
      writer.append(row);
    }
  }
  jet_database db(file->path(), true);
  auto rows = all_rows(db, v.memo_table);
  ASSERT_EQ(rows.size(), before + lengths.size());
  for (size_t i = 0; i < lengths.size(); ++i)
    EXPECT_EQ(rows[before + i][at].text, v.stored(long_text(lengths[i]))) << lengths[i];
  EXPECT_EQ(db.table_def(*db.find_table(v.memo_table)).row_count, before + lengths.size());

  // Where each value went: the chained ones in pieces of a full page's row
  // less the link (4076 bytes in Jet 4, 2032 in Jet 3), the last one shorter.
  const uint32_t piece = db.format().max_row_size() - 4;
  EXPECT_EQ(piece, v.jet3 ? 2032u : 4076u);
  jet_table_def def = db.table_def(*db.find_table(v.memo_table));
  jet_table_cursor cursor(db.pager(), def);
  std::vector<uint8_t> stored;
  std::vector<std::string> placements;
  for (size_t row = 0; cursor.next_stored(stored); ++row) {
    if (row < before) continue;
    std::vector<jet_cell> cells = jet_split_row(def, jet_view(stored, file->path()));
    jet_view reference(cells[at].bytes, file->path());
    const uint32_t head = reference.u32(0), length = head & 0x3fffffff;
    if (v.jet3) {
      EXPECT_EQ(length, lengths[row - before]);  // one byte a character
    }
    if (head & 0x80000000) {
      placements.push_back("inline");
    } else if (head & 0x40000000) {
      placements.push_back("row");
      EXPECT_EQ(jet_fetch_row(db.pager(), reference.u32(4), jet_const::lval_owner_tag).bytes().size(), length);
    } else {
      size_t pieces = 0, total = 0;
      for (uint32_t link = reference.u32(4); link != 0;) {
        ++pieces;
        jet_fetched_row part = jet_fetch_row(db.pager(), link, jet_const::lval_owner_tag);
        size_t data = part.bytes().size() - 4;
        link = part.bytes().u32(0);
        total += data;
        if (link == 0) break;
        EXPECT_EQ(data, piece);
      }
      EXPECT_EQ(total, length);
      EXPECT_EQ(pieces, (length + piece - 1) / piece);
      placements.push_back("chain");
    }
  }
  // Values up to 64 bytes stay in the row (40 characters are 80 bytes in Jet 4).
  EXPECT_EQ(placements, (std::vector<std::string>{"inline", "inline", v.jet3 ? "inline" : "row", "row", "chain", "chain"}));
  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_TRUE(report.notes.empty()) << report.notes[0];  // our writers keep row counts exact

  int status;
  std::string count = run("mdb-count '" + file->path() + "' " + platform::utf16_to_utf8(v.memo_table), &status);
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

TEST_P(jet_append_versions, many_rows_fill_new_pages_and_every_reader_counts_them) {
  auto file = sample_copy(GetParam().overflow_sample, GetParam().jet3);
  if (!file) GTEST_SKIP() << GetParam().overflow_sample << " not available";
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

TEST_P(jet_append_versions, indexed_tables_keep_their_indexes_and_refuse_duplicates) {
  auto file = sample_copy(GetParam().index_sample, GetParam().jet3);
  if (!file) GTEST_SKIP() << GetParam().index_sample << " not available";
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
  EXPECT_TRUE(report.notes.empty()) << report.notes[0];  // our writers keep row counts exact
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
  EXPECT_TRUE(report.notes.empty()) << report.notes[0];  // our writers keep row counts exact
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
  EXPECT_TRUE(report.notes.empty()) << report.notes[0];  // our writers keep row counts exact
  EXPECT_EQ(report.indexes_unverified, 0);
}

TEST_P(jet_append_versions, page_maps_grow_past_their_inline_reach_into_bitmap_pages) {
  scratch_file file("big.mdb");
  jet_create_database(file.path(), GetParam().jet3 ? jet_format_jet3() : jet_format_jet4());
  // One value a page (3000 bytes on 4096-byte pages, 1500 on 2048): the file
  // passes the inline maps' reach (512 pages in Jet 4, 1024 in Jet 3).
  const size_t rows = GetParam().map_reach + 88;
  const size_t value_size = GetParam().jet3 ? 1500 : 3000;
  {
    jet_database db(file.path(), false);
    jet_create_table(db, u"Blobs", {{u"N", jet_type::long_integer}, {u"Data", jet_type::long_binary}}, {});
    jet_table_writer writer(db, *db.find_table(u"Blobs"));
    for (size_t i = 0; i < rows; ++i) {
      std::vector<jet_value> row = {jet_value::null(jet_type::long_integer), jet_value::null(jet_type::long_binary)};
      row[0].is_null = false;
      row[0].integer = int64_t(i);
      row[1].is_null = false;
      row[1].bytes.assign(value_size, uint8_t(i));
      writer.append(row);
    }
  }
  jet_database db(file.path(), true);
  EXPECT_GT(db.pager().page_count(), rows);
  jet_table_def def = db.table_def(*db.find_table(u"Blobs"));
  auto all = all_rows(db, u"Blobs");
  ASSERT_EQ(all.size(), rows);
  for (size_t i = 0; i < rows; i += 97) EXPECT_EQ(all[i][1].bytes, std::vector<uint8_t>(value_size, uint8_t(i)));
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
  EXPECT_FALSE(jet_usage_map_bitmap_pages(db.pager(), def.column_maps[0].owned_pages).empty());
  jet_check_report report = jet_check_database(db);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
  EXPECT_TRUE(report.notes.empty()) << report.notes[0];  // our writers keep row counts exact
  int status;
  EXPECT_EQ(run("mdb-count '" + file.path() + "' Blobs", &status), std::to_string(rows) + "\n");
}

namespace {

// A value of `column`'s type for generated row `k`, different for every k
// (a Byte's 256 values aside), fitting the column.
jet_value generated_value(const jet_column& column, int k) {
  jet_value value = jet_value::null(column.type);
  value.is_null = false;
  switch (column.type) {
    case jet_type::boolean: value.integer = k % 2; break;
    case jet_type::byte: value.integer = (k * 37 + 11) % 256; break;
    case jet_type::integer: value.integer = 20000 + k; break;
    case jet_type::long_integer: value.integer = 1000000 + k; break;
    case jet_type::currency: value.integer = int64_t(k) * 10000 + 5; break;
    case jet_type::single:
    case jet_type::double_: value.real = 0.5 + k; break;
    case jet_type::date_time: value.real = 40000.25 + k; break;
    case jet_type::binary: value.bytes = {uint8_t(k), uint8_t(k >> 8), 0xbb}; break;
    case jet_type::guid:
      value.bytes.assign(16, 0x5a);
      value.bytes[0] = uint8_t(k);
      value.bytes[1] = uint8_t(k >> 8);
      break;
    case jet_type::text: {
      std::u16string text = u"zz" + platform::utf8_to_utf16(std::to_string(k)) + u" Gr\u00fc\u00dfe";
      value.text = text.substr(0, column.length);  // Jet 3: one byte a character
      break;
    }
    case jet_type::memo: value.text = long_text(3000 + size_t(k)); break;
    case jet_type::long_binary: value.bytes.assign(5000 + size_t(k), uint8_t(k)); break;
    default: value.is_null = true;
  }
  return value;
}

}  // namespace

TEST(jet_append, rows_added_to_access_97_tables_leave_every_other_table_as_it_was) {
  // Every other user table of each Access 97 sample gets rows of generated
  // values (AutoNumbers given, foreign keys null); the file stays
  // consistent, the readers agree, the pages of the tables left alone (the
  // system tables among them) keep their bytes, and rows that repeat a
  // unique key are refused with 3022.
  std::vector<std::string> samples = jet3_sample_files();
  if (samples.empty()) GTEST_SKIP() << "no Access 97 samples under " << DMW_SHARED_DIR;
  const int rows_per_table = 12;
  int tables_filled = 0, duplicates_refused = 0;
  for (const std::string& sample : samples) {
    SCOPED_TRACE(sample);
    scratch_file file("copy97.mdb");
    write_whole_file(file.path(), read_whole_file(sample));
    std::map<std::u16string, size_t> expected_rows;
    std::map<uint32_t, std::vector<uint8_t>> untouched;
    {
      jet_database db(file.path(), false);
      std::vector<const jet_catalog_entry*> filled;
      size_t user_tables = 0;
      for (const jet_catalog_entry* table : db.tables()) {
        if (!table->is_local_table()) continue;
        bool fill = !table->is_system() && user_tables++ % 2 == 0;
        if (fill) {
          filled.push_back(table);
          continue;
        }
        for (uint32_t page : jet_table_pages(db, *table)) untouched[page] = db.pager().read_page(page);
      }
      for (const jet_catalog_entry* table : filled) {
        jet_table_writer writer(db, *table);
        const jet_table_def& def = writer.def();
        std::vector<bool> foreign_key(def.columns.size(), false);
        for (const jet_logical_index& index : def.indexes)
          if (index.type == jet_const::index_type_foreign)
            for (const jet_index_column& key : def.real_indexes[index.real_index].columns)
              for (size_t at = 0; at < def.columns.size(); ++at)
                if (def.columns[at].number == key.column_number) foreign_key[at] = true;
        // A stored row again breaks a unique index whose columns it fills.
        bool has_unique = false;
        for (const jet_real_index& index : def.real_indexes) has_unique |= bool(index.flags & jet_const::index_flag_unique);
        std::vector<std::vector<jet_value>> stored = all_rows(db, table->name.c_str());
        size_t added = 0;
        for (int k = 0; added < size_t(rows_per_table) && k < 4 * rows_per_table; ++k) {
          std::vector<jet_value> row;
          for (size_t at = 0; at < def.columns.size(); ++at) {
            const jet_column& column = def.columns[at];
            row.push_back(foreign_key[at] || column.is_auto_long() ? jet_value::null(column.type)
                                                                     : generated_value(column, k));
          }
          try {
            writer.append(row);
            ++added;
          } catch (const jet_error& error) {
            ASSERT_EQ(error.number(), 3022) << error.what();  // a Byte key met again
          }
        }
        ASSERT_EQ(added, size_t(rows_per_table)) << platform::utf16_to_utf8(table->name);
        if (has_unique && !stored.empty()) {
          bool filled_keys = true;
          for (const jet_real_index& index : def.real_indexes)
            if (index.flags & jet_const::index_flag_unique)
              for (const jet_index_column& key : index.columns)
                for (size_t at = 0; at < def.columns.size(); ++at)
                  if (def.columns[at].number == key.column_number && stored[0][at].is_null) filled_keys = false;
          if (filled_keys) {
            try {
              writer.append(stored[0]);
              ADD_FAILURE() << "a repeated key was written to " << platform::utf16_to_utf8(table->name);
            } catch (const jet_error& error) {
              EXPECT_EQ(error.number(), 3022);
              ++duplicates_refused;
            }
          }
        }
        writer.close();
        expected_rows[table->name] = stored.size() + added;
        ++tables_filled;
      }
    }
    jet_database db(file.path(), true);
    for (const auto& [page, bytes] : untouched) EXPECT_EQ(db.pager().read_page(page), bytes) << "page " << page << " changed";
    jet_check_report report = jet_check_database(db);
    for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
    for (const std::string& note : report.notes) ADD_FAILURE() << note;  // our writers keep row counts exact
    int status;
    for (const auto& [name, count] : expected_rows) {
      std::string counted = run("mdb-count '" + file.path() + "' '" + platform::utf16_to_utf8(name) + "'", &status);
      EXPECT_EQ(counted, std::to_string(count) + "\n") << platform::utf16_to_utf8(name);
    }
    std::string readers = std::string(DMW_SOURCE_DIR) + "/tools/readers";
    if (std::filesystem::exists(readers + "/node_modules/mdb-reader")) {
      scratch_file dump("dump.json");
      run(std::string(JETUTIL_PATH) + " dump '" + file.path() + "' > '" + dump.path() + "'", &status);
      ASSERT_EQ(status, 0);
      std::string compared = run("node '" + readers + "/compare.mjs' '" + dump.path() + "' '" + file.path() + "'", &status);
      EXPECT_EQ(status, 0) << compared;
    }
  }
  EXPECT_EQ(tables_filled, 25);
  EXPECT_GE(duplicates_refused, 5);
}

TEST(jet_append, rows_written_straight_from_values_are_the_rows_their_cells_join_to) {
  // Every user table of the samples of both versions takes generated rows,
  // every other value Null, AutoNumbers left to the writer; each stored row
  // is the row its own cells join to, and each cell is the value's.
  std::vector<std::string> samples = access_sample_files();
  if (samples.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  int rows_checked = 0;
  for (const std::string& sample : samples) {
    SCOPED_TRACE(sample);
    scratch_file file("direct.mdb");
    write_whole_file(file.path(), read_whole_file(sample));
    jet_database db(file.path(), false);
    std::vector<const jet_catalog_entry*> tables;
    for (const jet_catalog_entry* table : db.tables())
      if (table->is_local_table() && !table->is_system()) tables.push_back(table);
    for (const jet_catalog_entry* table : tables) {
      std::unique_ptr<jet_table_writer> writer;
      try {
        writer = std::make_unique<jet_table_writer>(db, *table);
      } catch (const jet_error&) {
        continue;  // keys the engine cannot encode yet
      }
      const jet_table_def& def = writer->def();
      for (int k = 0; k < 3; ++k) {
        std::vector<jet_value> values;
        for (size_t i = 0; i < def.columns.size(); ++i) {
          const jet_column& column = def.columns[i];
          const bool null = column.is_auto_long() || (i + size_t(k)) % 3 == 0;
          values.push_back(null ? jet_value::null(column.type) : generated_value(column, 70000 + k));
        }
        const uint32_t before = writer->def().next_auto_number;
        uint32_t pointer;
        try {
          pointer = writer->append(values);
        } catch (const jet_error&) {
          continue;  // a key taken, a required value missing, a row too large
        }
        jet_fetched_row row = jet_fetch_row(db.pager(), pointer, def.page);
        const jet_view stored = row.bytes();
        std::vector<jet_cell> cells = jet_split_row(def, stored);
        EXPECT_EQ(jet_join_row(def, cells), std::vector<uint8_t>(stored.data(), stored.data() + stored.size()));
        uint32_t number = before;
        for (size_t i = 0; i < def.columns.size(); ++i) {
          const jet_column& column = def.columns[i];
          if (jet_type::is_long_value(column.type)) continue;
          jet_value expected = values[i];
          if (column.is_auto_long()) {
            expected.is_null = false;
            expected.integer = int32_t(++number);
          }
          jet_cell cell = jet_value_cell(*def.format, column, expected);
          EXPECT_EQ(cells[i].present, cell.present) << "column " << i;
          EXPECT_EQ(cells[i].bytes, cell.bytes) << "column " << i;
        }
        ++rows_checked;
      }
      writer->close();
    }
  }
  EXPECT_GT(rows_checked, 100);
}
