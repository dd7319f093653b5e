#include "jet/file/page_writer.h"

#include <algorithm>

#include "jet/file/data_page.h"
#include "jet/file/pager.h"
#include "jet/format/byte_view.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

namespace {

uint32_t extend_file(jet_pager& pager, const std::vector<uint8_t>& bytes);

// A bitmap page for the map `pointer` names. The global map's own come from
// the file's end: taking a free page would change the map being rewritten.
uint32_t new_bitmap_page(jet_pager& pager, uint32_t pointer, const std::vector<uint8_t>& bytes) {
  if (pointer == jet_row_pointer(jet_const::global_usage_map_page, 0)) return extend_file(pager, bytes);
  return jet_append_page(pager, bytes);
}

}  // namespace

std::vector<uint8_t> jet_new_data_page(const jet_format& format, uint32_t owner) {
  std::vector<uint8_t> page(format.page_size, 0);
  page[0] = jet_const::page_data;
  page[1] = 0x01;
  jet_put_u16(&page[jet_const::data_free_space_offset], uint16_t(format.page_size - format.data_page.row_table));
  jet_put_u32(&page[jet_const::data_owner_offset], owner);
  return page;
}

uint32_t jet_page_free_space(const std::vector<uint8_t>& page) {
  return uint32_t(page[jet_const::data_free_space_offset] | page[jet_const::data_free_space_offset + 1] << 8);
}

int jet_page_add_row(const jet_format& format, std::vector<uint8_t>& page, const std::vector<uint8_t>& row) {
  jet_page_fill fill;
  return jet_page_add_row(format, page, row, fill);
}

int jet_page_add_row(const jet_format& format, std::vector<uint8_t>& page, const std::vector<uint8_t>& row,
                     jet_page_fill& fill) {
  const uint32_t row_count_at = format.data_page.row_count;
  const uint32_t row_table = format.data_page.row_table;
  uint32_t count = uint32_t(page[row_count_at] | page[row_count_at + 1] << 8);
  if (count >= 255) return -1;  // row numbers are one byte in row pointers
  uint32_t free_bytes = jet_page_free_space(page);
  if (row.size() + 2 > free_bytes) return -1;
  // The lowest start among the rows, deleted ones included, bounds the new row.
  uint32_t lowest = uint32_t(page.size());
  if (fill.rows != 0 && fill.rows == count) {
    lowest = fill.lowest;
  } else {
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t offset = (page[row_table + 2 * i] | page[row_table + 2 * i + 1] << 8) &
                        jet_const::row_offset_mask;
      lowest = std::min(lowest, offset);
    }
  }
  uint32_t table_end = row_table + 2 * (count + 1);
  if (lowest < table_end + row.size()) return -1;
  uint32_t start = lowest - uint32_t(row.size());
  std::copy(row.begin(), row.end(), page.begin() + start);
  jet_put_u16(&page[row_table + 2 * count], uint16_t(start));
  jet_put_u16(&page[row_count_at], uint16_t(count + 1));
  jet_put_u16(&page[jet_const::data_free_space_offset], uint16_t(free_bytes - row.size() - 2));
  fill.rows = count + 1;
  fill.lowest = start;
  return int(count);
}

bool jet_usage_map_mark(jet_pager& pager, uint32_t pointer, uint32_t page, bool set) {
  uint32_t map_page = jet_row_page(pointer);
  std::vector<uint8_t> bytes = pager.read_page(map_page);
  jet_view view(bytes, pager.path());
  jet_row_slot slot = jet_locate_row(pager.format(), view, jet_row_number(pointer));
  if (slot.deleted || slot.length < 5) throw jet_corrupt(pager.path(), "usage map row missing");
  uint8_t* row = bytes.data() + slot.start;
  auto mark = [set](uint8_t& byte, uint32_t bit) {
    if (set) byte = uint8_t(byte | 1u << bit);
    else byte = uint8_t(byte & ~(1u << bit));
  };
  if (row[0] == jet_const::usage_map_inline) {
    uint32_t first = jet_view(row, slot.length, pager.path()).u32(1);
    uint64_t index = uint64_t(page) - first;
    if (page >= first && index / 8 < slot.length - 5) {
      mark(row[5 + index / 8], uint32_t(index % 8));
      pager.write_page(map_page, bytes);
      return true;
    }
    if (!set) return false;  // clearing a page the map does not cover changes nothing
    // The page is out of the inline map's reach: the row becomes a list of
    // bitmap pages, which cover the whole file, and takes the page again.
    const uint32_t pages_per_map = (pager.page_size() - jet_const::usage_map_page_header) * 8;
    std::vector<uint32_t> bitmap_pages((slot.length - 1) / 4, 0);
    std::vector<uint32_t> pages;
    for (;;) {
      // Adding a bitmap page may change the row (the global map lists the
      // file's end), so its pages are read again until every one has a place.
      bytes = pager.read_page(map_page);
      row = bytes.data() + slot.start;
      pages.clear();
      for (size_t byte = 0; byte < slot.length - 5; ++byte)
        for (int bit = 0; bit < 8; ++bit)
          if (row[5 + byte] >> bit & 1) pages.push_back(first + uint32_t(byte * 8) + uint32_t(bit));
      pages.push_back(page);
      bool added = false;
      for (uint32_t listed : pages) {
        size_t n = listed / pages_per_map;
        if (n >= bitmap_pages.size()) return false;
        if (bitmap_pages[n] == 0) {
          std::vector<uint8_t> bitmap(pager.page_size(), 0);
          bitmap[0] = jet_const::page_usage_map;
          bitmap[1] = 0x01;
          bitmap_pages[n] = new_bitmap_page(pager, pointer, bitmap);
          added = true;
          break;
        }
      }
      if (!added) break;
    }
    for (uint32_t listed : pages) {
      uint32_t bitmap_page = bitmap_pages[listed / pages_per_map];
      std::vector<uint8_t> bitmap = pager.read_page(bitmap_page);
      uint32_t index_in_map = listed % pages_per_map;
      bitmap[jet_const::usage_map_page_header + index_in_map / 8] |= uint8_t(1u << (index_in_map % 8));
      pager.write_page(bitmap_page, bitmap);
    }
    // The map's own page may have changed while bitmap pages were added.
    bytes = pager.read_page(map_page);
    row = bytes.data() + slot.start;
    std::fill(row, row + slot.length, 0);
    row[0] = jet_const::usage_map_reference;
    for (size_t n = 0; n < bitmap_pages.size(); ++n) jet_put_u32(row + 1 + 4 * n, bitmap_pages[n]);
    pager.write_page(map_page, bytes);
    return true;
  }
  if (row[0] == jet_const::usage_map_reference) {
    const uint32_t pages_per_map = (pager.page_size() - jet_const::usage_map_page_header) * 8;
    uint32_t n = page / pages_per_map;
    if (1 + 4 * size_t(n + 1) > slot.length) return false;
    uint32_t bitmap_page = jet_view(row, slot.length, pager.path()).u32(1 + 4 * n);
    if (bitmap_page == 0) {
      if (!set) return false;
      std::vector<uint8_t> bitmap(pager.page_size(), 0);
      bitmap[0] = jet_const::page_usage_map;
      bitmap[1] = 0x01;
      bitmap_page = new_bitmap_page(pager, pointer, bitmap);
      bytes = pager.read_page(map_page);
      jet_put_u32(bytes.data() + slot.start + 1 + 4 * n, bitmap_page);
      pager.write_page(map_page, bytes);
    }
    std::vector<uint8_t> bitmap = pager.read_page(bitmap_page);
    if (bitmap[0] != jet_const::page_usage_map) throw jet_corrupt(pager.path(), "usage map page of the wrong type");
    uint32_t index = page % pages_per_map;
    mark(bitmap[jet_const::usage_map_page_header + index / 8], index % 8);
    pager.write_page(bitmap_page, bitmap);
    return true;
  }
  throw jet_corrupt(pager.path(), "unknown usage map type");
}

namespace {

constexpr uint32_t first_movable_page = 3;  // 0 header, 1 global map, 2 the catalog's definition

// The first set bit among `length` bytes of `bits` whose page (first_page +
// bit number) lies in [low, high); clears it and returns the page, else 0.
uint32_t take_bit(uint8_t* bits, size_t length, uint64_t first_page, uint64_t low, uint64_t high) {
  for (size_t byte = 0; byte < length; ++byte) {
    if (bits[byte] == 0) continue;
    uint64_t base = first_page + uint64_t(byte) * 8;
    if (base >= high) break;
    for (int bit = 0; bit < 8; ++bit) {
      uint64_t page = base + uint64_t(bit);
      if (!(bits[byte] >> bit & 1) || page < low || page >= high) continue;
      bits[byte] = uint8_t(bits[byte] & ~(1u << bit));
      return uint32_t(page);
    }
  }
  return 0;
}

// A page at the end of the file; the global map lists it as in use.
uint32_t extend_file(jet_pager& pager, const std::vector<uint8_t>& bytes) {
  uint32_t page = pager.page_count();
  pager.write_page(page, bytes);
  jet_usage_map_mark(pager, jet_row_pointer(jet_const::global_usage_map_page, 0), page, false);
  return page;
}

}  // namespace

uint32_t jet_take_free_page(jet_pager& pager) {
  const uint64_t count = pager.page_count();
  std::vector<uint8_t> bytes = pager.read_page(jet_const::global_usage_map_page);
  jet_view view(bytes, pager.path());
  jet_row_slot slot = jet_locate_row(pager.format(), view, 0);
  if (slot.deleted || slot.length < 5) throw jet_corrupt(pager.path(), "global usage map missing");
  uint8_t* row = bytes.data() + slot.start;
  if (row[0] == jet_const::usage_map_inline) {
    uint32_t first = jet_view(row, slot.length, pager.path()).u32(1);
    uint32_t page = take_bit(row + 5, slot.length - 5, first, first_movable_page, count);
    if (page != 0) pager.write_page(jet_const::global_usage_map_page, bytes);
    return page;
  }
  if (row[0] != jet_const::usage_map_reference) throw jet_corrupt(pager.path(), "unknown usage map type");
  const uint64_t pages_per_map = uint64_t(pager.page_size() - jet_const::usage_map_page_header) * 8;
  for (size_t at = 1, n = 0; at + 4 <= slot.length && n * pages_per_map < count; at += 4, ++n) {
    uint32_t bitmap_page = jet_view(row, slot.length, pager.path()).u32(at);
    if (bitmap_page == 0 || bitmap_page >= count) continue;
    std::vector<uint8_t> bitmap = pager.read_page(bitmap_page);
    if (bitmap[0] != jet_const::page_usage_map) throw jet_corrupt(pager.path(), "usage map page of the wrong type");
    uint32_t page = take_bit(bitmap.data() + jet_const::usage_map_page_header, bitmap.size() - jet_const::usage_map_page_header,
                             n * pages_per_map, first_movable_page, count);
    if (page != 0) {
      pager.write_page(bitmap_page, bitmap);
      return page;
    }
  }
  return 0;
}

uint32_t jet_append_page(jet_pager& pager, const std::vector<uint8_t>& bytes) {
  uint32_t page = jet_take_free_page(pager);
  if (page == 0) return extend_file(pager, bytes);
  pager.write_page(page, bytes);
  return page;
}

uint32_t jet_map_rows::add() {
  const jet_format& format = pager_.format();
  // Type 0 (inline), first page 0, the version's bitmap bytes.
  std::vector<uint8_t> row(5 + format.inline_map_bytes, 0);
  row[0] = jet_const::usage_map_inline;
  if (page_ != 0) {
    std::vector<uint8_t> bytes = pager_.read_page(page_);
    int number = jet_page_add_row(format, bytes, row);
    if (number >= 0) {
      pager_.write_page(page_, bytes);
      return jet_row_pointer(page_, uint32_t(number));
    }
  }
  std::vector<uint8_t> bytes = jet_new_data_page(format, 0);
  int number = jet_page_add_row(format, bytes, row);
  page_ = jet_append_page(pager_, bytes);
  return jet_row_pointer(page_, uint32_t(number));
}
