#include "jet/index/tree_image.h"

#include "jet/format/byte_view.h"
#include "jet/format/error.h"
#include "jet/format/jet4.h"

namespace {

constexpr size_t entry_room = jet4::page_size - jet4::index_entries_offset;

size_t entry_size(const jet_index_entry& entry, bool leaf) { return entry.key.size() + (leaf ? 4 : 8); }

void put_big_endian(uint8_t* at, uint32_t value) {
  at[0] = uint8_t(value >> 24);
  at[1] = uint8_t(value >> 16);
  at[2] = uint8_t(value >> 8);
  at[3] = uint8_t(value);
}

// Splits entries into pages, each as full as it can be.
std::vector<std::vector<jet_index_entry>> pack(const std::vector<jet_index_entry>& entries, bool leaf) {
  std::vector<std::vector<jet_index_entry>> pages(1);
  size_t used = 0;
  for (const jet_index_entry& entry : entries) {
    size_t size = entry_size(entry, leaf);
    if (size > entry_room) throw jet_error(jet_dao_error::invalid_argument, "Index key too long.");
    if (used + size > entry_room) {
      pages.emplace_back();
      used = 0;
    }
    pages.back().push_back(entry);
    used += size;
  }
  return pages;
}

}  // namespace

std::vector<uint8_t> jet_index_page_bytes(const std::vector<jet_index_entry>& entries, bool leaf,
                                          uint32_t tdef_page, uint32_t prev, uint32_t next) {
  std::vector<uint8_t> page(jet4::page_size, 0);
  page[0] = leaf ? jet4::page_index_leaf : jet4::page_index_node;
  page[1] = 0x01;
  jet_put_u32(&page[4], tdef_page);
  jet_put_u32(&page[jet4::index_prev_page_offset], prev);
  jet_put_u32(&page[jet4::index_next_page_offset], next);
  size_t at = jet4::index_entries_offset;
  for (size_t i = 0; i < entries.size(); ++i) {
    const jet_index_entry& entry = entries[i];
    if (at + entry_size(entry, leaf) > page.size())
      throw jet_error(jet_dao_error::invalid_argument, "Index entries do not fit their page.");
    if (i > 0) {
      size_t bit = at - jet4::index_entries_offset;
      page[jet4::index_entry_mask_offset + bit / 8] |= uint8_t(1u << (bit % 8));
    }
    std::copy(entry.key.begin(), entry.key.end(), page.begin() + long(at));
    at += entry.key.size();
    // Row pointer: page (3 bytes) and row, most significant first.
    put_big_endian(&page[at], entry.row_pointer);
    at += 4;
    if (!leaf) {
      put_big_endian(&page[at], entry.child);
      at += 4;
    }
  }
  if (!entries.empty()) {
    size_t bit = at - jet4::index_entries_offset;
    page[jet4::index_entry_mask_offset + bit / 8] |= uint8_t(1u << (bit % 8));
  }
  jet_put_u16(&page[jet4::data_free_space_offset], uint16_t(page.size() - at));
  return page;
}

jet_index_image jet_build_index(const std::vector<jet_index_entry>& entries, uint32_t tdef_page,
                                const std::function<uint32_t()>& next_page) {
  jet_index_image image;
  std::vector<std::vector<jet_index_entry>> level = pack(entries, true);
  bool leaf = true;
  for (;;) {
    std::vector<uint32_t> numbers;
    for (size_t i = 0; i < level.size(); ++i) numbers.push_back(next_page());
    std::vector<jet_index_entry> above;
    for (size_t i = 0; i < level.size(); ++i) {
      uint32_t prev = i > 0 ? numbers[i - 1] : 0;
      uint32_t next = i + 1 < level.size() ? numbers[i + 1] : 0;
      image.pages.push_back(numbers[i]);
      image.images.push_back(jet_index_page_bytes(level[i], leaf, tdef_page, prev, next));
      if (!level[i].empty()) {
        jet_index_entry last = level[i].back();
        last.child = numbers[i];
        above.push_back(std::move(last));
      }
    }
    if (level.size() == 1) {
      image.root = numbers[0];
      return image;
    }
    level = pack(above, false);
    leaf = false;
  }
}
