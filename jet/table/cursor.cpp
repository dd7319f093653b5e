#include "jet/table/cursor.h"

#include "jet/file/data_page.h"
#include "jet/file/pager.h"
#include "jet/file/usage_map.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/table/row.h"

jet_table_cursor::jet_table_cursor(const jet_pager& pager, const jet_table_def& def)
    : pager_(pager), def_(def), pages_(jet_read_usage_map(pager, def.owned_pages)) {}

bool jet_table_cursor::load_page() {
  while (page_index_ < pages_.size()) {
    uint32_t page = pages_[page_index_++];
    std::vector<uint8_t> bytes = pager_.read_page(page);
    jet_view view(bytes, pager_.path());
    // The owned-page map also lists the table's definition and long-value pages.
    if (view.u8(0) != jet_const::page_data || view.u32(jet_const::data_owner_offset) != def_.page) continue;
    page_ = std::move(bytes);
    row_ = 0;
    row_count_ = jet_page_row_count(pager_.format(), view);
    position_ = jet_row_pointer(page, 0);
    return true;
  }
  page_.clear();
  return false;
}

bool jet_table_cursor::next_stored(std::vector<uint8_t>& row_bytes) {
  for (;;) {
    if (page_.empty() || row_ >= row_count_) {
      if (!load_page()) return false;
      continue;
    }
    jet_view page(page_, pager_.path());
    uint32_t row = row_++;
    jet_row_slot slot = jet_locate_row(pager_.format(), page, row);
    if (slot.deleted) continue;
    position_ = jet_row_pointer(position_ >> 8, row);
    if (slot.overflow) {
      // The slot keeps the row's place; the row itself lives where the
      // pointer says, flagged so that the scan does not meet it twice.
      uint32_t target = page.sub(slot.start, slot.length).u32(0);
      jet_fetched_row moved = jet_fetch_row(pager_, target, def_.page, true);
      jet_view bytes = moved.bytes();
      row_bytes.assign(bytes.data(), bytes.data() + bytes.size());
      return true;
    }
    row_bytes.assign(page_.begin() + slot.start, page_.begin() + slot.start + slot.length);
    return true;
  }
}

bool jet_table_cursor::next(std::vector<jet_value>& values) {
  if (!next_stored(stored_)) return false;
  values = jet_decode_row(pager_, def_, jet_view(stored_, pager_.path()));
  return true;
}
