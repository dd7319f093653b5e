#include "jet/jet_tpag.h"

#include <algorithm>

#include "jet/jet_byte.h"
#include "jet/jet_data.h"
#include "jet/jet_db.h"
#include "jet/jet_err.h"
#include "jet/jet_fmt4.h"
#include "jet/jet_page.h"
#include "jet/jet_type.h"
#include "jet/jet_umap.h"

namespace {

uint32_t owner_of(const std::vector<uint8_t>& page) { return jet_view(page, "").u32(jet4::data_owner_offset); }

// Long-value pages the maps of every other local table list; false when a
// definition cannot be read.
bool long_value_pages_of_others(const jet_database& db, const jet_catalog_entry& table,
                                std::vector<uint32_t>& pages) {
  for (const jet_catalog_entry* other : db.tables()) {
    if (other == &table || !other->is_local_table() || other->tdef_page() == table.tdef_page()) continue;
    try {
      jet_table_def def = db.table_def(*other);
      for (const jet_column_map& map : def.column_maps) {
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
    bool data_or_index = bytes[0] == jet4::page_data || bytes[0] == jet4::page_index_leaf ||
                         bytes[0] == jet4::page_index_node;
    if (data_or_index && owner_of(bytes) == def.page) pages.push_back(page);
  }

  // A long-value page's owner field says only "LVAL", not whose: the
  // column maps say, and no other table may claim the page.
  std::vector<uint32_t> long_values;
  for (const jet_column_map& map : def.column_maps) {
    std::vector<uint32_t> listed = jet_read_usage_map(pager, map.owned_pages);
    long_values.insert(long_values.end(), listed.begin(), listed.end());
  }
  std::vector<uint32_t> others;
  if (!long_values.empty() && long_value_pages_of_others(db, table, others)) {
    for (uint32_t page : long_values) {
      if (std::binary_search(others.begin(), others.end(), page)) continue;
      std::vector<uint8_t> bytes = pager.read_page(page);
      if (bytes[0] == jet4::page_data && owner_of(bytes) == jet4::lval_owner_tag) pages.push_back(page);
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
      if (pager.read_page(page)[0] == jet4::page_usage_map) pages.push_back(page);
  }
  // A page of map rows goes too when every row on it is one of these maps.
  std::sort(maps.begin(), maps.end());
  std::vector<uint32_t> map_pages;
  for (uint32_t map : maps)
    if (map != 0) map_pages.push_back(jet_row_page(map));
  map_pages.erase(std::unique(map_pages.begin(), map_pages.end()), map_pages.end());
  for (uint32_t page : map_pages) {
    if (page <= jet4::global_usage_map_page) continue;
    std::vector<uint8_t> bytes = pager.read_page(page);
    jet_view view(bytes, pager.path());
    if (view.u8(0) != jet4::page_data || view.u32(jet4::data_owner_offset) != 0) continue;
    bool all_ours = true;
    for (uint32_t row = 0, count = jet_page_row_count(view); row < count && all_ours; ++row)
      if (!jet_locate_row(view, row).deleted)
        all_ours = std::binary_search(maps.begin(), maps.end(), jet_row_pointer(page, row));
    if (all_ours) pages.push_back(page);
  }
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  return pages;
}
