#include "jet/index/entry_sorter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <queue>

#include "jet/format/error.h"

namespace {

// A record: group (4 bytes), row pointer (4), key length (2), key. The run
// file holds records the same way; it is this process's own, so native order.
constexpr size_t record_head = 10;
constexpr size_t offset_size = 4;
// Read and write windows of the merge.
constexpr size_t window_size = size_t(32) << 10;

uint32_t load_u32(const uint8_t* at) {
  uint32_t value;
  std::memcpy(&value, at, 4);
  return value;
}

uint16_t load_u16(const uint8_t* at) {
  uint16_t value;
  std::memcpy(&value, at, 2);
  return value;
}

jet_sorted_entry entry_at(const uint8_t* record) {
  jet_sorted_entry entry;
  entry.group = load_u32(record);
  entry.row_pointer = load_u32(record + 4);
  entry.key_size = load_u16(record + 8);
  entry.key = record + record_head;
  return entry;
}

bool entry_less(const jet_sorted_entry& a, const jet_sorted_entry& b) {
  if (a.group != b.group) return a.group < b.group;
  size_t common = std::min(a.key_size, b.key_size);
  int order = common == 0 ? 0 : std::memcmp(a.key, b.key, common);
  if (order != 0) return order < 0;
  if (a.key_size != b.key_size) return a.key_size < b.key_size;
  return a.row_pointer < b.row_pointer;
}

[[noreturn]] void run_failure() { throw jet_io_failure(errno); }

}  // namespace

// Appends records to the run file at its end through a window.
class jet_entry_sorter::run_writer {
 public:
  run_writer(std::FILE* file, uint64_t at) : fd_(fileno(file)), at_(at) { window_.reserve(window_size); }

  void put(const uint8_t* bytes, size_t length) {
    if (window_.size() + length > window_size) flush();
    if (length > window_size) {
      write_out(bytes, length);
      return;
    }
    window_.insert(window_.end(), bytes, bytes + length);
  }
  void put(const jet_sorted_entry& entry) {
    uint8_t head[record_head];
    std::memcpy(head, &entry.group, 4);
    std::memcpy(head + 4, &entry.row_pointer, 4);
    uint16_t length = uint16_t(entry.key_size);
    std::memcpy(head + 8, &length, 2);
    put(head, record_head);
    put(entry.key, entry.key_size);
  }
  // Writes what the window holds; returns the offset after the last record.
  uint64_t flush() {
    write_out(window_.data(), window_.size());
    window_.clear();
    return at_;
  }

 private:
  void write_out(const uint8_t* bytes, size_t length) {
    while (length > 0) {
      ssize_t wrote = ::pwrite(fd_, bytes, length, off_t(at_));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) run_failure();
      bytes += wrote;
      length -= size_t(wrote);
      at_ += uint64_t(wrote);
    }
  }

  int fd_;
  uint64_t at_;
  std::vector<uint8_t> window_;
};

// Reads one run's records in order through a window.
class jet_entry_sorter::run_reader {
 public:
  run_reader(std::FILE* file, run range) : fd_(fileno(file)), at_(range.begin), end_(range.end) {
    window_.resize(window_size);
  }

  // The next record, or false at the run's end.
  bool next(jet_sorted_entry& entry) {
    start_ = start_ + last_size_;
    last_size_ = 0;
    if (!have(record_head)) {
      if (start_ != filled_ || at_ != end_) run_failure();  // a torn record
      return false;
    }
    size_t key_size = load_u16(&window_[start_ + 8]);
    if (!have(record_head + key_size)) run_failure();
    entry = entry_at(&window_[start_]);
    last_size_ = record_head + key_size;
    return true;
  }

 private:
  // True when `bytes` from start_ are in the window, reading more as needed.
  bool have(size_t bytes) {
    if (filled_ - start_ >= bytes) return true;
    std::memmove(window_.data(), window_.data() + start_, filled_ - start_);
    filled_ -= start_;
    start_ = 0;
    if (window_.size() < bytes) window_.resize(bytes);  // only for keys longer than the window
    while (filled_ < bytes && at_ < end_) {
      size_t want = size_t(std::min<uint64_t>(window_.size() - filled_, end_ - at_));
      ssize_t got = ::pread(fd_, window_.data() + filled_, want, off_t(at_));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) run_failure();
      filled_ += size_t(got);
      at_ += uint64_t(got);
    }
    return filled_ >= bytes;
  }

  int fd_;
  uint64_t at_;
  uint64_t end_;
  std::vector<uint8_t> window_;
  size_t start_ = 0;      // the current record in the window
  size_t last_size_ = 0;  // its size, skipped by the next call
  size_t filled_ = 0;
};

jet_entry_sorter::jet_entry_sorter(size_t memory_budget)
    // Record offsets are 32 bits; a budget too small for any record is raised.
    : budget_(std::clamp(memory_budget, size_t(1) << 10, size_t(1) << 31) & ~size_t(offset_size - 1)) {}

jet_entry_sorter::~jet_entry_sorter() = default;

void jet_entry_sorter::note_memory(size_t bytes) { peak_memory_ = std::max(peak_memory_, bytes); }

void jet_entry_sorter::track_order(uint32_t group, const uint8_t* key, size_t key_size, uint32_t row_pointer) {
  if (in_order_ && any_) {
    jet_sorted_entry last{last_group_, last_pointer_, last_key_.data(), last_key_.size()};
    jet_sorted_entry next{group, row_pointer, key, key_size};
    if (entry_less(next, last)) {
      in_order_ = false;
      last_key_ = std::vector<uint8_t>();
      return;
    }
  }
  if (!in_order_) return;
  any_ = true;
  last_group_ = group;
  last_pointer_ = row_pointer;
  last_key_.assign(key, key + key_size);
}

void jet_entry_sorter::each_added(const std::function<void(const uint8_t* record, size_t size)>& take) const {
  for (size_t at = 0; at < used_;) {
    const size_t size = record_head + load_u16(buffer_.get() + at + 8);
    take(buffer_.get() + at, size);
    at += size;
  }
}

void jet_entry_sorter::add(uint32_t group, const uint8_t* key, size_t key_size, uint32_t row_pointer) {
  if (key_size > max_key_size) throw jet_error(jet_dao_error::invalid_argument, "Index key too long.");
  track_order(group, key, key_size, row_pointer);
  size_t size = record_head + key_size;
  if (!buffer_) {
    // Allocated once at its full size: pages not yet written cost nothing.
    capacity_ = std::max(budget_, (size + offset_size + offset_size - 1) & ~size_t(offset_size - 1));
    buffer_.reset(new uint8_t[capacity_]);
    note_memory(capacity_);
  }
  if (size + offset_size > record_room() - used_) {
    spill();
    if (size + offset_size > capacity_) {
      // A record larger than the whole budget makes a run of its own.
      release_buffer();
      if (!file_) {
        file_.reset(std::tmpfile());
        if (!file_) run_failure();
      }
      run_writer writer(file_.get(), runs_.empty() ? 0 : runs_.back().end);
      jet_sorted_entry entry{group, row_pointer, key, key_size};
      writer.put(entry);
      run whole{runs_.empty() ? 0 : runs_.back().end, 0};
      whole.end = writer.flush();
      runs_.push_back(whole);
      ++runs_written_;
      return;
    }
  }
  uint8_t* record = buffer_.get() + used_;
  std::memcpy(record, &group, 4);
  std::memcpy(record + 4, &row_pointer, 4);
  uint16_t length = uint16_t(key_size);
  std::memcpy(record + 8, &length, 2);
  if (key_size != 0) std::memcpy(record + record_head, key, key_size);
  uint32_t offset = uint32_t(used_);
  ++count_;
  std::memcpy(buffer_.get() + capacity_ - offset_size * count_, &offset, offset_size);
  used_ += size;
}

void jet_entry_sorter::sort_buffer() {
  // The offsets at the buffer's back are sorted by the records they name.
  uint32_t* offsets = reinterpret_cast<uint32_t*>(buffer_.get() + capacity_ - offset_size * count_);
  const uint8_t* records = buffer_.get();
  std::sort(offsets, offsets + count_, [records](uint32_t a, uint32_t b) {
    return entry_less(entry_at(records + a), entry_at(records + b));
  });
}

void jet_entry_sorter::spill() {
  if (count_ == 0) return;
  if (!file_) {
    file_.reset(std::tmpfile());
    if (!file_) run_failure();
  }
  run written{runs_.empty() ? 0 : runs_.back().end, 0};
  run_writer writer(file_.get(), written.begin);
  if (in_order_) {
    each_added([&writer](const uint8_t* record, size_t size) { writer.put(record, size); });
  } else {
    sort_buffer();
    const uint32_t* offsets = reinterpret_cast<const uint32_t*>(buffer_.get() + capacity_ - offset_size * count_);
    for (size_t i = 0; i < count_; ++i) {
      const uint8_t* record = buffer_.get() + offsets[i];
      writer.put(record, record_head + load_u16(record + 8));
    }
  }
  written.end = writer.flush();
  runs_.push_back(written);
  ++runs_written_;
  used_ = 0;
  count_ = 0;
}

void jet_entry_sorter::release_buffer() {
  buffer_.reset();
  capacity_ = 0;
  used_ = 0;
  count_ = 0;
}

void jet_entry_sorter::merge(std::FILE* file, const std::vector<run>& runs,
                             const std::function<void(const jet_sorted_entry&)>& take) {
  note_memory((runs.size() + 1) * window_size);
  std::vector<run_reader> readers;
  readers.reserve(runs.size());
  std::vector<jet_sorted_entry> heads(runs.size());
  auto later = [&heads](size_t a, size_t b) { return entry_less(heads[b], heads[a]); };
  std::priority_queue<size_t, std::vector<size_t>, decltype(later)> order(later);
  for (size_t i = 0; i < runs.size(); ++i) {
    readers.emplace_back(file, runs[i]);
    if (readers[i].next(heads[i])) order.push(i);
  }
  while (!order.empty()) {
    size_t at = order.top();
    order.pop();
    take(heads[at]);
    if (readers[at].next(heads[at])) order.push(at);
  }
}

void jet_entry_sorter::drain(const std::function<void(const jet_sorted_entry&)>& take) {
  const bool in_order = in_order_;
  // Whatever comes next is judged on its own.
  in_order_ = true;
  any_ = false;
  if (in_order && runs_.empty()) {
    each_added([&take](const uint8_t* record, size_t) { take(entry_at(record)); });
    release_buffer();
    return;
  }
  if (runs_.empty()) {
    // Everything fits in memory: no file.
    if (count_ != 0) {
      sort_buffer();
      const uint32_t* offsets = reinterpret_cast<const uint32_t*>(buffer_.get() + capacity_ - offset_size * count_);
      for (size_t i = 0; i < count_; ++i) take(entry_at(buffer_.get() + offsets[i]));
    }
    release_buffer();
    return;
  }
  in_order_ = in_order;
  spill();
  in_order_ = true;
  // The buffer is not needed while merging: its memory goes to the windows.
  release_buffer();
  if (in_order) {
    // Runs of entries added in order follow one another.
    note_memory(window_size);
    std::vector<run> runs = std::move(runs_);
    runs_.clear();
    run_file file = std::move(file_);
    for (const run& range : runs) {
      run_reader reader(file.get(), range);
      jet_sorted_entry entry;
      while (reader.next(entry)) take(entry);
    }
    return;
  }
  while (runs_.size() > max_merge_width) {
    // One pass: each group of runs becomes one run in a new file.
    run_file next(std::tmpfile());
    if (!next) run_failure();
    std::vector<run> merged;
    for (size_t first = 0; first < runs_.size(); first += max_merge_width) {
      std::vector<run> group(runs_.begin() + long(first),
                             runs_.begin() + long(std::min(first + max_merge_width, runs_.size())));
      run out{merged.empty() ? 0 : merged.back().end, 0};
      run_writer writer(next.get(), out.begin);
      merge(file_.get(), group, [&writer](const jet_sorted_entry& entry) { writer.put(entry); });
      out.end = writer.flush();
      merged.push_back(out);
      ++runs_written_;
    }
    file_ = std::move(next);
    runs_ = std::move(merged);
    ++merge_passes_;
  }
  std::vector<run> last = std::move(runs_);
  runs_.clear();
  merge(file_.get(), last, take);
  file_.reset();
}
