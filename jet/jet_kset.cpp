#include "jet/jet_kset.h"

#include <functional>

#include "jet/jet_err.h"

namespace {

// 32 bits of the hash pick the slot and are kept in it, so slots can be
// placed again when the table grows; other keys in the same probe run share
// only the bits the slot number uses, so false candidates stay rare.
uint32_t tag_of(uint64_t key_hash) { return uint32_t(key_hash >> 32 ^ key_hash); }

}  // namespace

uint64_t jet_key_set::hash(std::string_view key) { return std::hash<std::string_view>()(key); }

std::vector<uint32_t> jet_key_set::candidates(uint64_t key_hash) const {
  std::vector<uint32_t> found;
  if (slots_.empty()) return found;
  size_t mask = slots_.size() - 1;
  uint32_t tag = tag_of(key_hash);
  for (size_t at = tag & mask; slots_[at].row_pointer != 0; at = (at + 1) & mask)
    if (slots_[at].tag == tag) found.push_back(slots_[at].row_pointer);
  return found;
}

void jet_key_set::insert(uint64_t key_hash, uint32_t row_pointer) {
  if (row_pointer == 0) throw jet_error(jet_dao_error::invalid_argument, "Invalid row pointer.");
  // Kept at most half full, so probe runs stay short.
  if (2 * (size_ + 1) > slots_.size()) grow();
  place(tag_of(key_hash), row_pointer);
}

void jet_key_set::place(uint32_t tag, uint32_t row_pointer) {
  size_t mask = slots_.size() - 1;
  size_t at = tag & mask;
  while (slots_[at].row_pointer != 0) at = (at + 1) & mask;
  slots_[at] = slot{tag, row_pointer};
  ++size_;
}

void jet_key_set::clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  size_ = 0;
}

void jet_key_set::grow() {
  std::vector<slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, slot{});
  size_ = 0;
  for (const slot& s : old)
    if (s.row_pointer != 0) place(s.tag, s.row_pointer);
}
