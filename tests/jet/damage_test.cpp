// Damaged and foreign files: every failure must be DAO's 3049 (corrupt),
// 3343 (unrecognized) or 3024 (missing), never a crash, a read outside the
// buffers (AddressSanitizer watches) or another exception.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "jet/database/database.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/tool/check.h"
#include "jet/tool/dump.h"
#include "sample_files.h"

namespace {

// Opens and reads everything; returns 0 on success or the DAO error number.
int open_and_read_all(const std::string& path) {
  try {
    jet_database db(path, true);
    std::ostringstream sink;
    jet_dump_json(db, sink, jet_dump_options{});
    jet_check_database(db);  // walks the index pages too
    return 0;
  } catch (const jet_error& error) {
    return error.number();
  }
}

std::string sample_or_skip(const char* name) {
  std::string path = jet4_sample(name);
  return std::filesystem::exists(path) ? path : std::string();
}

}  // namespace

TEST(jet_damage, missing_empty_and_foreign_files_are_refused_by_number) {
  scratch_file file("x.mdb");
  EXPECT_EQ(open_and_read_all(file.path()), jet_dao_error::file_not_found);

  write_whole_file(file.path(), {});
  EXPECT_EQ(open_and_read_all(file.path()), jet_dao_error::unrecognized_format);

  write_whole_file(file.path(), std::vector<uint8_t>(8192, 'A'));
  EXPECT_EQ(open_and_read_all(file.path()), jet_dao_error::unrecognized_format);

  scratch_file dir_holder("d");
  std::filesystem::create_directories(dir_holder.path());
  EXPECT_EQ(open_and_read_all(dir_holder.path()), jet_dao_error::unrecognized_format);
}

TEST(jet_damage, other_versions_and_encoded_files_are_unrecognized) {
  std::string sample = sample_or_skip("emptyV2000.mdb");
  if (sample.empty()) GTEST_SKIP() << "emptyV2000.mdb not available";
  std::vector<uint8_t> bytes = read_whole_file(sample);
  scratch_file file("v.mdb");

  for (uint8_t version : {uint8_t(2), uint8_t(3)}) {
    std::vector<uint8_t> changed = bytes;
    changed[jet_const::hdr_version_offset] = version;
    write_whole_file(file.path(), changed);
    EXPECT_EQ(open_and_read_all(file.path()), jet_dao_error::unrecognized_format) << int(version);
  }
  // Marked Jet 3, a Jet 4 file's pages make no sense in Jet 3's layout.
  std::vector<uint8_t> as_jet3 = bytes;
  as_jet3[jet_const::hdr_version_offset] = jet_const::version_jet3;
  write_whole_file(file.path(), as_jet3);
  EXPECT_EQ(open_and_read_all(file.path()), jet_dao_error::corrupt);
  // A database key (pages encoded) is set through the mask: flip one byte.
  std::vector<uint8_t> keyed = bytes;
  keyed[jet_const::hdr_db_key_offset] ^= 0x5a;
  write_whole_file(file.path(), keyed);
  EXPECT_EQ(open_and_read_all(file.path()), jet_dao_error::unrecognized_format);
}

TEST(jet_damage, truncated_files_are_corrupt) {
  std::string sample = sample_or_skip("test2V2000.mdb");
  if (sample.empty()) GTEST_SKIP() << "test2V2000.mdb not available";
  std::vector<uint8_t> bytes = read_whole_file(sample);
  scratch_file file("t.mdb");
  for (size_t pages : {size_t(1), size_t(2), size_t(3), size_t(6), size_t(20)}) {
    write_whole_file(file.path(), std::vector<uint8_t>(bytes.begin(), bytes.begin() + pages * 4096));
    EXPECT_EQ(open_and_read_all(file.path()), jet_dao_error::corrupt) << pages << " pages";
  }
  // Half a page at the end is ignored; the whole pages still read.
  std::vector<uint8_t> ragged = bytes;
  ragged.resize(bytes.size() + 100, 0);
  write_whole_file(file.path(), ragged);
  EXPECT_EQ(open_and_read_all(file.path()), 0);
}

TEST(jet_damage, random_byte_damage_never_escapes_as_anything_but_3049) {
  std::vector<std::string> samples;
  for (const char* name : {"test2V2000.mdb", "overflowTestV2000.mdb", "fixedNumericTestV2000.mdb"}) {
    std::string path = sample_or_skip(name);
    if (!path.empty()) samples.push_back(path);
  }
  if (samples.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  std::mt19937 random(20261207);
  scratch_file file("r.mdb");
  int refused = 0, read = 0;
  for (const std::string& sample : samples) {
    std::vector<uint8_t> bytes = read_whole_file(sample);
    size_t pages = bytes.size() / 4096;
    for (int round = 0; round < 20; ++round) {
      std::vector<uint8_t> damaged = bytes;
      // Damage the structures that hold offsets and counts: page heads,
      // row tables and row ends on the catalog and the first data pages.
      int flips = 1 + int(random() % 6);
      for (int f = 0; f < flips; ++f) {
        size_t page = 1 + random() % std::min<size_t>(pages - 1, 24);
        // Heads (including index entry masks), index entries, and row ends.
        size_t at = random() % 3 == 0 ? random() % 256 : random() % 2 ? 0x1e0 + random() % 64 : 4096 - 1 - random() % 512;
        damaged[page * 4096 + at] = uint8_t(random());
      }
      write_whole_file(file.path(), damaged);
      int result = open_and_read_all(file.path());
      if (result == 0) {
        ++read;
      } else {
        EXPECT_EQ(result, jet_dao_error::corrupt) << sample << " round " << round;
        ++refused;
      }
    }
  }
  // Both outcomes occur: damage in unused bytes reads, damage in structure is refused.
  EXPECT_GT(refused, 0);
  EXPECT_GT(read, 0);
}
