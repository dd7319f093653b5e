#pragma once
// The keys of a unique index seen so far, held as 32 bits of their hash and
// the row pointer of the row that holds each key: 8 bytes a slot instead of
// the key itself. A hash match is only a candidate; the caller confirms it
// by reading the row the pointer names and comparing its key.
//
// Memory stays within a budget: recent keys live in an in-memory table;
// when it reaches its share of the budget its slots move into hash buckets
// in an unlinked temporary file, and a bit filter in memory answers "not
// there" for most new keys, so a lookup reads the file only for real
// duplicates and the filter's rare false alarms. The filter grows with the
// keys on disk (about ten bits a key, up to max_filter_bytes), so false
// alarms stay near 2% however many keys there are. Sets that stay within
// the budget never touch a file.
#include <cstdint>
#include <string_view>
#include <vector>

class jet_key_set {
 public:
  // Memory one set may use: its in-memory table, the filter and one bucket.
  static constexpr size_t default_memory_budget = size_t(4) << 20;
  // The most the filter grows to, whatever the budget.
  static constexpr size_t max_filter_bytes = size_t(8) << 20;

  explicit jet_key_set(size_t memory_budget = default_memory_budget);
  ~jet_key_set();
  jet_key_set(jet_key_set&& other) noexcept;
  jet_key_set& operator=(jet_key_set&& other) noexcept;
  jet_key_set(const jet_key_set&) = delete;
  jet_key_set& operator=(const jet_key_set&) = delete;

  static uint64_t hash(std::string_view key);

  // Row pointers of the keys stored with `key_hash`, each a candidate.
  // Raises 3026/3043 when the temporary file cannot be read.
  std::vector<uint32_t> candidates(uint64_t key_hash) const;
  // `row_pointer` is never 0: page 0 is the file's header. Raises 3026/3043 when
  // the temporary file cannot be written.
  void insert(uint64_t key_hash, uint32_t row_pointer);
  // Forgets every key and lets the temporary file go.
  void clear();
  size_t size() const { return size_; }
  // Keys that were moved to the temporary file.
  size_t keys_on_disk() const { return disk_keys_; }
  // Buckets read from the file by lookups so far.
  size_t bucket_reads() const { return bucket_reads_; }

 private:
  struct slot {
    uint32_t tag = 0;          // 32 bits of the key's hash
    uint32_t row_pointer = 0;  // 0: empty
  };
  static constexpr size_t bucket_slots = 512;  // one 4 KiB block of the file

  void grow_memory();
  void place(uint32_t tag, uint32_t row_pointer);
  // Moves the in-memory slots to the file's buckets.
  void spill();
  // Buckets that hold `keys` at most three quarters full.
  static size_t buckets_for(size_t keys);
  // Splits the file's buckets into `buckets` (a larger power of two).
  void grow_disk(size_t buckets);
  // A larger filter once the keys on disk outgrow it, built from the file.
  void grow_filter();
  bool may_be_on_disk(uint32_t tag) const;
  void note_on_disk(uint32_t tag);
  void read_bucket(size_t bucket, std::vector<slot>& into) const;
  void write_bucket(size_t bucket, const std::vector<slot>& from);
  void open_file();

  size_t max_memory_slots_;  // power of two
  size_t filter_bits_;       // power of two
  size_t budget_filter_bits_;  // the filter's size before it grew
  std::vector<slot> slots_;
  size_t memory_keys_ = 0;
  size_t size_ = 0;

  int fd_ = -1;  // the temporary file, unlinked
  size_t disk_buckets_ = 0;  // power of two once the file exists
  size_t disk_keys_ = 0;
  std::vector<uint64_t> filter_;
  // Keys that found their bucket full even after it was split: only keys
  // sharing most of their hash bits end here, so there are few.
  std::vector<slot> crowded_;
  mutable std::vector<slot> bucket_;  // the last bucket read
  mutable size_t bucket_number_ = SIZE_MAX;
  mutable size_t bucket_reads_ = 0;
};
