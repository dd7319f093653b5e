// Free pages: a deleted table's pages (definition, data, index and long
// values) are listed as free, the next table is built from them without the
// file growing, and no page ends up both free and in use.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <set>

#include "jet/database/database.h"
#include "jet/database/drop_table.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_pages.h"
#include "jet/database/table_writer.h"
#include "jet/file/page_writer.h"
#include "jet/file/pager.h"
#include "jet/file/usage_map.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/table/cursor.h"
#include "jet/table/row.h"
#include "jet/tool/check.h"
#include "sample_files.h"

namespace {

const uint32_t global_map = jet_row_pointer(jet_const::global_usage_map_page, 0);

// ID Long (primary key), CODE Text(40) (indexed), NOTE Memo, BLOB OLE.
void create_table(jet_database& db, const std::u16string& name) {
  jet_new_index primary{u"PrimaryKey", {{u"ID", true}}, true, true, false, true};
  jet_new_index by_code{u"CODE_IX", {{u"CODE", true}}, false, false, false, false};
  jet_create_table(db, name,
                   {{u"ID", jet_type::long_integer}, {u"CODE", jet_type::text, 40}, {u"NOTE", jet_type::memo},
                    {u"BLOB", jet_type::long_binary}},
                   {primary, by_code});
}

// Long values of every placement: inline, one LVAL row, and chains.
std::vector<jet_value> row_of(int i) {
  std::vector<jet_value> row(4);
  row[0] = jet_value::null(jet_type::long_integer);
  row[0].is_null = false;
  row[0].integer = i;
  row[1] = jet_value::null(jet_type::text);
  row[1].is_null = false;
  row[1].text = u"code " + std::u16string(1, char16_t(u'A' + i % 26));
  row[2] = jet_value::null(jet_type::memo);
  row[2].is_null = false;
  row[2].text = std::u16string(i % 7 == 0 ? 5000 : 20 + i % 300, char16_t(u'a' + i % 26));
  row[3] = jet_value::null(jet_type::long_binary);
  if (i % 3 == 0) {
    row[3].is_null = false;
    row[3].bytes.assign(i % 9 == 0 ? 9000 : 700, uint8_t(i));
  }
  return row;
}

void fill(jet_database& db, const std::u16string& name, int rows) {
  jet_table_writer writer(db, *db.find_table(name));
  for (int i = 1; i <= rows; ++i) writer.append(row_of(i));
  writer.close();
}

// Every page some map of a local table lists, with the tables that list it.
std::map<uint32_t, std::set<std::u16string>> pages_in_use(const jet_database& db) {
  std::map<uint32_t, std::set<std::u16string>> used;
  for (const jet_catalog_entry* table : db.tables()) {
    if (!table->is_local_table()) continue;
    jet_table_def def = db.table_def(*table);
    std::vector<uint32_t> maps = {def.owned_pages};
    for (const jet_real_index& index : def.real_indexes) maps.push_back(index.used_pages);
    for (const jet_column_map& map : def.column_maps) maps.push_back(map.owned_pages);
    for (uint32_t map : maps)
      for (uint32_t page : jet_read_usage_map(db.pager(), map)) used[page].insert(table->name);
    for (uint32_t page : def.chain) used[page].insert(table->name);
  }
  return used;
}

std::vector<uint32_t> free_pages(const jet_database& db) { return jet_read_usage_map(db.pager(), global_map, true); }

// No page is listed free and used at once, nor used by two tables; in files
// we wrote, every long-value page is some table's (their owner field does not
// say whose; Access leaves some out of every map).
void expect_pages_accounted(const jet_database& db, bool long_values_mapped = true) {
  std::map<uint32_t, std::set<std::u16string>> used = pages_in_use(db);
  std::vector<uint32_t> free_list = free_pages(db);
  for (uint32_t page : free_list) EXPECT_EQ(used.count(page), 0u) << "page " << page << " is free and in use";
  for (const auto& [page, tables] : used) EXPECT_EQ(tables.size(), 1u) << "page " << page << " has two tables";
  for (uint32_t page = 3; long_values_mapped && page < db.pager().page_count(); ++page) {
    std::vector<uint8_t> bytes = db.pager().read_page(page);
    if (bytes[0] != jet_const::page_data || jet_view(bytes, "").u32(jet_const::data_owner_offset) != jet_const::lval_owner_tag)
      continue;
    bool is_free = std::binary_search(free_list.begin(), free_list.end(), page);
    EXPECT_TRUE(used.count(page) == 1 || is_free) << "long-value page " << page << " belongs to no table";
  }
}

void expect_rows(const jet_database& db, const std::u16string& name, int rows) {
  jet_table_def def = db.table_def(*db.find_table(name));
  jet_table_cursor cursor(db.pager(), def);
  std::vector<jet_value> row;
  int seen = 0;
  while (cursor.next(row)) {
    ++seen;
    std::vector<jet_value> expected = row_of(int(row[0].integer));
    ASSERT_EQ(row[1].text, expected[1].text) << row[0].integer;
    ASSERT_EQ(row[2].text, expected[2].text) << row[0].integer;
    ASSERT_EQ(row[3].is_null, expected[3].is_null) << row[0].integer;
    ASSERT_EQ(row[3].bytes, expected[3].bytes) << row[0].integer;
  }
  EXPECT_EQ(seen, rows);
}

// The versions: their format and their Access-made samples.
struct version {
  const char* label;
  const jet_format& (*format)();
  std::vector<std::string> (*samples)();
};

const jet_format& access97_format() { return jet_format_jet3(); }

std::ostream& operator<<(std::ostream& out, const version& v) { return out << v.label; }

class jet_reuse : public ::testing::TestWithParam<version> {};

INSTANTIATE_TEST_SUITE_P(versions, jet_reuse,
                         ::testing::Values(version{"Access2000", jet_format_jet4, jet4_sample_files},
                                           version{"Access97", access97_format, jet3_sample_files}),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace

TEST_P(jet_reuse, a_deleted_tables_pages_build_the_next_table_and_the_file_does_not_grow) {
  scratch_file file("reuse.mdb");
  const jet_format& format = GetParam().format();
  jet_create_database(file.path(), format);
  const int rows = 1500;
  uint64_t size_before;
  std::vector<uint32_t> first_pages;
  {
    jet_database db(file.path(), false);
    create_table(db, u"First");
    create_table(db, u"Kept");
    fill(db, u"First", rows);
    fill(db, u"Kept", 10);
    first_pages = jet_table_pages(db, *db.find_table(u"First"));
    // Its long values are among them: chained values span LVAL pages.
    size_t long_value_pages = 0;
    for (uint32_t page : first_pages) {
      std::vector<uint8_t> bytes = db.pager().read_page(page);
      if (bytes[0] == jet_const::page_data && jet_view(bytes, "").u32(jet_const::data_owner_offset) == jet_const::lval_owner_tag)
        ++long_value_pages;
    }
    EXPECT_GT(long_value_pages, 100u);
    // Kept's pages, long values included, are not First's.
    std::vector<uint32_t> kept = jet_table_pages(db, *db.find_table(u"Kept"));
    for (uint32_t page : kept) EXPECT_FALSE(std::binary_search(first_pages.begin(), first_pages.end(), page)) << page;
    size_before = std::filesystem::file_size(file.path());
  }
  {
    jet_database db(file.path(), false);
    jet_delete_table(db, u"First");
    std::vector<uint32_t> now_free = free_pages(db);
    for (uint32_t page : first_pages)
      EXPECT_TRUE(std::binary_search(now_free.begin(), now_free.end(), page)) << "page " << page << " not freed";
    expect_pages_accounted(db);
  }
  {
    jet_database db(file.path(), false);
    create_table(db, u"Second");
    fill(db, u"Second", rows);
  }
  {
    // Freeing pages past the global map's inline reach gave it bitmap pages
    // of its own, once; nothing else may add to the file.
    jet_database db(file.path(), true);
    uint64_t map_growth = jet_usage_map_bitmap_pages(db.pager(), global_map).size() * format.page_size;
    EXPECT_LE(std::filesystem::file_size(file.path()), size_before + map_growth)
        << "the new table did not reuse the freed pages";
  }

  jet_database db(file.path(), true);
  expect_rows(db, u"Second", rows);
  expect_rows(db, u"Kept", 10);
  expect_pages_accounted(db);
  jet_check_report report = jet_check_database(db);
  for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
  for (const std::string& note : report.notes) ADD_FAILURE() << note;  // our writers keep row counts exact
  EXPECT_GE(report.indexes_verified, 4);

  int status;
  std::string counted = run("mdb-count '" + file.path() + "' Second", &status);
  if (status == 0) {
    EXPECT_EQ(counted, std::to_string(rows) + "\n");
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

TEST_P(jet_reuse, free_pages_are_taken_lowest_first_before_the_file_grows_and_fixed_pages_never) {
  scratch_file file("take.mdb");
  const jet_format& format = GetParam().format();
  jet_create_database(file.path(), format);
  jet_database db(file.path(), false);
  jet_pager& pager = db.pager_for_update();
  EXPECT_EQ(jet_take_free_page(pager), 0u) << "a new database has no free page inside the file";

  // A damaged map that lists the fixed pages as free does not give them out.
  for (uint32_t page : {0u, 1u, 2u}) jet_usage_map_mark(pager, global_map, page, true);
  EXPECT_EQ(jet_take_free_page(pager), 0u);

  // Past the inline map's reach (512 pages in Jet 4, 1024 in Jet 3),
  // freeing a page makes the global map a list of bitmap pages; taking
  // still works there.
  std::vector<uint8_t> blank(format.page_size, 0);
  blank[0] = jet_const::page_data;
  blank[1] = 0x01;
  uint32_t low = jet_append_page(pager, blank);
  while (pager.page_count() < format.inline_map_bytes * 8 + 88) jet_append_page(pager, blank);
  uint32_t high = pager.page_count() - 3;
  jet_usage_map_mark(pager, global_map, high, true);
  jet_usage_map_mark(pager, global_map, low, true);
  std::vector<uint32_t> listed = free_pages(db);
  EXPECT_TRUE(std::binary_search(listed.begin(), listed.end(), high));
  EXPECT_TRUE(std::binary_search(listed.begin(), listed.end(), low));

  uint32_t count = pager.page_count();
  EXPECT_EQ(jet_append_page(pager, blank), low);
  EXPECT_EQ(jet_append_page(pager, blank), high);
  EXPECT_EQ(pager.page_count(), count) << "the file grew while free pages were left";
  EXPECT_EQ(jet_take_free_page(pager), 0u);
  EXPECT_EQ(jet_append_page(pager, blank), count) << "with none free, the file grows";
  listed = free_pages(db);
  for (uint32_t page : {low, high, count}) EXPECT_FALSE(std::binary_search(listed.begin(), listed.end(), page)) << page;
}

TEST_P(jet_reuse, pages_access_lists_as_free_are_in_no_tables_map_and_serve_a_new_table) {
  // What makes reuse safe in files Access wrote: a page its global map
  // lists as free belongs to no table, index or long-value column.
  std::vector<std::string> samples = GetParam().samples();
  if (samples.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  size_t files_with_free_pages = 0;
  for (const std::string& sample : samples) {
    SCOPED_TRACE(sample);
    size_t inside = 0;
    {
      jet_database db(sample, true);
      expect_pages_accounted(db, false);
      for (uint32_t page : free_pages(db)) inside += page < db.pager().page_count();
    }
    if (inside == 0) continue;
    ++files_with_free_pages;
    // A table added to a copy takes those pages, and the file stays sound.
    scratch_file file("access.mdb");
    write_whole_file(file.path(), read_whole_file(sample));
    uint64_t size_before = std::filesystem::file_size(file.path());
    {
      jet_database db(file.path(), false);
      create_table(db, u"Reused");
      fill(db, u"Reused", 40);
    }
    jet_database db(file.path(), true);
    size_t left = 0;
    for (uint32_t page : free_pages(db)) left += page < db.pager().page_count();
    EXPECT_LT(left, inside);
    if (left > 0) {
      EXPECT_EQ(std::filesystem::file_size(file.path()), size_before) << "the file grew while pages were free";
    }
    expect_rows(db, u"Reused", 40);
    expect_pages_accounted(db, false);
    jet_check_report report = jet_check_database(db);
    for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
    for (const std::string& note : report.notes) ADD_FAILURE() << note;  // our writers keep row counts exact
  }
  EXPECT_GT(files_with_free_pages, 0u) << "no sample has free pages to check";
}

TEST_P(jet_reuse, a_long_value_page_with_rows_the_table_no_longer_refers_to_stays_in_use) {
  // Removing a row leaves its long values behind; the page holding one is
  // not proved to be the table's alone, so deleting the table keeps it.
  scratch_file file("orphan.mdb");
  jet_create_database(file.path(), GetParam().format());
  jet_database db(file.path(), false);
  create_table(db, u"T");
  fill(db, u"T", 60);
  const jet_catalog_entry& table = *db.find_table(u"T");
  std::vector<uint32_t> before = jet_table_pages(db, table);

  jet_table_def def = db.table_def(table);
  uint32_t victim = 0, memo_page = 0;
  {
    jet_table_cursor cursor(db.pager(), def);
    std::vector<uint8_t> stored;
    while (cursor.next_stored(stored)) {
      std::vector<jet_cell> cells = jet_split_row(def, jet_view(stored, ""));
      jet_view reference(cells[2].bytes, "");
      // The memo sits in one LVAL row, and the row has no OLE value, whose
      // pages would go too.
      if ((reference.u32(0) & jet_const::lv_flag_single_page) && !cells[3].present) {
        victim = cursor.position();
        memo_page = jet_row_page(reference.u32(4));
        break;
      }
    }
  }
  ASSERT_NE(victim, 0u);
  ASSERT_TRUE(std::binary_search(before.begin(), before.end(), memo_page));
  {
    jet_table_writer writer(db, table);
    writer.remove(victim);
    writer.close();
  }
  std::vector<uint32_t> after = jet_table_pages(db, *db.find_table(u"T"));
  EXPECT_FALSE(std::binary_search(after.begin(), after.end(), memo_page));
  std::vector<uint32_t> lost;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(lost));
  EXPECT_EQ(lost, std::vector<uint32_t>{memo_page});
}
