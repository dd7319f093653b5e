#include "jet/index/tree_builder.h"

#include <cstring>
#include <utility>

#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/index/tree_image.h"

namespace {

// Leaf pages hold a few hundred entries of short keys.
constexpr size_t max_spare_keys = 1024;

size_t entry_size(const jet_index_entry& entry, bool leaf) { return entry.key.size() + (leaf ? 4 : 8); }

}  // namespace

jet_index_builder::jet_index_builder(const jet_format& format, uint32_t tdef_page, std::function<uint32_t()> next_page,
                                     std::function<void(uint32_t, const std::vector<uint8_t>&)> write)
    : format_(format),
      entry_room_(jet_index_entry_room(format)),
      tdef_page_(tdef_page),
      next_page_(std::move(next_page)),
      write_(std::move(write)) {}

void jet_index_builder::add(const jet_index_entry& entry) { add(jet_index_entry(entry)); }

void jet_index_builder::add(jet_index_entry&& entry) {
  count_key(entry.key.data(), entry.key.size());
  add_to(0, std::move(entry));
}

void jet_index_builder::add(const uint8_t* key, size_t key_size, uint32_t row_pointer) {
  count_key(key, key_size);
  jet_index_entry entry;
  if (!spare_keys_.empty()) {
    entry.key = std::move(spare_keys_.back());
    spare_keys_.pop_back();
  }
  entry.key.assign(key, key + key_size);
  entry.row_pointer = row_pointer;
  add_to(0, std::move(entry));
}

void jet_index_builder::count_key(const uint8_t* key, size_t key_size) {
  bool same = any_ && key_size == last_key_.size() && (key_size == 0 || std::memcmp(key, last_key_.data(), key_size) == 0);
  if (!same) {
    ++distinct_;
    last_key_.assign(key, key + key_size);
  }
  any_ = true;
}

void jet_index_builder::add_to(size_t depth, jet_index_entry&& entry) {
  bool leaf = depth == 0;
  size_t size = entry_size(entry, leaf);
  if (size > entry_room_) throw jet_error(jet_dao_error::invalid_argument, "Index key too long.");
  if (depth == levels_.size()) {
    levels_.emplace_back();
    levels_.back().page = next_page_();
  }
  if (levels_[depth].used + size > entry_room_) {
    // The page is full: its successor's number is needed for the link.
    uint32_t next = next_page_();
    write_level_page(depth, next);
    level& here = levels_[depth];
    here.prev = here.page;
    here.page = next;
    here.several_pages = true;
  }
  level& here = levels_[depth];
  here.entries.push_back(std::move(entry));
  here.used += size;
}

void jet_index_builder::write_level_page(size_t depth, uint32_t next) {
  level& here = levels_[depth];
  write_(here.page, jet_index_page_bytes(format_, here.entries, depth == 0, tdef_page_, here.prev, next));
  if (!here.entries.empty()) {
    jet_index_entry up = std::move(here.entries.back());
    up.child = here.page;
    here.entries.pop_back();
    // A page's worth of keys at most is kept for the entries to come.
    for (jet_index_entry& written : here.entries)
      if (spare_keys_.size() < max_spare_keys) spare_keys_.push_back(std::move(written.key));
    here.entries.clear();
    here.used = 0;
    add_to(depth + 1, std::move(up));  // may add a level; `here` is not used after this
  }
}

uint32_t jet_index_builder::finish() {
  if (levels_.empty()) {
    levels_.emplace_back();
    levels_.back().page = next_page_();
  }
  for (size_t depth = 0;; ++depth) {
    // The top level is the first that never needed a second page.
    bool top = depth + 1 == levels_.size() && !levels_[depth].several_pages;
    if (top) {
      const level& root = levels_[depth];
      write_(root.page, jet_index_page_bytes(format_, root.entries, depth == 0, tdef_page_, root.prev, 0));
      uint32_t root_page = root.page;
      levels_.clear();
      return root_page;
    }
    write_level_page(depth, 0);
  }
}
