#include "jet/file/data_page.h"

#include "jet/file/pager.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

uint16_t jet_page_row_count(const jet_format& format, const jet_view& page) {
  return page.u16(format.data_page.row_count);
}

jet_row_slot jet_locate_row(const jet_format& format, const jet_view& page, uint32_t row) {
  uint16_t count = jet_page_row_count(format, page);
  const uint32_t row_table = format.data_page.row_table;
  if (row >= count) throw jet_corrupt(page.file(), "row number past the page's rows");
  uint32_t table_end = row_table + 2 * uint32_t(count);
  if (table_end > page.size()) throw jet_corrupt(page.file(), "row table larger than its page");
  uint16_t raw = page.u16(row_table + 2 * row);
  uint32_t start = raw & jet_const::row_offset_mask;
  uint32_t end = row == 0 ? uint32_t(page.size())
                          : page.u16(row_table + 2 * (row - 1)) & jet_const::row_offset_mask;
  jet_row_slot slot;
  slot.deleted = raw & jet_const::row_deleted_flag;
  slot.overflow = raw & jet_const::row_overflow_flag;
  if (start < table_end || end > page.size() || start > end) {
    // A deleted row's offsets may be stale; only a live row must be whole.
    if (slot.deleted) return slot;
    throw jet_corrupt(page.file(), "row offsets outside their page");
  }
  slot.start = start;
  slot.length = end - start;
  return slot;
}

jet_fetched_row jet_fetch_row(const jet_pager& pager, uint32_t pointer, uint32_t owner, bool moved_target) {
  jet_fetched_row fetched;
  fetched.file_ = &pager.path();
  fetched.page = pager.read_page(jet_row_page(pointer));
  jet_view view(fetched.page, pager.path());
  if (view.u8(0) != jet_const::page_data) throw jet_corrupt(pager.path(), "row pointer to a page that holds no rows");
  if (owner != 0 && view.u32(jet_const::data_owner_offset) != owner)
    throw jet_corrupt(pager.path(), "row pointer to a page of another owner");
  fetched.slot = jet_locate_row(pager.format(), view, jet_row_number(pointer));
  // The target of an overflow pointer carries the deleted flag so that page
  // scans skip it; it is reached only through its pointer.
  if (fetched.slot.deleted && (!moved_target || fetched.slot.length == 0))
    throw jet_corrupt(pager.path(), "row pointer to a deleted row");
  return fetched;
}
