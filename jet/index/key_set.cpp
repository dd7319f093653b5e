#include "jet/index/key_set.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "jet/format/error.h"

namespace {

// 32 bits of the hash pick the slot and are kept in it, so slots can be
// placed again when the table grows; other keys in the same probe run share
// only the bits the slot number uses, so false candidates stay rare.
uint32_t tag_of(uint64_t key_hash) { return uint32_t(key_hash >> 32 ^ key_hash); }

// Spreads a tag over 64 bits for the filter, whose positions must not follow
// the bits that already pick slots and buckets.
uint64_t mix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ull;
  x = (x ^ x >> 30) * 0xbf58476d1ce4e5b9ull;
  x = (x ^ x >> 27) * 0x94d049bb133111ebull;
  return x ^ x >> 31;
}

constexpr int filter_probes = 3;
constexpr size_t filter_bits_per_key = 10;
constexpr size_t smallest_budget = size_t(16) << 10;

size_t floor_power_of_two(size_t n) {
  size_t p = 1;
  while (p * 2 <= n) p *= 2;
  return p;
}

// The temporary file's trouble (`what`) goes to nobody: DAO's text is the same for all.
[[noreturn]] void disk_error(const char* /*what*/) { throw jet_io_failure(errno); }

// An unlinked file in $TMPDIR (or /tmp): it goes away with its descriptor.
int open_temporary_file() {
  const char* dir = std::getenv("TMPDIR");
  if (!dir || !*dir) dir = "/tmp";
#ifdef O_TMPFILE
  int fd = ::open(dir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
#endif
  std::string name = std::string(dir) + "/dmw-keys-XXXXXX";
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) disk_error("temporary key file");
  ::unlink(name.c_str());
  return fd;
}

}  // namespace

jet_key_set::jet_key_set(size_t memory_budget) {
  memory_budget = std::max(memory_budget, smallest_budget);
  // Half the budget for the in-memory table, a quarter for the filter.
  max_memory_slots_ = floor_power_of_two(memory_budget / 2 / sizeof(slot));
  filter_bits_ = floor_power_of_two(memory_budget / 4 * 8);
  budget_filter_bits_ = filter_bits_;
}

jet_key_set::~jet_key_set() {
  if (fd_ >= 0) ::close(fd_);
}

jet_key_set::jet_key_set(jet_key_set&& other) noexcept { *this = std::move(other); }

jet_key_set& jet_key_set::operator=(jet_key_set&& other) noexcept {
  if (this == &other) return *this;
  if (fd_ >= 0) ::close(fd_);
  max_memory_slots_ = other.max_memory_slots_;
  filter_bits_ = other.filter_bits_;
  budget_filter_bits_ = other.budget_filter_bits_;
  slots_ = std::move(other.slots_);
  memory_keys_ = std::exchange(other.memory_keys_, 0);
  size_ = std::exchange(other.size_, 0);
  fd_ = std::exchange(other.fd_, -1);
  disk_buckets_ = std::exchange(other.disk_buckets_, 0);
  disk_keys_ = std::exchange(other.disk_keys_, 0);
  filter_ = std::move(other.filter_);
  crowded_ = std::move(other.crowded_);
  bucket_ = std::move(other.bucket_);
  bucket_number_ = std::exchange(other.bucket_number_, SIZE_MAX);
  return *this;
}

uint64_t jet_key_set::hash(std::string_view key) { return std::hash<std::string_view>()(key); }

std::vector<uint32_t> jet_key_set::candidates(uint64_t key_hash) const {
  std::vector<uint32_t> found;
  uint32_t tag = tag_of(key_hash);
  if (!slots_.empty()) {
    size_t mask = slots_.size() - 1;
    for (size_t at = tag & mask; slots_[at].row_pointer != 0; at = (at + 1) & mask)
      if (slots_[at].tag == tag) found.push_back(slots_[at].row_pointer);
  }
  for (const slot& s : crowded_)
    if (s.tag == tag) found.push_back(s.row_pointer);
  if (disk_keys_ != 0 && may_be_on_disk(tag)) {
    ++bucket_reads_;
    read_bucket(tag & (disk_buckets_ - 1), bucket_);
    for (const slot& s : bucket_) {
      if (s.row_pointer == 0) break;
      if (s.tag == tag) found.push_back(s.row_pointer);
    }
  }
  return found;
}

void jet_key_set::insert(uint64_t key_hash, uint32_t row_pointer) {
  if (row_pointer == 0) throw jet_error(jet_dao_error::invalid_argument, "Invalid row pointer.");
  // Kept at most half full, so probe runs stay short.
  if (2 * (memory_keys_ + 1) > slots_.size()) {
    if (slots_.size() < max_memory_slots_) grow_memory();
    else spill();
  }
  place(tag_of(key_hash), row_pointer);
  ++size_;
}

void jet_key_set::place(uint32_t tag, uint32_t row_pointer) {
  size_t mask = slots_.size() - 1;
  size_t at = tag & mask;
  while (slots_[at].row_pointer != 0) at = (at + 1) & mask;
  slots_[at] = slot{tag, row_pointer};
  ++memory_keys_;
}

void jet_key_set::clear() {
  slots_.clear();
  slots_.shrink_to_fit();
  memory_keys_ = 0;
  size_ = 0;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  disk_buckets_ = 0;
  disk_keys_ = 0;
  filter_.clear();
  filter_.shrink_to_fit();
  filter_bits_ = budget_filter_bits_;
  crowded_.clear();
  crowded_.shrink_to_fit();
  bucket_.clear();
  bucket_.shrink_to_fit();
  bucket_number_ = SIZE_MAX;
}

void jet_key_set::grow_memory() {
  std::vector<slot> old = std::move(slots_);
  slots_.assign(old.empty() ? std::min<size_t>(1024, max_memory_slots_) : old.size() * 2, slot{});
  memory_keys_ = 0;
  for (const slot& s : old)
    if (s.row_pointer != 0) place(s.tag, s.row_pointer);
}

bool jet_key_set::may_be_on_disk(uint32_t tag) const {
  uint64_t h = mix(tag);
  uint64_t step = h >> 32 | 1;
  for (int i = 0; i < filter_probes; ++i) {
    size_t bit = size_t(h + uint64_t(i) * step) & (filter_bits_ - 1);
    if (!(filter_[bit / 64] >> (bit % 64) & 1)) return false;
  }
  return true;
}

void jet_key_set::note_on_disk(uint32_t tag) {
  uint64_t h = mix(tag);
  uint64_t step = h >> 32 | 1;
  for (int i = 0; i < filter_probes; ++i) {
    size_t bit = size_t(h + uint64_t(i) * step) & (filter_bits_ - 1);
    filter_[bit / 64] |= uint64_t(1) << (bit % 64);
  }
}

void jet_key_set::open_file() {
  fd_ = open_temporary_file();
  filter_.assign(filter_bits_ / 64, 0);
  disk_buckets_ = 1;
  if (::ftruncate(fd_, off_t(bucket_slots * sizeof(slot))) != 0) disk_error("growing the key file");
}

void jet_key_set::read_bucket(size_t bucket, std::vector<slot>& into) const {
  if (&into == &bucket_ && bucket_number_ == bucket) return;
  into.resize(bucket_slots);
  size_t length = bucket_slots * sizeof(slot);
  off_t at = off_t(bucket * length);
  auto* bytes = reinterpret_cast<char*>(into.data());
  size_t done = 0;
  while (done < length) {
    ssize_t got = ::pread(fd_, bytes + done, length - done, at + off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;
      if (&into == &bucket_) bucket_number_ = SIZE_MAX;
      disk_error("reading the key file");
    }
    done += size_t(got);
  }
  if (&into == &bucket_) bucket_number_ = bucket;
}

void jet_key_set::write_bucket(size_t bucket, const std::vector<slot>& from) {
  size_t length = bucket_slots * sizeof(slot);
  off_t at = off_t(bucket * length);
  const auto* bytes = reinterpret_cast<const char*>(from.data());
  size_t done = 0;
  while (done < length) {
    ssize_t put = ::pwrite(fd_, bytes + done, length - done, at + off_t(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = ENOSPC;
      bucket_number_ = SIZE_MAX;
      disk_error("writing the key file");
    }
    done += size_t(put);
  }
  if (&from != &bucket_ && bucket_number_ == bucket) bucket_number_ = SIZE_MAX;
}

void jet_key_set::grow_disk(size_t buckets) {
  // Bucket b's slots go to the buckets b + k * old; the new ones lie past
  // the old end (read as empty until written), so the file is split in
  // place, one old bucket at a time.
  size_t old = disk_buckets_;
  if (::ftruncate(fd_, off_t(buckets * bucket_slots * sizeof(slot))) != 0) disk_error("growing the key file");
  std::vector<slot> from;
  std::vector<slot> part;
  for (size_t b = 0; b < old; ++b) {
    read_bucket(b, from);
    // The new buckets first: an error then leaves copies, never losses.
    for (size_t k = buckets / old; k-- > 0;) {
      part.clear();
      for (const slot& s : from) {
        if (s.row_pointer == 0) break;
        if ((s.tag & (buckets - 1)) / old == k) part.push_back(s);
      }
      if (part.empty() && k != 0) continue;
      part.resize(bucket_slots, slot{});
      write_bucket(b + k * old, part);
    }
  }
  disk_buckets_ = buckets;
  bucket_number_ = SIZE_MAX;
}

size_t jet_key_set::buckets_for(size_t keys) {
  size_t buckets = 1;
  // Three quarters full on average leaves a bucket of 512 far from overflowing,
  // and every spill rewrites the file: the smaller, the cheaper.
  while (buckets * bucket_slots * 3 < 4 * keys) buckets *= 2;
  return buckets;
}

void jet_key_set::spill() {
  if (fd_ < 0) open_file();
  // The in-memory slots, gathered at the front and ordered by bucket, are
  // merged into the file one bucket at a time.
  size_t count = 0;
  for (const slot& s : slots_)
    if (s.row_pointer != 0) slots_[count++] = s;
  size_t next = 0;
  try {
    size_t total = disk_keys_ + count;
    if (buckets_for(total) > disk_buckets_) grow_disk(buckets_for(total));
    bool sorted = false;
    while (next < count) {
      size_t mask = disk_buckets_ - 1;
      if (!sorted)
        std::sort(slots_.begin() + long(next), slots_.begin() + long(count),
                  [mask](const slot& a, const slot& b) { return (a.tag & mask) < (b.tag & mask); });
      sorted = true;
      size_t bucket = slots_[next].tag & mask;
      read_bucket(bucket, bucket_);
      size_t used = 0;
      while (used < bucket_slots && bucket_[used].row_pointer != 0) ++used;
      size_t end = next;
      while (end < count && (slots_[end].tag & mask) == bucket) ++end;
      if (used + (end - next) > bucket_slots && disk_buckets_ < 8 * buckets_for(total)) {
        // Keys crowd one bucket: more buckets share them out.
        grow_disk(disk_buckets_ * 2);
        sorted = false;
        continue;
      }
      // Past that, only keys sharing their hash bits can still crowd a
      // bucket; those left over stay in memory.
      size_t fits = std::min(end - next, bucket_slots - used);
      std::copy(slots_.begin() + long(next), slots_.begin() + long(next + fits), bucket_.begin() + long(used));
      write_bucket(bucket, bucket_);
      bucket_number_ = bucket;
      for (size_t i = next; i < next + fits; ++i) note_on_disk(slots_[i].tag);
      disk_keys_ += fits;
      crowded_.insert(crowded_.end(), slots_.begin() + long(next + fits), slots_.begin() + long(end));
      next = end;
    }
  } catch (...) {
    // The keys not yet in the file go back into the table, so the set
    // stays whole for a caller that carries on after the error.
    std::vector<slot> left(slots_.begin() + long(next), slots_.begin() + long(count));
    std::fill(slots_.begin(), slots_.end(), slot{});
    memory_keys_ = 0;
    for (const slot& s : left) place(s.tag, s.row_pointer);
    throw;
  }
  std::fill(slots_.begin(), slots_.end(), slot{});
  memory_keys_ = 0;
  if (disk_keys_ * filter_bits_per_key > filter_bits_ && filter_bits_ < max_filter_bytes * 8) grow_filter();
}

void jet_key_set::grow_filter() {
  size_t bits = filter_bits_;
  while (bits < disk_keys_ * filter_bits_per_key && bits < max_filter_bytes * 8) bits *= 2;
  std::vector<uint64_t> old_filter(bits / 64, 0);
  std::swap(filter_, old_filter);
  const size_t old_bits = std::exchange(filter_bits_, bits);
  try {
    std::vector<slot> bucket;
    for (size_t b = 0; b < disk_buckets_; ++b) {
      read_bucket(b, bucket);
      for (const slot& s : bucket) {
        if (s.row_pointer == 0) break;
        note_on_disk(s.tag);
      }
    }
  } catch (...) {
    // The old filter still answers for every key on disk.
    filter_ = std::move(old_filter);
    filter_bits_ = old_bits;
    throw;
  }
}
