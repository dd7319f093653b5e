#include "jet/jet_esrt.h"

#include <algorithm>
#include <cstring>
#include <queue>

#include "jet/jet_err.h"

namespace {

// Bytes an entry costs in memory besides its key: the entry and the key's allocation.
constexpr size_t entry_overhead = sizeof(jet_index_entry) + 16;

// Key bytes compared once, then lengths, then row pointers.
bool entry_less(const jet_index_entry& a, const jet_index_entry& b) {
  size_t common = std::min(a.key.size(), b.key.size());
  int order = common == 0 ? 0 : std::memcmp(a.key.data(), b.key.data(), common);
  if (order != 0) return order < 0;
  if (a.key.size() != b.key.size()) return a.key.size() < b.key.size();
  return a.row_pointer < b.row_pointer;
}

[[noreturn]] void run_failure() {
  throw jet_error(jet_dao_error::disk_full, "Disk or network error. (temporary sort file)");
}

void put(std::FILE* file, const void* bytes, size_t length) {
  if (length != 0 && std::fwrite(bytes, 1, length, file) != length) run_failure();
}

// A run holds entries as: key length (2 bytes), key, row pointer (4 bytes).
void write_entry(std::FILE* file, const jet_index_entry& entry) {
  uint8_t head[2] = {uint8_t(entry.key.size()), uint8_t(entry.key.size() >> 8)};
  uint8_t pointer[4] = {uint8_t(entry.row_pointer), uint8_t(entry.row_pointer >> 8),
                        uint8_t(entry.row_pointer >> 16), uint8_t(entry.row_pointer >> 24)};
  put(file, head, 2);
  put(file, entry.key.data(), entry.key.size());
  put(file, pointer, 4);
}

bool read_entry(std::FILE* file, jet_index_entry& entry) {
  uint8_t head[2];
  size_t got = std::fread(head, 1, 2, file);
  if (got == 0 && std::feof(file)) return false;
  if (got != 2) run_failure();
  entry.key.resize(size_t(head[0] | head[1] << 8));
  uint8_t pointer[4];
  if (std::fread(entry.key.data(), 1, entry.key.size(), file) != entry.key.size() ||
      std::fread(pointer, 1, 4, file) != 4)
    run_failure();
  entry.row_pointer = uint32_t(pointer[0] | pointer[1] << 8 | pointer[2] << 16 | uint32_t(pointer[3]) << 24);
  entry.child = 0;
  return true;
}

}  // namespace

jet_entry_sorter::jet_entry_sorter(size_t memory_budget) : budget_(memory_budget) {}

void jet_entry_sorter::add(jet_index_entry entry) {
  if (entry.key.size() > 0xffff) throw jet_error(jet_dao_error::invalid_argument, "Index key too long.");
  held_bytes_ += entry.key.size() + entry_overhead;
  batch_.push_back(std::move(entry));
  if (held_bytes_ >= budget_) spill();
}

void jet_entry_sorter::spill() {
  std::sort(batch_.begin(), batch_.end(), entry_less);
  run_file file(std::tmpfile());
  if (!file) run_failure();
  for (const jet_index_entry& entry : batch_) write_entry(file.get(), entry);
  finish_run(std::move(file));
  batch_.clear();
  batch_.shrink_to_fit();
  held_bytes_ = 0;
  // Open runs are bounded: past the limit they become one longer run.
  if (runs_.size() >= max_open_runs) {
    run_file merged(std::tmpfile());
    if (!merged) run_failure();
    merge_runs([&](const jet_index_entry& entry) { write_entry(merged.get(), entry); });
    finish_run(std::move(merged));
  }
}

void jet_entry_sorter::finish_run(run_file file) {
  if (std::fflush(file.get()) != 0) run_failure();
  std::rewind(file.get());
  runs_.push_back(std::move(file));
  ++runs_written_;
}

void jet_entry_sorter::merge_runs(const std::function<void(jet_index_entry&)>& take) {
  std::vector<run_file> runs = std::move(runs_);
  runs_.clear();
  // The head entry of each run, smallest first.
  std::vector<jet_index_entry> heads(runs.size());
  auto later = [&heads](size_t a, size_t b) { return entry_less(heads[b], heads[a]); };
  std::priority_queue<size_t, std::vector<size_t>, decltype(later)> order(later);
  for (size_t i = 0; i < runs.size(); ++i)
    if (read_entry(runs[i].get(), heads[i])) order.push(i);
  while (!order.empty()) {
    size_t run = order.top();
    order.pop();
    take(heads[run]);
    if (read_entry(runs[run].get(), heads[run])) order.push(run);
  }
}

void jet_entry_sorter::drain(const std::function<void(jet_index_entry&)>& take) {
  if (runs_.empty()) {
    // Everything fits in memory: no files.
    std::sort(batch_.begin(), batch_.end(), entry_less);
    for (jet_index_entry& entry : batch_) take(entry);
  } else {
    if (!batch_.empty()) spill();
    merge_runs(take);
  }
  batch_.clear();
  batch_.shrink_to_fit();
  runs_.clear();
  held_bytes_ = 0;
}
