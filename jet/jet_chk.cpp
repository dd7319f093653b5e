#include "jet/jet_chk.h"

#include "jet/jet_byte.h"
#include "jet/jet_cur.h"
#include "jet/jet_data.h"
#include "jet/jet_db.h"
#include "jet/jet_err.h"
#include "jet/jet_fmt4.h"
#include "jet/jet_umap.h"
#include "platform/codepage.h"

namespace {

// A data page's own bookkeeping: its free-space count matches its rows when
// none is deleted (deleted rows keep their bytes until the page is compacted).
void check_data_page(const std::vector<uint8_t>& bytes, const std::string& file, uint32_t page,
                     std::vector<std::string>& problems) {
  jet_view view(bytes, file);
  uint32_t count = jet_page_row_count(view);
  uint32_t lowest = jet4::page_size;
  for (uint32_t row = 0; row < count; ++row) {
    jet_row_slot slot = jet_locate_row(view, row);
    if (slot.deleted) return;
    lowest = std::min(lowest, slot.start);
  }
  uint32_t expected = jet4::page_size - jet4::data_row_table_offset - 2 * count - (jet4::page_size - lowest);
  uint32_t stated = view.u16(jet4::data_free_space_offset);
  if (stated != expected)
    problems.push_back("page " + std::to_string(page) + ": free space " + std::to_string(stated) + ", rows leave " +
                       std::to_string(expected));
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
        if (view.u8(0) == jet4::page_data && view.u32(jet4::data_owner_offset) == def.page)
          check_data_page(bytes, pager.path(), page, report.problems);
      }
      jet_table_cursor cursor(pager, def);
      std::vector<jet_value> row;
      long rows = 0;
      while (cursor.next(row)) ++rows;
      report.rows += rows;
      if (rows != long(def.row_count))
        report.problems.push_back(name + ": " + std::to_string(rows) + " rows, the definition says " +
                                  std::to_string(def.row_count));
      db.properties(*table);
    } catch (const jet_error& error) {
      report.problems.push_back(name + ": " + error.what());
    }
  }
  return report;
}
