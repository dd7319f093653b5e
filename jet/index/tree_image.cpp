#include "jet/index/tree_image.h"

#include "jet/format/byte_view.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

size_t jet_index_entry_room(const jet_format& format) { return format.page_size - format.index_page.entries; }

namespace {

size_t entry_size(const jet_index_entry& entry, bool leaf) { return entry.key.size() + (leaf ? 4 : 8); }

void put_big_endian(uint8_t* at, uint32_t value) {
  at[0] = uint8_t(value >> 24);
  at[1] = uint8_t(value >> 16);
  at[2] = uint8_t(value >> 8);
  at[3] = uint8_t(value);
}

// Splits entries into pages, each as full as it can be.
std::vector<std::vector<jet_index_entry>> pack(const jet_format& format, const std::vector<jet_index_entry>& entries,
                                               bool leaf) {
  const size_t entry_room = jet_index_entry_room(format);
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

std::vector<uint8_t> jet_index_page_bytes(const jet_format& format, const std::vector<jet_index_entry>& entries,
                                          bool leaf, uint32_t tdef_page, uint32_t prev, uint32_t next) {
  const auto& layout = format.index_page;
  std::vector<uint8_t> page(format.page_size, 0);
  page[0] = leaf ? jet_const::page_index_leaf : jet_const::page_index_node;
  page[1] = 0x01;
  page[layout.node_flag] = leaf ? 0 : 1;
  jet_put_u32(&page[4], tdef_page);
  jet_put_u32(&page[layout.prev_page], prev);
  jet_put_u32(&page[layout.next_page], next);
  size_t at = layout.entries;
  for (size_t i = 0; i < entries.size(); ++i) {
    const jet_index_entry& entry = entries[i];
    if (at + entry_size(entry, leaf) > page.size())
      throw jet_error(jet_dao_error::invalid_argument, "Index entries do not fit their page.");
    if (i > 0) {
      size_t bit = at - layout.entries;
      page[layout.entry_mask + bit / 8] |= uint8_t(1u << (bit % 8));
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
    size_t bit = at - layout.entries;
    page[layout.entry_mask + bit / 8] |= uint8_t(1u << (bit % 8));
  }
  jet_put_u16(&page[jet_const::data_free_space_offset], uint16_t(page.size() - at));
  return page;
}

jet_index_image jet_build_index(const jet_format& format, const std::vector<jet_index_entry>& entries,
                                uint32_t tdef_page, const std::function<uint32_t()>& next_page) {
  jet_index_image image;
  std::vector<std::vector<jet_index_entry>> level = pack(format, entries, true);
  bool leaf = true;
  for (;;) {
    std::vector<uint32_t> numbers;
    for (size_t i = 0; i < level.size(); ++i) numbers.push_back(next_page());
    std::vector<jet_index_entry> above;
    for (size_t i = 0; i < level.size(); ++i) {
      uint32_t prev = i > 0 ? numbers[i - 1] : 0;
      uint32_t next = i + 1 < level.size() ? numbers[i + 1] : 0;
      image.pages.push_back(numbers[i]);
      image.images.push_back(jet_index_page_bytes(format, level[i], leaf, tdef_page, prev, next));
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
    level = pack(format, above, false);
    leaf = false;
  }
}
