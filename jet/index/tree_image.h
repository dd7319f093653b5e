#pragma once
// Building index trees from sorted entries: entries fill leaf pages in order
// (without shared prefixes, as Access writes pages it fills one entry at a
// time), leaves are chained, and intermediate levels hold the last entry of
// each page below until one root page remains.
#include <cstdint>
#include <functional>
#include <vector>

#include "jet/format/format.h"
#include "jet/index/index_page.h"

struct jet_index_image {
  std::vector<uint32_t> pages;              // page numbers used, in `images` order
  std::vector<std::vector<uint8_t>> images; // the pages' bytes
  uint32_t root = 0;
};

// `entries` must be sorted (key bytes, then row pointer). `next_page` hands
// out the page numbers to use. An empty index is one empty leaf page.
jet_index_image jet_build_index(const jet_format& format, const std::vector<jet_index_entry>& entries,
                                uint32_t tdef_page, const std::function<uint32_t()>& next_page);

// One index page holding `entries` (leaf or intermediate), links filled in.
std::vector<uint8_t> jet_index_page_bytes(const jet_format& format, const std::vector<jet_index_entry>& entries,
                                          bool leaf, uint32_t tdef_page, uint32_t prev, uint32_t next);

// Bytes an index page of `format` has for its entries.
size_t jet_index_entry_room(const jet_format& format);
