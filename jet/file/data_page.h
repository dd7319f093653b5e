#pragma once
// Rows on data pages: the row-offset table at the page head, rows packed
// from the page end downwards, and the deleted / overflow flags.
#include <cstdint>
#include <vector>

#include "jet/format/byte_view.h"
#include "jet/format/format.h"

struct jet_row_slot {
  uint32_t start = 0;   // offset of the row in the page
  uint32_t length = 0;
  bool deleted = false;   // deleted, or moved here by an overflow pointer
  bool overflow = false;  // the row is a 4-byte pointer to where it really lives
};

uint16_t jet_page_row_count(const jet_format& format, const jet_view& page);
// The row's place in its page; every offset is checked against the page.
jet_row_slot jet_locate_row(const jet_format& format, const jet_view& page, uint32_t row);

class jet_pager;

// One row's bytes fetched by row pointer (page << 8 | row), with the page it
// lives on kept alive by the holder.
struct jet_fetched_row {
  std::vector<uint8_t> page;
  jet_row_slot slot;
  jet_view bytes() const { return jet_view(page.data() + slot.start, slot.length, *file_); }
  const std::string* file_ = nullptr;
};

// Reads the row a pointer names on a page of type 0x01. `owner` is checked
// against the page's owner field unless it is 0. Rows moved away by an
// overflow pointer are flagged deleted in their page; `moved_target` accepts them.
jet_fetched_row jet_fetch_row(const jet_pager& pager, uint32_t pointer, uint32_t owner,
                              bool moved_target = false);
