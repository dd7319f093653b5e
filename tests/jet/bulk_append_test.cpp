// Appending many rows: sorting index entries through temporary runs, index
// trees written while their entries arrive, unique keys held by hash, and
// the definition's counters written once a page and at close.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/file/pager.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/index/entry_sorter.h"
#include "jet/index/index_page.h"
#include "jet/index/key_set.h"
#include "jet/index/tree_builder.h"
#include "jet/index/tree_image.h"
#include "jet/table/cursor.h"
#include "jet/tool/check.h"
#include "sample_files.h"

namespace {

bool entry_less(const jet_index_entry& a, const jet_index_entry& b) {
  return a.key != b.key ? a.key < b.key : a.row_pointer < b.row_pointer;
}

// Entries with keys of varied lengths and many repeats, in random order.
std::vector<jet_index_entry> shuffled_entries(size_t count, size_t key_length) {
  std::mt19937 random(7);
  std::vector<jet_index_entry> entries;
  for (size_t i = 0; i < count; ++i) {
    jet_index_entry entry;
    uint32_t value = uint32_t(random() % (count / 3 + 1));  // about three rows a key
    entry.key.assign(key_length + value % 5, uint8_t(0x41));
    for (int b = 0; b < 4; ++b) entry.key[size_t(b) + 1] = uint8_t(value >> (24 - 8 * b));
    entry.row_pointer = uint32_t((100 + i / 50) << 8 | i % 50);
    entries.push_back(std::move(entry));
  }
  return entries;
}

// Every entry a drain hands out, with its group when `groups` is given.
std::vector<jet_index_entry> drained(jet_entry_sorter& sorter, std::vector<uint32_t>* groups = nullptr) {
  std::vector<jet_index_entry> out;
  sorter.drain([&](const jet_sorted_entry& sorted) {
    jet_index_entry entry;
    entry.key.assign(sorted.key, sorted.key + sorted.key_size);
    entry.row_pointer = sorted.row_pointer;
    out.push_back(std::move(entry));
    if (groups) groups->push_back(sorted.group);
  });
  return out;
}

// Checks the tree under `page` level by level: every intermediate entry is
// the last entry of the page it leads to, and leaves hold `expected` in
// order from `at`. Returns the last entry of the subtree.
jet_index_entry verify_subtree(const jet_pager& pager, uint32_t page, const std::vector<jet_index_entry>& expected,
                               size_t& at, std::vector<uint32_t>& leaves) {
  bool leaf = false;
  uint32_t next = 0;
  std::vector<jet_index_entry> entries = jet_read_index_page(pager, page, &leaf, &next);
  EXPECT_FALSE(entries.empty()) << "page " << page;
  if (leaf) {
    leaves.push_back(page);
    for (const jet_index_entry& entry : entries) {
      EXPECT_LT(at, expected.size());
      if (at >= expected.size()) break;
      EXPECT_EQ(entry.key, expected[at].key) << at;
      EXPECT_EQ(entry.row_pointer, expected[at].row_pointer) << at;
      ++at;
    }
    return entries.back();
  }
  jet_index_entry last;
  for (const jet_index_entry& entry : entries) {
    last = verify_subtree(pager, entry.child, expected, at, leaves);
    EXPECT_EQ(last.key, entry.key) << "node page " << page;
    EXPECT_EQ(last.row_pointer, entry.row_pointer) << "node page " << page;
  }
  return last;
}

// A file of empty pages to build trees into.
struct page_file {
  scratch_file file{"tree.mdb"};
  std::unique_ptr<jet_pager> pager;
  page_file() {
    write_whole_file(file.path(), std::vector<uint8_t>(jet_format_jet4().page_size * 2, 0));
    pager = std::make_unique<jet_pager>(file.path(), true);
  }
  uint32_t new_page() {
    uint32_t page = pager->page_count();
    pager->write_page(page, std::vector<uint8_t>(jet_format_jet4().page_size, 0));
    return page;
  }
};

uint32_t build_streaming(page_file& file, const std::vector<jet_index_entry>& sorted, uint32_t* distinct) {
  jet_index_builder builder(
      jet_format_jet4(), 2, [&] { return file.new_page(); },
      [&](uint32_t page, const std::vector<uint8_t>& bytes) { file.pager->write_page(page, bytes); });
  // Both ways of handing entries over: the entry, or its key bytes.
  bool by_bytes = sorted.size() % 3 == 0;
  for (const jet_index_entry& entry : sorted) {
    if (by_bytes) builder.add(entry.key.data(), entry.key.size(), entry.row_pointer);
    else builder.add(entry);
  }
  uint32_t root = builder.finish();
  *distinct = builder.distinct_keys();
  return root;
}

jet_value integer_value(uint8_t type, int64_t number) {
  jet_value value = jet_value::null(type);
  value.is_null = false;
  value.integer = number;
  return value;
}

jet_value text_value(const std::u16string& text) {
  jet_value value = jet_value::null(jet_type::text);
  value.is_null = false;
  value.text = text;
  return value;
}

std::u16string code_of(long i) {
  std::string narrow = "K" + std::to_string(i * 7919 % 100003) + std::string(size_t(i % 40), 'x');
  return std::u16string(narrow.begin(), narrow.end());
}

// A new database with table T (ID Long, CODE Text(80) unique, GRP Text(60) indexed).
void create_coded_table(const std::string& path) {
  jet_create_database(path);
  jet_database db(path, false);
  jet_new_column id;
  id.name = u"ID";
  id.type = jet_type::long_integer;
  jet_new_column code;
  code.name = u"CODE";
  code.type = jet_type::text;
  code.size = 80;
  jet_new_column group;
  group.name = u"GRP";
  group.type = jet_type::text;
  group.size = 60;
  jet_new_index unique_code;
  unique_code.name = u"CODE_UK";
  unique_code.columns = {{u"CODE", true}};
  unique_code.unique = true;
  jet_new_index by_group;
  by_group.name = u"GRP_IX";
  by_group.columns = {{u"GRP", false}};
  jet_create_table(db, u"T", {id, code, group}, {unique_code, by_group});
}

std::vector<jet_value> coded_row(long i) {
  return {integer_value(jet_type::long_integer, i), text_value(code_of(i)),
          text_value(u"group of many rows, number " + std::u16string(1, char16_t(u'A' + i % 7)))};
}

void expect_consistent(const std::string& path, long rows) {
  jet_database db(path, true);
  jet_check_report report = jet_check_database(db);
  for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
  for (const std::string& note : report.notes) ADD_FAILURE() << note;  // our writers keep row counts exact
  EXPECT_GE(report.indexes_verified, 2);
  EXPECT_EQ(db.table_def(*db.find_table(u"T")).row_count, uint32_t(rows));
}

bool refused_as_duplicate(jet_table_writer& writer, const std::vector<jet_value>& row) {
  try {
    writer.append(row);
  } catch (const jet_error& e) {
    return e.number() == 3022;
  }
  return false;
}

}  // namespace

TEST(jet_tabw_bulk, sorter_orders_entries_the_same_in_memory_and_through_many_runs) {
  std::vector<jet_index_entry> entries = shuffled_entries(20000, 6);
  std::vector<jet_index_entry> expected = entries;
  std::sort(expected.begin(), expected.end(), entry_less);
  for (size_t budget : {size_t(64) << 20, size_t(16) << 10, size_t(2) << 10}) {
    jet_entry_sorter sorter(budget);
    for (const jet_index_entry& entry : entries) sorter.add(entry);
    if (budget == size_t(64) << 20) {
      EXPECT_EQ(sorter.runs_written(), 0u);
    } else {
      EXPECT_GT(sorter.runs_written(), 10u);
    }
    std::vector<jet_index_entry> out = drained(sorter);
    if (budget == size_t(2) << 10) {
      EXPECT_GT(sorter.merge_passes(), 0u) << "more runs than one merge reads";
    }
    ASSERT_EQ(out.size(), expected.size()) << budget;
    for (size_t i = 0; i < out.size(); ++i) {
      ASSERT_EQ(out[i].key, expected[i].key) << budget << " at " << i;
      ASSERT_EQ(out[i].row_pointer, expected[i].row_pointer) << budget << " at " << i;
    }
    // Drained means empty: a second drain hands out nothing.
    EXPECT_TRUE(drained(sorter).empty());
  }
}

TEST(jet_tabw_bulk, sorter_shares_one_budget_between_groups_and_hands_them_out_in_turn) {
  // Three indexes' entries, interleaved as a pass over the rows makes them.
  std::vector<std::vector<jet_index_entry>> groups = {shuffled_entries(30000, 5), shuffled_entries(30000, 12),
                                                      shuffled_entries(30000, 6)};
  const size_t budget = size_t(256) << 10;
  jet_entry_sorter sorter(budget);
  for (size_t i = 0; i < 30000; ++i)
    for (uint32_t g : {2u, 0u, 1u}) sorter.add(groups[g][i], g);
  EXPECT_GT(sorter.runs_written(), 3u);
  std::vector<uint32_t> group_of;
  std::vector<jet_index_entry> out = drained(sorter, &group_of);
  ASSERT_EQ(out.size(), 90000u);
  size_t at = 0;
  for (uint32_t g = 0; g < 3; ++g) {
    std::vector<jet_index_entry> expected = groups[g];
    std::sort(expected.begin(), expected.end(), entry_less);
    for (size_t i = 0; i < expected.size(); ++i, ++at) {
      ASSERT_EQ(group_of[at], g) << at;
      ASSERT_EQ(out[at].key, expected[i].key) << g << " at " << i;
      ASSERT_EQ(out[at].row_pointer, expected[i].row_pointer) << g << " at " << i;
    }
  }
  // Memory is the budget (plus the merge's read windows), whatever the count.
  EXPECT_LE(sorter.peak_memory(), budget + (jet_entry_sorter::max_merge_width + 1) * (size_t(32) << 10));
  // The sorter takes entries again after a drain.
  sorter.add(groups[0][0], 5);
  std::vector<uint32_t> again_groups;
  std::vector<jet_index_entry> again = drained(sorter, &again_groups);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again_groups[0], 5u);
  EXPECT_EQ(again[0].key, groups[0][0].key);
}

TEST(jet_tabw_bulk, sorter_keeps_keys_larger_than_its_budget_and_refuses_overlong_ones) {
  jet_entry_sorter sorter(1024);
  std::vector<jet_index_entry> entries = shuffled_entries(300, 5);
  // Keys of 40,000 bytes: larger than the budget and than a merge window.
  for (uint8_t fill : {uint8_t(0x90), uint8_t(0x10)}) {
    jet_index_entry big;
    big.key.assign(40000, fill);
    big.row_pointer = fill;
    entries.push_back(big);
  }
  jet_index_entry empty_key;
  empty_key.row_pointer = 77;
  entries.push_back(empty_key);
  for (const jet_index_entry& entry : entries) sorter.add(entry);
  std::vector<jet_index_entry> expected = entries;
  std::sort(expected.begin(), expected.end(), entry_less);
  std::vector<jet_index_entry> out = drained(sorter);
  ASSERT_EQ(out.size(), expected.size());
  for (size_t i = 0; i < out.size(); ++i) {
    ASSERT_EQ(out[i].key, expected[i].key) << i;
    ASSERT_EQ(out[i].row_pointer, expected[i].row_pointer) << i;
  }
  jet_index_entry overlong;
  overlong.key.assign(jet_entry_sorter::max_key_size + 1, 1);
  EXPECT_THROW(sorter.add(overlong), jet_error);
}

TEST(jet_tabw_bulk, streaming_tree_has_the_pages_of_the_whole_tree_writer_and_sound_levels) {
  // Long keys make small fan-outs, so three levels need few entries.
  for (size_t count : {size_t(0), size_t(1), size_t(15), size_t(400), size_t(6000)}) {
    std::vector<jet_index_entry> sorted = shuffled_entries(count, 180);
    std::sort(sorted.begin(), sorted.end(), entry_less);
    page_file streamed;
    uint32_t distinct = 0;
    uint32_t root = build_streaming(streamed, sorted, &distinct);
    uint32_t expected_distinct = 0;
    for (size_t i = 0; i < sorted.size(); ++i)
      if (i == 0 || sorted[i].key != sorted[i - 1].key) ++expected_distinct;
    EXPECT_EQ(distinct, expected_distinct) << count;

    // Same pages, level by level, as the writer that holds the whole tree.
    uint32_t next_number = 2;
    jet_index_image whole = jet_build_index(jet_format_jet4(), sorted, 2, [&] { return next_number++; });
    EXPECT_EQ(streamed.pager->page_count() - 2, whole.pages.size()) << count;

    std::vector<jet_index_entry> leaf_entries = jet_read_index_entries(*streamed.pager, root);
    ASSERT_EQ(leaf_entries.size(), sorted.size()) << count;
    if (count == 0) {
      bool leaf = false;
      uint32_t next = 1;
      EXPECT_TRUE(jet_read_index_page(*streamed.pager, root, &leaf, &next).empty());
      EXPECT_TRUE(leaf);
      continue;
    }
    size_t at = 0;
    std::vector<uint32_t> leaves;
    verify_subtree(*streamed.pager, root, sorted, at, leaves);
    EXPECT_EQ(at, sorted.size()) << count;
    // Leaves link both ways in key order.
    for (size_t i = 0; i < leaves.size(); ++i) {
      std::vector<uint8_t> page = streamed.pager->read_page(leaves[i]);
      auto u32 = [&](size_t offset) { return uint32_t(page[offset] | page[offset + 1] << 8 | page[offset + 2] << 16 | page[offset + 3] << 24); };
      EXPECT_EQ(u32(jet_format_jet4().index_page.prev_page), i > 0 ? leaves[i - 1] : 0u) << count;
      EXPECT_EQ(u32(jet_format_jet4().index_page.next_page), i + 1 < leaves.size() ? leaves[i + 1] : 0u) << count;
    }
    if (count == 6000) {
      bool leaf = true;
      uint32_t next = 0;
      std::vector<jet_index_entry> top = jet_read_index_page(*streamed.pager, root, &leaf, &next);
      ASSERT_FALSE(leaf);
      jet_read_index_page(*streamed.pager, top.front().child, &leaf, &next);
      EXPECT_FALSE(leaf) << "expected three levels";
    }
  }
}

TEST(jet_tabw_bulk, key_set_returns_every_row_stored_under_a_hash_across_growth) {
  jet_key_set keys;
  EXPECT_TRUE(keys.candidates(42).empty());
  auto hash_of = [](uint32_t i) { return uint64_t(i) * 0x9e3779b97f4a7c15ull; };
  for (uint32_t i = 1; i <= 5000; ++i) keys.insert(hash_of(i), i);
  keys.insert(0, 9001);  // hashes of 0 are kept like any other
  keys.insert(0, 9002);
  keys.insert(hash_of(77), 9003);  // a collision with row 77's hash
  EXPECT_EQ(keys.size(), 5003u);
  EXPECT_THROW(keys.insert(1, 0), jet_error);  // 0 marks empty slots
  auto sorted = [](std::vector<uint32_t> v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  EXPECT_EQ(sorted(keys.candidates(0)), (std::vector<uint32_t>{9001, 9002}));
  EXPECT_EQ(sorted(keys.candidates(hash_of(77))), (std::vector<uint32_t>{77, 9003}));
  // Every row survives the table's growth under its own hash; another
  // hash may bring a false candidate now and then, but never hides one.
  size_t false_candidates = 0;
  for (uint32_t i = 1; i <= 5000; ++i) {
    std::vector<uint32_t> found = keys.candidates(hash_of(i));
    EXPECT_NE(std::find(found.begin(), found.end(), i), found.end()) << i;
    false_candidates += found.size() - 1;
  }
  EXPECT_LT(false_candidates, 50u);
  keys.clear();
  EXPECT_TRUE(keys.candidates(hash_of(5)).empty());
}

TEST(jet_tabw_bulk, thousands_of_rows_leave_a_consistent_file_and_unique_keys_hold_across_writers) {
  scratch_file file("bulk.mdb");
  create_coded_table(file.path());
  const long rows = 6000;
  {
    jet_database db(file.path(), false);
    jet_table_writer writer(db, *db.find_table(u"T"));
    for (long i = 1; i <= rows; ++i) writer.append(coded_row(i));
    // A key seen long ago and one just written are both refused, and nothing is added.
    std::vector<jet_value> again = coded_row(3);
    again[0].integer = rows + 1;
    EXPECT_TRUE(refused_as_duplicate(writer, again));
    EXPECT_TRUE(refused_as_duplicate(writer, coded_row(rows)));
    writer.close();
  }
  expect_consistent(file.path(), rows);

  {
    // A new writer learns the keys from the rows.
    jet_database db(file.path(), false);
    jet_table_writer writer(db, *db.find_table(u"T"));
    EXPECT_TRUE(refused_as_duplicate(writer, coded_row(1234)));
    // Rows whose key is null are not unique keys.
    std::vector<jet_value> no_code = coded_row(rows + 1);
    no_code[1] = jet_value::null(jet_type::text);
    writer.append(no_code);
    no_code[0].integer = rows + 2;
    writer.append(no_code);
    // A removed row's key may be used again.
    jet_table_def def = db.table_def(*db.find_table(u"T"));
    jet_table_cursor cursor(db.pager(), def);
    std::vector<jet_value> row;
    uint32_t pointer = 0;
    while (cursor.next(row))
      if (row[0].integer == 1234) pointer = cursor.position();
    ASSERT_NE(pointer, 0u);
    writer.remove(pointer);
    writer.append(coded_row(1234));
    EXPECT_TRUE(refused_as_duplicate(writer, coded_row(1234)));
    writer.close();
  }
  expect_consistent(file.path(), rows + 2);
}

TEST(jet_tabw_bulk, counters_follow_once_a_page_and_pages_reach_the_file_when_the_cache_fills_and_at_close) {
  scratch_file file("counters.mdb");
  create_coded_table(file.path());
  const uint32_t rows = 6000;  // more data pages than the cache holds
  {
    jet_database db(file.path(), false);
    jet_table_writer writer(db, *db.find_table(u"T"));
    const uint32_t tdef_page = db.find_table(u"T")->tdef_page();
    auto stored_count = [&](const jet_pager& from) { return jet_read_tdef(from, tdef_page).row_count; };
    auto live_rows = [&](const jet_pager& from) {
      jet_table_def def = jet_read_tdef(from, tdef_page);
      jet_table_cursor cursor(from, def);
      std::vector<jet_value> row;
      uint32_t count = 0;
      while (cursor.next(row)) ++count;
      return count;
    };
    uint32_t lag_seen = 0;
    uint32_t on_disk_seen = 0;
    for (uint32_t i = 1; i <= rows; ++i) {
      writer.append(coded_row(long(i)));
      // The writer's own database shows every row at once; the count lags by
      // less than a page of rows.
      if (i <= 300 || i % 100 == 0) {
        ASSERT_EQ(live_rows(db.pager()), i);
      }
      uint32_t counted = stored_count(db.pager());
      ASSERT_LE(counted, i);
      ASSERT_GT(counted + 120, i) << "counters not written when a page starts";
      lag_seen = std::max(lag_seen, i - counted);
      if (i % 100 == 0) {
        // The file itself, read beside the writer's locks, is as of the last
        // write-back: never a count above the rows it holds.
        jet_pager on_disk(file.path(), false);
        on_disk.set_format(db.format());
        uint32_t readable = live_rows(on_disk);
        ASSERT_LE(stored_count(on_disk), readable);
        ASSERT_LE(readable, i);
        ASSERT_LE(db.pager().dirty_pages(), jet_pager::cache_pages);
        on_disk_seen = std::max(on_disk_seen, readable);
      }
    }
    EXPECT_GT(lag_seen, 0u);  // the definition is not written for every row
    EXPECT_GT(on_disk_seen, 0u) << "a full cache is written back before close";
    writer.close();
    EXPECT_EQ(db.pager().dirty_pages(), 0u);
  }
  expect_consistent(file.path(), rows);
}

TEST(jet_tabw_bulk, close_rebuilds_every_index_of_a_table_even_one_left_without_entries) {
  scratch_file file("groups.mdb");
  jet_create_database(file.path());
  {
    jet_database db(file.path(), false);
    std::vector<jet_new_column> columns(4);
    columns[0].name = u"ID";
    columns[0].type = jet_type::long_integer;
    columns[1].name = u"NOTE";  // always null, so its index keeps no entry
    columns[1].type = jet_type::text;
    columns[1].size = 20;
    columns[2].name = u"CODE";
    columns[2].type = jet_type::text;
    columns[2].size = 80;
    columns[3].name = u"N";
    columns[3].type = jet_type::long_integer;
    std::vector<jet_new_index> indexes(4);
    indexes[0].name = u"PK";
    indexes[0].columns = {{u"ID", true}};
    indexes[0].primary = indexes[0].unique = true;
    indexes[1].name = u"NOTE_IX";
    indexes[1].columns = {{u"NOTE", true}};
    indexes[1].ignore_nulls = true;
    indexes[2].name = u"CODE_IX";
    indexes[2].columns = {{u"CODE", false}, {u"N", true}};
    indexes[3].name = u"N_IX";
    indexes[3].columns = {{u"N", false}};
    jet_create_table(db, u"G", columns, indexes);
  }
  const long rows = 8000;
  {
    jet_database db(file.path(), false);
    jet_table_writer writer(db, *db.find_table(u"G"));
    for (long i = rows; i >= 1; --i)
      writer.append({integer_value(jet_type::long_integer, i), jet_value::null(jet_type::text),
                     text_value(code_of(i)), integer_value(jet_type::long_integer, i % 13)});
    writer.close();
    // The empty index keeps no keys; the others count theirs.
    const jet_table_def& def = writer.def();
    ASSERT_EQ(def.real_indexes.size(), 4u);
    std::vector<uint32_t> counts;
    for (const jet_real_index& index : def.real_indexes) counts.push_back(index.row_count);
    std::sort(counts.begin(), counts.end());
    EXPECT_EQ(counts, (std::vector<uint32_t>{0, 13, uint32_t(rows), uint32_t(rows)}));
  }
  jet_database db(file.path(), true);
  jet_check_report report = jet_check_database(db);
  for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
  for (const std::string& note : report.notes) ADD_FAILURE() << note;  // our writers keep row counts exact
  EXPECT_GE(report.indexes_verified, 4);
}

TEST(jet_tabw_bulk, sorter_hands_entries_added_in_order_back_as_they_came_and_sorts_once_one_is_out_of_order) {
  std::vector<jet_index_entry> entries = shuffled_entries(20000, 6);
  std::sort(entries.begin(), entries.end(), entry_less);
  for (size_t budget : {size_t(64) << 20, size_t(2) << 10}) {
    jet_entry_sorter sorter(budget);
    for (const jet_index_entry& entry : entries) sorter.add(entry);
    EXPECT_TRUE(sorter.in_order());
    std::vector<jet_index_entry> out = drained(sorter);
    // Many runs, read one after another: no merge pass.
    EXPECT_EQ(sorter.merge_passes(), 0u) << budget;
    ASSERT_EQ(out.size(), entries.size()) << budget;
    for (size_t i = 0; i < out.size(); ++i) {
      ASSERT_EQ(out[i].key, entries[i].key) << budget << " at " << i;
      ASSERT_EQ(out[i].row_pointer, entries[i].row_pointer) << budget << " at " << i;
    }
  }
  // One entry out of place, late and in the last run: everything is sorted as before.
  jet_entry_sorter sorter(size_t(2) << 10);
  for (size_t i = 0; i + 1 < entries.size(); ++i) sorter.add(entries[i + 1]);
  sorter.add(entries[0]);
  EXPECT_FALSE(sorter.in_order());
  std::vector<jet_index_entry> out = drained(sorter);
  ASSERT_EQ(out.size(), entries.size());
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i].row_pointer, entries[i].row_pointer) << i;
  // Drained, the sorter judges new entries afresh.
  sorter.add(entries[5]);
  sorter.add(entries[6]);
  EXPECT_TRUE(sorter.in_order());
  EXPECT_EQ(drained(sorter).size(), 2u);
}

TEST(jet_tabw_bulk, keys_in_and_out_of_order_are_checked_alike_and_every_index_matches_its_rows) {
  scratch_file file("order.mdb");
  jet_create_database(file.path());
  {
    jet_database db(file.path(), false);
    std::vector<jet_new_column> columns(3);
    columns[0].name = u"ID";
    columns[0].type = jet_type::long_integer;
    columns[1].name = u"NAME";
    columns[1].type = jet_type::text;
    columns[1].size = 40;
    columns[2].name = u"FLAG";
    columns[2].type = jet_type::boolean;
    std::vector<jet_new_index> indexes(3);
    indexes[0].name = u"PK";
    indexes[0].columns = {{u"ID", true}};
    indexes[0].primary = indexes[0].unique = true;
    indexes[1].name = u"NAME_UK";
    indexes[1].columns = {{u"NAME", false}};
    indexes[1].unique = true;
    indexes[1].ignore_nulls = true;
    indexes[2].name = u"FLAG_IX";  // a Yes/No key: a Null is stored, and keyed, as No
    indexes[2].columns = {{u"FLAG", true}, {u"ID", true}};
    jet_create_table(db, u"O", columns, indexes);
  }
  auto row = [](long id, const std::u16string& name, bool null_flag = false) {
    std::vector<jet_value> values = {integer_value(jet_type::long_integer, id), text_value(name),
                                     null_flag ? jet_value::null(jet_type::boolean)
                                               : integer_value(jet_type::boolean, id % 2)};
    return values;
  };
  auto name_of = [](long id) {
    std::string narrow = "name " + std::to_string(100000 + id);
    return std::u16string(narrow.begin(), narrow.end());
  };
  long stored = 0;
  {
    jet_database db(file.path(), false);
    jet_table_writer writer(db, *db.find_table(u"O"));
    // Ascending keys: none of them looked up.
    for (long i = 1; i <= 3000; ++i, ++stored) writer.append(row(i, name_of(i), i % 100 == 0));
    // Behind the largest key: a duplicate is refused, wherever it lies...
    for (long i : {1L, 1500L, 3000L}) {
      std::vector<jet_value> values = row(i, u"fresh " + name_of(i));
      EXPECT_TRUE(refused_as_duplicate(writer, values)) << i;
      values = row(5000 + i, name_of(i));
      EXPECT_TRUE(refused_as_duplicate(writer, values)) << i;
    }
    // ...and a new key there is taken; keys above the largest still are too.
    writer.append(row(-5, u"before all"));
    writer.append(row(4000, u"after all"));
    writer.append(row(3500, u"between"));
    stored += 3;
    EXPECT_TRUE(refused_as_duplicate(writer, row(3500, u"between again")));
    EXPECT_TRUE(refused_as_duplicate(writer, row(4001, u"between")));
    writer.close();
  }
  {
    // A second writer: the stored rows' keys bound what needs no lookup.
    jet_database db(file.path(), false);
    jet_table_writer writer(db, *db.find_table(u"O"));
    EXPECT_TRUE(refused_as_duplicate(writer, row(4000, u"new name")));
    EXPECT_TRUE(refused_as_duplicate(writer, row(7000, u"after all")));
    for (long i = 4001; i <= 4500; ++i, ++stored) writer.append(row(i, name_of(i)));
    writer.close();
  }
  jet_database db(file.path(), true);
  jet_check_report report = jet_check_database(db);
  for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
  for (const std::string& note : report.notes) ADD_FAILURE() << note;
  EXPECT_GE(report.indexes_verified, 3);
  EXPECT_EQ(db.table_def(*db.find_table(u"O")).row_count, uint32_t(stored));
}
