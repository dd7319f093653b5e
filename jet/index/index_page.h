#pragma once
// Reading index trees: intermediate pages (0x03) lead to leaf pages (0x04),
// which are chained in key order. Entries are delimited by a bitmap in the
// page head, and share the first entry's leading bytes (the page's prefix).
#include <cstdint>
#include <vector>

class jet_pager;

struct jet_index_entry {
  std::vector<uint8_t> key;  // the column keys, without the row pointer
  uint32_t row_pointer = 0;  // page << 8 | row of the table row
  uint32_t child = 0;        // intermediate entries: the page below
};

// The entries of one index page, prefixes restored.
std::vector<jet_index_entry> jet_read_index_page(const jet_pager& pager, uint32_t page, bool* is_leaf,
                                                 uint32_t* next_page);
// Every leaf entry of the tree rooted at `root`, in stored order.
std::vector<jet_index_entry> jet_read_index_entries(const jet_pager& pager, uint32_t root);
