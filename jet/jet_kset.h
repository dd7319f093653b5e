#pragma once
// The keys of a unique index seen so far, held as 32 bits of their hash and
// the row pointer of the row that holds each key: 8 bytes a slot instead of
// the key itself. A hash match is only a candidate; the caller confirms it
// by reading the row the pointer names and comparing its key.
#include <cstdint>
#include <string_view>
#include <vector>

class jet_key_set {
 public:
  static uint64_t hash(std::string_view key);

  // Row pointers of the keys stored with `key_hash`, each a candidate.
  std::vector<uint32_t> candidates(uint64_t key_hash) const;
  // `row_pointer` is never 0: page 0 is the file's header.
  void insert(uint64_t key_hash, uint32_t row_pointer);
  void clear();
  size_t size() const { return size_; }

 private:
  struct slot {
    uint32_t tag = 0;          // 32 bits of the key's hash

    uint32_t row_pointer = 0;  // 0: empty
  };
  void grow();
  void place(uint32_t tag, uint32_t row_pointer);

  std::vector<slot> slots_;
  size_t size_ = 0;
};
