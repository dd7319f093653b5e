#pragma once
// Sorting index entries of any number in a fixed amount of memory. All the
// indexes of a table share one sorter: each entry carries its index number
// (its group), and entries come out group by group, so the budget is the
// table's, not each index's.
//
// Entries are kept in one flat buffer, allocated once: records (group, row
// pointer, key length, key) grow from its front and their offsets from its
// back. When the two meet, the offsets are sorted and the records written
// in that order to a temporary file as one run. All runs share that one
// file; the merge reads a bounded number of them at a time, merging in
// passes when there are more, so neither memory nor open files grow with
// the number of entries.
// Order: group, key bytes (a shorter key before its extensions), row pointer.
// Entries that arrive already in that order (a table filled in its key's
// order) are neither sorted nor merged: runs are read back one after another.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "jet/index/index_page.h"

// One sorted entry; its key is valid only while the callback runs.
struct jet_sorted_entry {
  uint32_t group = 0;
  uint32_t row_pointer = 0;
  const uint8_t* key = nullptr;
  size_t key_size = 0;
};

class jet_entry_sorter {
 public:
  static constexpr size_t default_memory_budget = size_t(2) << 20;
  // Runs merged at once; more runs are merged in passes.
  static constexpr size_t max_merge_width = 16;
  // Longer keys are refused (3001).
  static constexpr size_t max_key_size = 0xffff;

  explicit jet_entry_sorter(size_t memory_budget = default_memory_budget);
  ~jet_entry_sorter();
  jet_entry_sorter(const jet_entry_sorter&) = delete;
  jet_entry_sorter& operator=(const jet_entry_sorter&) = delete;

  void add(uint32_t group, const uint8_t* key, size_t key_size, uint32_t row_pointer);
  void add(const jet_index_entry& entry, uint32_t group = 0) {
    add(group, entry.key.data(), entry.key.size(), entry.row_pointer);
  }
  // Hands every entry to `take` in order; the sorter is empty afterwards
  // and takes entries again. Raises 3026/3043 when the temporary file fails.
  void drain(const std::function<void(const jet_sorted_entry&)>& take);

  // Runs written so far, those of merge passes included.
  size_t runs_written() const { return runs_written_; }
  // Merge passes made before the last merge, over the sorter's life.
  size_t merge_passes() const { return merge_passes_; }
  // The most bytes the sorter has held in memory at once.
  size_t peak_memory() const { return peak_memory_; }
  // True while every entry came after the one before it.
  bool in_order() const { return in_order_; }

 private:
  struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  using run_file = std::unique_ptr<std::FILE, file_closer>;
  struct run {
    uint64_t begin = 0;
    uint64_t end = 0;
  };
  class run_reader;
  class run_writer;

  size_t record_room() const { return capacity_ - 4 * count_; }
  // Sorts what the buffer holds and appends it to the run file as a run.
  void spill();
  void sort_buffer();
  // Merges `runs` of `file`; each entry goes to `take`.
  void merge(std::FILE* file, const std::vector<run>& runs,
             const std::function<void(const jet_sorted_entry&)>& take);
  void note_memory(size_t bytes);
  void release_buffer();
  // Notes whether an entry follows the last one added.
  void track_order(uint32_t group, const uint8_t* key, size_t key_size, uint32_t row_pointer);
  // Hands the buffer's records to `take` in the order they were added.
  void each_added(const std::function<void(const uint8_t* record, size_t size)>& take) const;

  size_t budget_;
  size_t capacity_ = 0;          // of buffer_, 0 before the first entry
  std::unique_ptr<uint8_t[]> buffer_;
  size_t used_ = 0;              // record bytes at the buffer's front
  size_t count_ = 0;             // records, offsets at the buffer's back
  run_file file_;                // every run, one after another
  std::vector<run> runs_;
  size_t runs_written_ = 0;
  size_t merge_passes_ = 0;
  size_t peak_memory_ = 0;
  bool in_order_ = true;
  bool any_ = false;
  uint32_t last_group_ = 0;
  uint32_t last_pointer_ = 0;
  std::vector<uint8_t> last_key_;
};
