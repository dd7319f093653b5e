#include "jet/jet_kset.h"

#include <functional>

namespace {

uint64_t stored_hash(uint64_t key_hash) { return key_hash == 0 ? 1 : key_hash; }

}  // namespace

uint64_t jet_key_set::hash(std::string_view key) { return std::hash<std::string_view>()(key); }

std::vector<uint32_t> jet_key_set::candidates(uint64_t key_hash) const {
  std::vector<uint32_t> found;
  if (slots_.empty()) return found;
  key_hash = stored_hash(key_hash);
  size_t mask = slots_.size() - 1;
  for (size_t at = key_hash & mask; slots_[at].hash != 0; at = (at + 1) & mask)
    if (slots_[at].hash == key_hash) found.push_back(slots_[at].row_pointer);
  return found;
}

void jet_key_set::insert(uint64_t key_hash, uint32_t row_pointer) {
  // Kept at most half full, so probe runs stay short.
  if (2 * (size_ + 1) > slots_.size()) grow();
  key_hash = stored_hash(key_hash);
  size_t mask = slots_.size() - 1;
  size_t at = key_hash & mask;
  while (slots_[at].hash != 0) at = (at + 1) & mask;
  slots_[at] = slot{key_hash, row_pointer};
  ++size_;
}

void jet_key_set::clear() {
  slots_.clear();
  size_ = 0;
}

void jet_key_set::grow() {
  std::vector<slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, slot{});
  size_ = 0;
  for (const slot& s : old)
    if (s.hash != 0) insert(s.hash, s.row_pointer);
}
