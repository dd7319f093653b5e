#pragma once
// Page usage maps: bitmaps of pages, stored in a row either inline (first page
// number and bits) or as a list of whole bitmap pages (type 0x05).
#include <cstdint>
#include <vector>

#include "jet/format/byte_view.h"

class jet_pager;

// Pages whose bit is set, ascending. Pages past the end of the file are
// reported as corrupt when the map is read, not when they are later used;
// the global map (free pages) lists them by design: `past_end_is_free` drops them.
std::vector<uint32_t> jet_decode_usage_map(const jet_pager& pager, const jet_view& map_row,
                                           bool past_end_is_free = false);
// Reads the map row a pointer names and decodes it.
std::vector<uint32_t> jet_read_usage_map(const jet_pager& pager, uint32_t pointer, bool past_end_is_free = false);
// The bitmap pages a reference map keeps its bits on; none for an inline map.
std::vector<uint32_t> jet_usage_map_bitmap_pages(const jet_pager& pager, uint32_t pointer);
