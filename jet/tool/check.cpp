#include "jet/tool/check.h"

#include <algorithm>

#include "jet/database/database.h"
#include "jet/file/data_page.h"
#include "jet/file/usage_map.h"
#include "jet/format/byte_view.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/index/index_key.h"
#include "jet/index/index_page.h"
#include "jet/table/cursor.h"
#include "platform/codepage.h"

namespace {

// A data page's own bookkeeping: its free-space count matches its rows when
// none is deleted (deleted rows keep their bytes until the page is compacted).
void check_data_page(const jet_format& format, const std::vector<uint8_t>& bytes, const std::string& file,
                     uint32_t page, std::vector<std::string>& problems) {
  jet_view view(bytes, file);
  uint32_t count = jet_page_row_count(format, view);
  uint32_t lowest = format.page_size;
  for (uint32_t row = 0; row < count; ++row) {
    jet_row_slot slot = jet_locate_row(format, view, row);
    if (slot.deleted) return;
    lowest = std::min(lowest, slot.start);
  }
  uint32_t expected = lowest - format.data_page.row_table - 2 * count;
  uint32_t stated = view.u16(jet_const::data_free_space_offset);
  if (stated != expected)
    problems.push_back("page " + std::to_string(page) + ": free space " + std::to_string(stated) + ", rows leave " +
                       std::to_string(expected));
}

struct rebuilt_entry {
  std::vector<uint8_t> key;
  uint32_t row_pointer;
  // Access orders entries by their bytes: the key, then the pointer's
  // page (3 bytes) and row, most significant first.
  bool operator<(const rebuilt_entry& other) const {
    if (key != other.key) return key < other.key;
    return row_pointer < other.row_pointer;
  }
};

// Compares one physical index with the keys of the rows; false when a key
// cannot be encoded yet.
bool check_index(const jet_pager& pager, const jet_table_def& def, const jet_real_index& index,
                 const std::vector<std::pair<uint32_t, std::vector<jet_value>>>& rows, const std::string& label,
                 std::vector<std::string>& problems) {
  std::vector<rebuilt_entry> rebuilt;
  for (const auto& [pointer, values] : rows) {
    rebuilt_entry entry{{}, pointer};
    bool all_null = true;
    for (const jet_index_column& key_column : index.columns) {
      size_t at = 0;
      while (at < def.columns.size() && def.columns[at].number != key_column.column_number) ++at;
      if (at == def.columns.size()) {
        problems.push_back(label + ": index names a missing column");
        return true;
      }
      if (!jet_append_key(entry.key, def.columns[at], values[at], key_column.ascending)) return false;
      if (!values[at].is_null) all_null = false;
    }
    // An index that ignores nulls has no entry for a row null in all its columns.
    if (all_null && (index.flags & jet_const::index_flag_ignore_nulls)) continue;
    rebuilt.push_back(std::move(entry));
  }
  std::sort(rebuilt.begin(), rebuilt.end());
  std::vector<jet_index_entry> stored = jet_read_index_entries(pager, index.first_page);
  if (stored.size() != rebuilt.size()) {
    problems.push_back(label + ": " + std::to_string(stored.size()) + " index entries for " +
                       std::to_string(rebuilt.size()) + " rows");
    return true;
  }
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored[i].key != rebuilt[i].key || stored[i].row_pointer != rebuilt[i].row_pointer) {
      problems.push_back(label + ": entry " + std::to_string(i) + " is " + jet_hex(stored[i].key) + " -> " +
                         std::to_string(stored[i].row_pointer) + ", the rows give " + jet_hex(rebuilt[i].key) +
                         " -> " + std::to_string(rebuilt[i].row_pointer));
      return true;
    }
  }
  return true;
}

}  // namespace

jet_check_report jet_check_database(const jet_database& db) {
  jet_check_report report;
  const jet_pager& pager = db.pager();
  for (const jet_catalog_entry* table : db.tables()) {
    if (!table->is_local_table()) continue;
    std::string name = platform::utf16_to_utf8(table->name);
    try {
      jet_table_def def = db.table_def(*table);
      ++report.tables;
      for (uint32_t page : jet_read_usage_map(pager, def.owned_pages)) {
        std::vector<uint8_t> bytes = pager.read_page(page);
        jet_view view(bytes, pager.path());
        if (view.u8(0) == jet_const::page_data && view.u32(jet_const::data_owner_offset) == def.page)
          check_data_page(pager.format(), bytes, pager.path(), page, report.problems);
      }
      jet_table_cursor cursor(pager, def);
      std::vector<std::pair<uint32_t, std::vector<jet_value>>> all_rows;
      std::vector<jet_value> row;
      while (cursor.next(row)) all_rows.emplace_back(cursor.position(), row);
      long rows = long(all_rows.size());
      report.rows += rows;
      if (rows != long(def.row_count))
        report.notes.push_back(name + ": " + std::to_string(rows) + " rows, the definition says " +
                               std::to_string(def.row_count) + " (Access leaves such counts)");
      db.properties(*table);
      for (size_t i = 0; i < def.real_indexes.size(); ++i) {
        std::string label = name + " index " + std::to_string(i);
        if (check_index(pager, def, def.real_indexes[i], all_rows, label, report.problems))
          ++report.indexes_verified;
        else
          ++report.indexes_unverified;
      }
    } catch (const jet_error& error) {
      report.problems.push_back(name + ": " + error.what());
    }
  }
  return report;
}
