#include "jet/file/usage_map.h"

#include "jet/file/data_page.h"
#include "jet/file/pager.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

namespace {

void collect_bits(const jet_pager& pager, const uint8_t* bits, size_t length, uint64_t first_page,
                  std::vector<uint32_t>& pages, bool past_end_is_free) {
  for (size_t byte = 0; byte < length; ++byte) {
    if (bits[byte] == 0) continue;
    for (int bit = 0; bit < 8; ++bit) {
      if (!(bits[byte] >> bit & 1)) continue;
      uint64_t page = first_page + byte * 8 + uint64_t(bit);
      if (page >= pager.page_count()) {
        if (past_end_is_free) continue;
        throw jet_corrupt(pager.path(), "usage map names a page past the end");
      }
      pages.push_back(uint32_t(page));
    }
  }
}

}  // namespace

std::vector<uint32_t> jet_decode_usage_map(const jet_pager& pager, const jet_view& map_row, bool past_end_is_free) {
  std::vector<uint32_t> pages;
  uint8_t type = map_row.u8(0);
  if (type == jet_const::usage_map_inline) {
    uint32_t first = map_row.u32(1);
    collect_bits(pager, map_row.data() + 5, map_row.size() - 5, first, pages, past_end_is_free);
  } else if (type == jet_const::usage_map_reference) {
    const uint64_t pages_per_map = uint64_t(pager.page_size() - jet_const::usage_map_page_header) * 8;
    for (size_t at = 1, n = 0; at + 4 <= map_row.size(); at += 4, ++n) {
      uint32_t map_page = map_row.u32(at);
      if (map_page == 0) continue;
      std::vector<uint8_t> bytes = pager.read_page(map_page);
      if (bytes[0] != jet_const::page_usage_map) throw jet_corrupt(pager.path(), "usage map page of the wrong type");
      collect_bits(pager, bytes.data() + jet_const::usage_map_page_header,
                   bytes.size() - jet_const::usage_map_page_header, n * pages_per_map, pages, past_end_is_free);
    }
  } else {
    throw jet_corrupt(pager.path(), "unknown usage map type");
  }
  return pages;
}

std::vector<uint32_t> jet_read_usage_map(const jet_pager& pager, uint32_t pointer, bool past_end_is_free) {
  jet_fetched_row row = jet_fetch_row(pager, pointer, 0);
  return jet_decode_usage_map(pager, row.bytes(), past_end_is_free);
}

std::vector<uint32_t> jet_usage_map_bitmap_pages(const jet_pager& pager, uint32_t pointer) {
  jet_fetched_row row = jet_fetch_row(pager, pointer, 0);
  jet_view map_row = row.bytes();
  std::vector<uint32_t> pages;
  if (map_row.u8(0) != jet_const::usage_map_reference) return pages;
  for (size_t at = 1; at + 4 <= map_row.size(); at += 4) {
    uint32_t map_page = map_row.u32(at);
    if (map_page == 0) continue;
    if (map_page >= pager.page_count()) throw jet_corrupt(pager.path(), "usage map page past the end");
    pages.push_back(map_page);
  }
  return pages;
}
