// Rows laid out by us against the rows Access wrote: every stored row of the
// samples, split into cells and joined again, gives Access's bytes.
#include <gtest/gtest.h>

#include "jet/database/database.h"
#include "jet/file/page_writer.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/table/cursor.h"
#include "jet/table/row.h"
#include "sample_files.h"

namespace {

// Bytes Access leaves behind that carry nothing: stale bytes under null or
// deleted fixed columns, and slack between the variable data and the offset
// table after a value shrank in place. Returns Access's row without them,
// with our bytes copied over the stale ones.
std::vector<uint8_t> without_leftovers(const jet_table_def& def, const std::vector<jet_cell>& cells,
                                       const std::vector<uint8_t>& stored, std::vector<uint8_t>& ours) {
  const jet_format& format = *def.format;
  const uint32_t count_size = format.row.column_count_size;
  std::vector<uint8_t> cleaned = stored;
  std::vector<bool> live(stored.size(), false);
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const jet_column& column = def.columns[i];
    if (!column.is_fixed() || column.type == jet_type::boolean || !cells[i].present) continue;
    uint32_t size = jet_type::fixed_size(column.type) ? jet_type::fixed_size(column.type) : column.length;
    for (uint32_t k = 0; k < size && count_size + column.fixed_offset + k < live.size(); ++k)
      live[count_size + column.fixed_offset + k] = true;
  }
  uint32_t fixed_end = count_size;
  for (const jet_column& column : def.columns)
    if (column.is_fixed() && column.type != jet_type::boolean)
      fixed_end = std::max<uint32_t>(fixed_end, count_size + column.fixed_offset +
                                                    (jet_type::fixed_size(column.type) ? jet_type::fixed_size(column.type)
                                                                                       : column.length));
  for (size_t at = count_size; at < fixed_end && at < cleaned.size() && at < ours.size(); ++at)
    if (!live[at]) cleaned[at] = ours[at];
  // Slack after a value that shrank in place (Jet 4 rows only: a Jet 3
  // row's one-byte offsets and jumps depend on where everything lies).
  if (def.var_column_count > 0 && format.row.offset_size == 2) {
    size_t mask = (size_t(cleaned[0] | cleaned[1] << 8) + 7) / 8;
    size_t count_at = cleaned.size() - mask - 2;
    size_t slots = size_t(cleaned[count_at] | cleaned[count_at + 1] << 8);
    size_t table_at = count_at - 2 * (slots + 1);
    size_t eod = size_t(cleaned[table_at] | cleaned[table_at + 1] << 8);
    if (eod < table_at) cleaned.erase(cleaned.begin() + long(eod), cleaned.begin() + long(table_at));
  }
  return cleaned;
}

}  // namespace

TEST(jet_rows, every_sample_row_is_rejoined_byte_for_byte) {
  auto files = access_sample_files();
  if (files.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  int compared = 0, differing = 0, with_leftovers = 0;
  for (const std::string& file : files) {
    jet_database db(file, true);
    for (const jet_catalog_entry* table : db.tables()) {
      if (!table->is_local_table()) continue;
      jet_table_def def = db.table_def(*table);
      // Rows of a table that lost columns still hold the lost columns' data,
      // which no cell carries; those rows cannot be laid out again.
      if (def.max_columns != def.columns.size()) continue;
      jet_table_cursor cursor(db.pager(), def);
      std::vector<uint8_t> stored;
      while (cursor.next_stored(stored)) {
        uint16_t row_columns = 0;
        std::vector<jet_cell> cells = jet_split_row(def, jet_view(stored, file), &row_columns);
        std::vector<uint8_t> ours = jet_join_row(def, cells, row_columns);
        ++compared;
        if (ours != stored) {
          ++with_leftovers;
          stored = without_leftovers(def, cells, stored, ours);
        }
        if (ours != stored && ++differing <= 5)
          ADD_FAILURE() << file << " table page " << def.page << " row " << cursor.position() << ": "
                        << ours.size() << " bytes against Access's " << stored.size() << "\n" << jet_hex(ours) << "\n" << jet_hex(stored);
      }
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_LT(with_leftovers, compared / 50) << "rows with bytes Access left behind";
  EXPECT_GT(compared, 1000);
}

TEST(jet_rows, a_page_filled_with_what_the_last_add_left_is_the_page_filled_without_it) {
  for (const jet_format* format : {&jet_format_jet4(), &jet_format_jet3()}) {
    std::vector<uint8_t> scanned = jet_new_data_page(*format, 7);
    std::vector<uint8_t> remembered = scanned;
    jet_page_fill fill;
    for (size_t i = 0;; ++i) {
      const std::vector<uint8_t> row(5 + i % 37, uint8_t(i));
      const int by_scan = jet_page_add_row(*format, scanned, row);
      const int by_fill = jet_page_add_row(*format, remembered, row, fill);
      ASSERT_EQ(by_scan, by_fill) << i;
      ASSERT_EQ(scanned, remembered) << i;
      if (by_scan < 0) break;
      EXPECT_EQ(fill.rows, uint32_t(by_scan) + 1);
    }
    // A page whose rows lie out of order: a fresh fill reads the row table.
    std::vector<uint8_t> page = jet_new_data_page(*format, 7);
    ASSERT_EQ(jet_page_add_row(*format, page, std::vector<uint8_t>(40, 1)), 0);
    ASSERT_EQ(jet_page_add_row(*format, page, std::vector<uint8_t>(40, 2)), 1);
    const uint32_t table = format->data_page.row_table;
    std::swap(page[table], page[table + 2]);
    std::swap(page[table + 1], page[table + 3]);
    std::vector<uint8_t> expected = page;
    jet_page_fill fresh;
    ASSERT_EQ(jet_page_add_row(*format, page, std::vector<uint8_t>(40, 3), fresh), 2);
    ASSERT_EQ(jet_page_add_row(*format, expected, std::vector<uint8_t>(40, 3)), 2);
    EXPECT_EQ(page, expected);
    EXPECT_EQ(fresh.lowest, uint32_t(page.size()) - 120);
  }
}

TEST(jet_rows, one_layout_and_one_buffer_serve_every_row_of_a_table) {
  // A buffer that held a longer row (stale fixed values, a bigger mask)
  // gives each row the bytes a fresh join gives it.
  auto files = access_sample_files();
  if (files.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  int compared = 0;
  std::vector<uint8_t> reused(4096, 0xa5);
  for (const std::string& file : files) {
    jet_database db(file, true);
    for (const jet_catalog_entry* table : db.tables()) {
      if (!table->is_local_table()) continue;
      jet_table_def def = db.table_def(*table);
      if (def.max_columns != def.columns.size()) continue;
      const jet_row_layout layout = jet_layout_rows(def);
      jet_table_cursor cursor(db.pager(), def);
      std::vector<uint8_t> stored;
      while (cursor.next_stored(stored)) {
        uint16_t row_columns = 0;
        std::vector<jet_cell> cells = jet_split_row(def, jet_view(stored, file), &row_columns);
        if (row_columns != def.max_columns) continue;
        jet_join_row(def, layout, cells, reused);
        ASSERT_EQ(reused, jet_join_row(def, cells)) << file << " table page " << def.page;
        ++compared;
        reused.resize(reused.size() + 300, 0xa5);  // stale bytes for the next row
      }
    }
  }
  EXPECT_GT(compared, 1000);
}

TEST(jet_rows, a_variable_slot_two_columns_claim_holds_the_one_with_a_value) {
  // A damaged definition: Text columns 0 and 1 both name slot 0.
  jet_table_def def;
  def.format = &jet_format_jet4();
  def.max_columns = 2;
  def.var_column_count = 2;
  for (uint16_t number = 0; number < 2; ++number) {
    jet_column column;
    column.type = jet_type::text;
    column.number = number;
    column.length = 20;
    def.columns.push_back(column);
  }
  const jet_row_layout layout = jet_layout_rows(def);
  EXPECT_TRUE(layout.shared_slots);
  const std::string file = "damaged";
  for (size_t with_value = 0; with_value < 2; ++with_value) {
    std::vector<jet_cell> cells(2);
    cells[with_value].present = true;
    cells[with_value].bytes = {'a', 0, 'b', 0};
    std::vector<uint8_t> row;
    jet_join_row(def, layout, cells, row);
    std::vector<jet_cell> back = jet_split_row(def, jet_view(row, file));
    // Both columns read the one slot; the mask says which has the value.
    EXPECT_EQ(back[with_value].bytes, cells[with_value].bytes) << with_value;
    EXPECT_TRUE(back[with_value].present);
    EXPECT_FALSE(back[1 - with_value].present);
  }
}
