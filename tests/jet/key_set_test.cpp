// Unique-key sets past their memory budget: keys moved to the temporary
// file stay findable, crowded hashes do not hang, disk errors surface as 3043 (3026 when the disk is full).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "jet/format/error.h"
#include "jet/index/key_set.h"

namespace {

constexpr size_t small_budget = size_t(16) << 10;  // about 512 keys in memory

uint64_t hash_of(uint32_t i) { return uint64_t(i) * 0x9e3779b97f4a7c15ull; }

bool holds(const jet_key_set& keys, uint64_t hash, uint32_t row_pointer) {
  std::vector<uint32_t> found = keys.candidates(hash);
  return std::find(found.begin(), found.end(), row_pointer) != found.end();
}

// Sets TMPDIR for one scope.
class temp_dir_override {
 public:
  explicit temp_dir_override(const char* dir) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old, had_ = true;
    ::setenv("TMPDIR", dir, 1);
  }
  ~temp_dir_override() {
    if (had_) ::setenv("TMPDIR", old_.c_str(), 1);
    else ::unsetenv("TMPDIR");
  }

 private:
  std::string old_;
  bool had_ = false;
};

}  // namespace

TEST(jet_kset, keys_past_the_budget_move_to_disk_and_stay_findable) {
  jet_key_set keys(small_budget);
  const uint32_t count = 20000;
  for (uint32_t i = 1; i <= count; ++i) {
    keys.insert(hash_of(i), i);
    // A key is found right after it is added, wherever it lives by then.
    if (i % 997 == 0) {
      ASSERT_TRUE(holds(keys, hash_of(i), i)) << i;
    }
  }
  EXPECT_EQ(keys.size(), count);
  EXPECT_GT(keys.keys_on_disk(), count / 2) << "the set never left memory";
  size_t false_candidates = 0;
  for (uint32_t i = 1; i <= count; ++i) {
    std::vector<uint32_t> found = keys.candidates(hash_of(i));
    ASSERT_NE(std::find(found.begin(), found.end(), i), found.end()) << i;
    false_candidates += found.size() - 1;
  }
  EXPECT_LT(false_candidates, 20u);
  // Hashes never added bring (almost) nothing.
  size_t strangers = 0;
  for (uint32_t i = count + 1; i <= 2 * count; ++i) strangers += keys.candidates(hash_of(i)).size();
  EXPECT_LT(strangers, 20u);

  // Moved, the set keeps its file and its keys.
  jet_key_set moved = std::move(keys);
  EXPECT_TRUE(holds(moved, hash_of(1), 1));
  EXPECT_TRUE(holds(moved, hash_of(count), count));

  moved.clear();
  EXPECT_EQ(moved.size(), 0u);
  EXPECT_EQ(moved.keys_on_disk(), 0u);
  EXPECT_TRUE(moved.candidates(hash_of(1)).empty());
  // Usable again after clear(), spilling afresh.
  for (uint32_t i = 1; i <= 3000; ++i) moved.insert(hash_of(i), i + 100);
  EXPECT_GT(moved.keys_on_disk(), 0u);
  EXPECT_TRUE(holds(moved, hash_of(1), 101));
  EXPECT_FALSE(holds(moved, hash_of(1), 1));
}

TEST(jet_kset, one_hash_shared_by_thousands_of_rows_neither_hangs_nor_loses_rows) {
  jet_key_set keys(small_budget);
  for (uint32_t i = 1; i <= 3000; ++i) keys.insert(42, i);
  for (uint32_t i = 1; i <= 3000; ++i) keys.insert(hash_of(i), 10000 + i);
  std::vector<uint32_t> found = keys.candidates(42);
  std::sort(found.begin(), found.end());
  ASSERT_EQ(found.size(), 3000u);
  for (uint32_t i = 1; i <= 3000; ++i) ASSERT_EQ(found[i - 1], i);
  for (uint32_t i = 1; i <= 3000; ++i) ASSERT_TRUE(holds(keys, hash_of(i), 10000 + i)) << i;
}

TEST(jet_kset, a_set_within_its_budget_needs_no_file_and_an_unusable_temp_dir_is_reported) {
  temp_dir_override missing("/nonexistent-dunmarrow-dir");
  {
    jet_key_set keys(small_budget);
    for (uint32_t i = 1; i <= 400; ++i) keys.insert(hash_of(i), i);  // fits: no file is opened
    EXPECT_EQ(keys.keys_on_disk(), 0u);
    EXPECT_TRUE(holds(keys, hash_of(400), 400));
  }
  jet_key_set keys(small_budget);
  try {
    for (uint32_t i = 1; i <= 5000; ++i) keys.insert(hash_of(i), i);
    FAIL() << "no error though the temporary file cannot be made";
  } catch (const jet_error& error) {
    // A missing directory is no full disk: DAO's 3043 "Disk or network error."
    EXPECT_EQ(error.number(), jet_dao_error::disk_error);
    EXPECT_STREQ(error.what(), "Disk or network error.");
  }
}

TEST(jet_kset, false_alarms_stay_rare_as_keys_on_disk_outgrow_the_first_filter) {
  // The budget's filter holds 32,768 bits: a few thousand keys would already
  // fill it. Two hundred thousand keys later, hashes never added still
  // seldom cost a read of the file, and every key is still found.
  jet_key_set keys(small_budget);
  const uint32_t count = 200000;
  for (uint32_t i = 1; i <= count; ++i) keys.insert(hash_of(i), i);
  ASSERT_GT(keys.keys_on_disk(), count * 9 / 10);
  const size_t reads_before = keys.bucket_reads();
  size_t strangers = 0;
  for (uint32_t i = count + 1; i <= count + 20000; ++i) strangers += keys.candidates(hash_of(i)).size();
  EXPECT_LT(keys.bucket_reads() - reads_before, 20000u / 20) << "more than 5% false alarms";
  EXPECT_LT(strangers, 20u);
  for (uint32_t i = 1; i <= count; i += 101) ASSERT_TRUE(holds(keys, hash_of(i), i)) << i;
  // Cleared, the set starts again from its budget's filter.
  keys.clear();
  for (uint32_t i = 1; i <= 3000; ++i) keys.insert(hash_of(i), i);
  EXPECT_TRUE(holds(keys, hash_of(2999), 2999));
}
