#include "jet/database/table_pages.h"

#include <algorithm>

#include "jet/database/database.h"
#include "jet/file/data_page.h"
#include "jet/file/pager.h"
#include "jet/file/usage_map.h"
#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/table/cursor.h"
#include "jet/table/row.h"

namespace {

uint32_t owner_of(const std::vector<uint8_t>& page) { return jet_view(page, "").u32(jet_const::data_owner_offset); }

// Long-value pages the maps of every other local table list; false when a
// definition cannot be read.
bool long_value_pages_of_others(const jet_database& db, const jet_catalog_entry& table,
                                std::vector<uint32_t>& pages) {
  for (const jet_catalog_entry* other : db.tables()) {
    if (other == &table || !other->is_local_table() || other->tdef_page() == table.tdef_page()) continue;
    try {
      jet_table_def def = db.table_def(*other);
      for (const jet_column_map& map : def.column_maps) {
        if (map.owned_pages == 0) continue;
        std::vector<uint32_t> listed = jet_read_usage_map(db.pager(), map.owned_pages);
        pages.insert(pages.end(), listed.begin(), listed.end());
      }
    } catch (const jet_error&) {
      return false;
    }
  }
  std::sort(pages.begin(), pages.end());
  return true;
}


// Rows on long-value pages that the table's rows refer to, chains followed.
std::vector<uint32_t> long_value_rows_of(const jet_pager& pager, const jet_table_def& def) {
  std::vector<uint32_t> rows;
  std::vector<size_t> long_columns;
  for (size_t at = 0; at < def.columns.size(); ++at)
    if (jet_type::is_long_value(def.columns[at].type)) long_columns.push_back(at);
  if (long_columns.empty()) return rows;
  jet_table_cursor cursor(pager, def);
  std::vector<uint8_t> stored;
  while (cursor.next_stored(stored)) {
    std::vector<jet_cell> cells = jet_split_row(def, jet_view(stored, pager.path()));
    for (size_t at : long_columns) {
      if (at >= cells.size() || !cells[at].present || cells[at].bytes.size() < jet_const::lv_ref_size) continue;
      jet_view reference(cells[at].bytes, pager.path());
      uint32_t head = reference.u32(0);
      if (head & jet_const::lv_flag_inline) continue;
      uint32_t pointer = reference.u32(4);
      if (head & jet_const::lv_flag_single_page) {
        rows.push_back(pointer);
        continue;
      }
      // A chain ends at a null link; a link seen twice is a loop in a damaged file.
      for (size_t parts = 0; pointer != 0; ++parts) {
        if (parts > pager.page_count() * size_t(256)) throw jet_corrupt(pager.path(), "long-value chain loops");
        rows.push_back(pointer);
        jet_fetched_row part = jet_fetch_row(pager, pointer, jet_const::lval_owner_tag);
        pointer = part.bytes().u32(0);
      }
    }
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace

std::vector<uint32_t> jet_table_pages(const jet_database& db, const jet_catalog_entry& table) {
  const jet_pager& pager = db.pager();
  jet_table_def def = db.table_def(table);
  std::vector<uint32_t> pages = def.chain;

  std::vector<uint32_t> candidates = jet_read_usage_map(pager, def.owned_pages);
  for (const jet_real_index& index : def.real_indexes) {
    std::vector<uint32_t> more = jet_read_usage_map(pager, index.used_pages);
    candidates.insert(candidates.end(), more.begin(), more.end());
  }
  for (uint32_t page : candidates) {
    std::vector<uint8_t> bytes = pager.read_page(page);
    bool data_or_index = bytes[0] == jet_const::page_data || bytes[0] == jet_const::page_index_leaf ||
                         bytes[0] == jet_const::page_index_node;
    if (data_or_index && owner_of(bytes) == def.page) pages.push_back(page);
  }

  // Pages only our own maps know of: a map that cannot be read (some files
  // carry unused map pointers) leaves them where they are, as before.
  std::vector<uint32_t> extra;
  try {
    // A long-value page's owner field says only "LVAL", not whose: the
    // column maps say, and no other table may claim the page.
    std::vector<uint32_t> long_values;
    for (const jet_column_map& map : def.column_maps) {
      if (map.owned_pages == 0) continue;
      std::vector<uint32_t> listed = jet_read_usage_map(pager, map.owned_pages);
      long_values.insert(long_values.end(), listed.begin(), listed.end());
    }
    // Access keeps some long values on pages no map lists, so a page goes
    // only when every row on it is a long value of this table's rows.
    std::vector<uint32_t> others;
    if (!long_values.empty() && long_value_pages_of_others(db, table, others)) {
      std::vector<uint32_t> ours = long_value_rows_of(pager, def);
      for (uint32_t page : long_values) {
        if (std::binary_search(others.begin(), others.end(), page)) continue;
        std::vector<uint8_t> bytes = pager.read_page(page);
        jet_view view(bytes, pager.path());
        if (view.u8(0) != jet_const::page_data || owner_of(bytes) != jet_const::lval_owner_tag) continue;
        bool all_ours = true;
        for (uint32_t row = 0, count = jet_page_row_count(pager.format(), view); row < count && all_ours; ++row)
          if (!jet_locate_row(pager.format(), view, row).deleted)
            all_ours = std::binary_search(ours.begin(), ours.end(), jet_row_pointer(page, row));
        if (all_ours) extra.push_back(page);
      }
    }
    // Maps past an inline map's reach keep their bits on pages of their own.
    std::vector<uint32_t> maps = {def.owned_pages, def.free_pages};
    for (const jet_real_index& index : def.real_indexes) maps.push_back(index.used_pages);
    for (const jet_column_map& map : def.column_maps) {
      maps.push_back(map.owned_pages);
      maps.push_back(map.free_pages);
    }
    for (uint32_t map : maps) {
      if (map == 0) continue;
      for (uint32_t page : jet_usage_map_bitmap_pages(pager, map))
        if (pager.read_page(page)[0] == jet_const::page_usage_map) extra.push_back(page);
    }
    // A page of map rows goes too when every row on it is one of these maps.
    std::sort(maps.begin(), maps.end());
    std::vector<uint32_t> map_pages;
    for (uint32_t map : maps)
      if (map != 0) map_pages.push_back(jet_row_page(map));
    map_pages.erase(std::unique(map_pages.begin(), map_pages.end()), map_pages.end());
    for (uint32_t page : map_pages) {
      if (page <= jet_const::global_usage_map_page) continue;
      std::vector<uint8_t> bytes = pager.read_page(page);
      jet_view view(bytes, pager.path());
      if (view.u8(0) != jet_const::page_data || view.u32(jet_const::data_owner_offset) != 0) continue;
      bool all_ours = true;
      for (uint32_t row = 0, count = jet_page_row_count(pager.format(), view); row < count && all_ours; ++row)
        if (!jet_locate_row(pager.format(), view, row).deleted)
          all_ours = std::binary_search(maps.begin(), maps.end(), jet_row_pointer(page, row));
      if (all_ours) extra.push_back(page);
    }
  } catch (const jet_error&) {
    extra.clear();
  }
  pages.insert(pages.end(), extra.begin(), extra.end());
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  return pages;
}
