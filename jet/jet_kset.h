#pragma once
// The keys of a unique index seen so far, held as a 64-bit hash and the row
// pointer of the row that holds each key: 16 bytes a key instead of the key
// itself. A hash match is only a candidate; the caller confirms it by
// reading the row the pointer names and comparing its key.
#include <cstdint>
#include <string_view>
#include <vector>

class jet_key_set {
 public:
  static uint64_t hash(std::string_view key);

  // Row pointers of the keys stored with `key_hash`, each a candidate.
  std::vector<uint32_t> candidates(uint64_t key_hash) const;
  void insert(uint64_t key_hash, uint32_t row_pointer);
  void clear();
  size_t size() const { return size_; }

 private:
  struct slot {
    uint64_t hash = 0;  // 0: empty (hashes of 0 are stored as 1)
    uint32_t row_pointer = 0;
  };
  void grow();

  std::vector<slot> slots_;
  size_t size_ = 0;
};
