#pragma once
// Writing an index tree while its entries arrive in order, so that no level
// is held whole in memory: each level keeps only the page it is filling.
// A full page is written at once, linked to its neighbours, and its last
// entry goes up to the level above. Pages are laid out as jet_build_index
// lays them out (no shared prefixes); only the order of page numbers differs.
#include <cstdint>
#include <functional>
#include <vector>

#include "jet/format/format.h"
#include "jet/index/index_page.h"

class jet_index_builder {
 public:
  // `next_page` hands out page numbers; `write` receives each finished page.
  jet_index_builder(const jet_format& format, uint32_t tdef_page, std::function<uint32_t()> next_page,
                    std::function<void(uint32_t, const std::vector<uint8_t>&)> write);

  // Entries must come sorted (key bytes, then row pointer). The second form
  // keeps the entry's key instead of copying it.
  void add(const jet_index_entry& entry);
  void add(jet_index_entry&& entry);
  // The third form copies the key into storage the builder uses again.
  void add(const uint8_t* key, size_t key_size, uint32_t row_pointer);
  // Writes the pages still open and returns the root page. An empty index
  // is one empty leaf page.
  uint32_t finish();

  uint32_t distinct_keys() const { return distinct_; }

 private:
  struct level {
    std::vector<jet_index_entry> entries;  // of the page being filled
    size_t used = 0;                       // bytes those entries take
    uint32_t page = 0;
    uint32_t prev = 0;
    bool several_pages = false;
  };
  void add_to(size_t depth, jet_index_entry&& entry);
  void count_key(const uint8_t* key, size_t key_size);
  void write_level_page(size_t depth, uint32_t next);

  const jet_format& format_;
  size_t entry_room_;  // bytes for entries on one page
  uint32_t tdef_page_;
  std::function<uint32_t()> next_page_;
  std::function<void(uint32_t, const std::vector<uint8_t>&)> write_;
  std::vector<level> levels_;
  std::vector<uint8_t> last_key_;
  // Keys of written pages, kept for new entries: no allocation per entry.
  std::vector<std::vector<uint8_t>> spare_keys_;
  uint32_t distinct_ = 0;
  bool any_ = false;
};
