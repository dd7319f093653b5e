#include "jet/index/index_page.h"

#include <set>

#include "jet/file/pager.h"
#include "jet/format/byte_view.h"
#include "jet/format/error.h"
#include "jet/format/format.h"

namespace {

constexpr size_t pointer_size = 4;  // 3-byte page, 1-byte row, most significant first
constexpr size_t child_size = 4;

uint32_t big_endian(const uint8_t* at) {
  return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | at[3];
}

}  // namespace

std::vector<jet_index_entry> jet_read_index_page(const jet_pager& pager, uint32_t page, bool* is_leaf,
                                                 uint32_t* next_page) {
  std::vector<uint8_t> bytes = pager.read_page(page);
  jet_view view(bytes, pager.path());
  uint8_t type = view.u8(0);
  if (type != jet_const::page_index_leaf && type != jet_const::page_index_node)
    throw jet_corrupt(pager.path(), "index page " + std::to_string(page) + " of the wrong type");
  bool leaf = type == jet_const::page_index_leaf;
  *is_leaf = leaf;
  const auto& layout = pager.format().index_page;
  *next_page = view.u32(layout.next_page);
  size_t prefix_length = layout.prefix_length_size == 1 ? view.u8(layout.prefix_length) : view.u16(layout.prefix_length);

  std::vector<size_t> bounds = {layout.entries};
  for (size_t at = layout.entry_mask; at < layout.entries; ++at) {
    uint8_t bits = bytes[at];
    for (int bit = 0; bits && bit < 8; ++bit)
      if (bits >> bit & 1) bounds.push_back(layout.entries + (at - layout.entry_mask) * 8 + size_t(bit));
  }
  std::vector<jet_index_entry> entries;
  std::vector<uint8_t> first;
  size_t tail = pointer_size + (leaf ? 0 : child_size);
  for (size_t i = 0; i + 1 < bounds.size(); ++i) {
    if (bounds[i + 1] > bytes.size() || bounds[i + 1] <= bounds[i])
      throw jet_corrupt(pager.path(), "index entry outside its page");
    std::vector<uint8_t> full;
    if (i > 0) {
      if (prefix_length > first.size()) throw jet_corrupt(pager.path(), "index prefix longer than its entry");
      full.assign(first.begin(), first.begin() + long(prefix_length));
    }
    full.insert(full.end(), bytes.begin() + long(bounds[i]), bytes.begin() + long(bounds[i + 1]));
    if (i == 0) first = full;
    if (full.size() < tail) throw jet_corrupt(pager.path(), "index entry shorter than its pointers");
    jet_index_entry entry;
    size_t key_length = full.size() - tail;
    entry.key.assign(full.begin(), full.begin() + long(key_length));
    const uint8_t* pointer = full.data() + key_length;
    entry.row_pointer = (uint32_t(pointer[0]) << 16 | uint32_t(pointer[1]) << 8 | pointer[2]) << 8 | pointer[3];
    if (!leaf) entry.child = big_endian(pointer + pointer_size);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<jet_index_entry> jet_read_index_entries(const jet_pager& pager, uint32_t root) {
  std::set<uint32_t> seen;
  uint32_t page = root;
  bool leaf = false;
  uint32_t next = 0;
  // Down the leftmost path to the first leaf.
  std::vector<jet_index_entry> entries = jet_read_index_page(pager, page, &leaf, &next);
  seen.insert(page);
  while (!leaf) {
    if (entries.empty()) throw jet_corrupt(pager.path(), "empty intermediate index page");
    page = entries.front().child;
    if (!seen.insert(page).second) throw jet_corrupt(pager.path(), "index tree loops");
    entries = jet_read_index_page(pager, page, &leaf, &next);
  }
  // Then along the chain of leaves.
  while (next != 0) {
    if (!seen.insert(next).second) throw jet_corrupt(pager.path(), "index leaf chain loops");
    bool next_is_leaf = false;
    uint32_t after = 0;
    std::vector<jet_index_entry> more = jet_read_index_page(pager, next, &next_is_leaf, &after);
    if (!next_is_leaf) throw jet_corrupt(pager.path(), "index leaf chain reaches a node page");
    entries.insert(entries.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    next = after;
  }
  return entries;
}
