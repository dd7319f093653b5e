#pragma once
// Sorting index entries of any number in bounded memory: entries gather in
// memory up to a byte budget, each full batch is sorted and written to a
// temporary file as a run, and the runs are merged as they are read back.
// Order: key bytes, then row pointer.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "jet/jet_idx.h"

class jet_entry_sorter {
 public:
  explicit jet_entry_sorter(size_t memory_budget = size_t(8) << 20);

  void add(jet_index_entry entry);
  // Hands every entry to `take` in order; the sorter is empty afterwards.
  // `take` may move the entry's key away: it is not used again.
  void drain(const std::function<void(jet_index_entry&)>& take);

  // Runs on disk; at most 32 are open at once, more are merged into one.
  size_t runs() const { return runs_.size(); }
  // Runs written so far, merged ones included.
  size_t runs_written() const { return runs_written_; }

 private:
  struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  using run_file = std::unique_ptr<std::FILE, file_closer>;

  void spill();
  void finish_run(run_file file);
  // Merges every run, handing the entries to `take`; the runs are gone afterwards.
  void merge_runs(const std::function<void(jet_index_entry&)>& take);

  static constexpr size_t max_open_runs = 32;

  size_t budget_;
  size_t held_bytes_ = 0;
  std::vector<jet_index_entry> batch_;
  std::vector<run_file> runs_;
  size_t runs_written_ = 0;
};
