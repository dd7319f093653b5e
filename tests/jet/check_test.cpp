// The consistency check: Access's files pass (one sample carries a stale row
// count, which the check names as a note: Access leaves such counts), files
// we damage or extend are judged by what they hold.
#include <gtest/gtest.h>

#include <filesystem>

#include "jet/database/database.h"
#include "jet/database/table_writer.h"
#include "jet/format/column_type.h"
#include "jet/format/format.h"
#include "jet/tool/check.h"
#include "sample_files.h"

TEST(jet_check, access_samples_are_consistent_and_one_stale_count_is_a_note) {
  auto files = access_sample_files();
  if (files.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    jet_check_report report = jet_check_database(jet_database(file, true));
    EXPECT_GT(report.tables, 3);
    // Every catalog has at least its two MSysObjects indexes rebuilt and compared.
    EXPECT_GE(report.indexes_verified, 5);
    if (file.find("readerTestV2000") != std::string::npos) {
      // Its MSysACEs definition counts 61 rows; the page holds 64 live rows
      // (mdb-reader reads the same 64).
      EXPECT_TRUE(report.problems.empty()) << report.problems[0];
      ASSERT_EQ(report.notes.size(), 1u);
      EXPECT_EQ(report.notes[0], "MSysACEs: 64 rows, the definition says 61 (Access leaves such counts)");
    } else {
      EXPECT_TRUE(report.problems.empty()) << report.problems[0];
      EXPECT_TRUE(report.notes.empty()) << report.notes[0];
    }
  }
}

TEST(jet_check, wrong_counts_and_free_space_are_reported_and_appends_stay_consistent) {
  std::string sample = jet4_sample("fixedNumericTestV2000.mdb");
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "fixedNumericTestV2000.mdb not available";
  scratch_file file("c.mdb");
  std::vector<uint8_t> bytes = read_whole_file(sample);
  write_whole_file(file.path(), bytes);
  uint32_t test_page;
  {
    jet_database db(file.path(), false);
    jet_table_writer writer(db, *db.find_table(u"test"));
    test_page = writer.def().page;
    for (int i = 0; i < 50; ++i) {
      std::vector<jet_value> row;
      for (const jet_column& column : writer.def().columns) row.push_back(jet_value::null(column.type));
      writer.append(row);
    }
  }
  jet_check_report appended = jet_check_database(jet_database(file.path(), true));
  EXPECT_TRUE(appended.problems.empty());
  EXPECT_TRUE(appended.notes.empty()) << "our writer keeps the count exact";

  // The definition's row count off by one: a note, as Access leaves such counts.
  bytes = read_whole_file(file.path());
  bytes[size_t(test_page) * jet_format_jet4().page_size + jet_format_jet4().tdef.row_count] ^= 1;
  write_whole_file(file.path(), bytes);
  jet_check_report report = jet_check_database(jet_database(file.path(), true));
  EXPECT_TRUE(report.problems.empty());
  ASSERT_EQ(report.notes.size(), 1u);
  EXPECT_NE(report.notes[0].find("the definition says"), std::string::npos);
  bytes[size_t(test_page) * jet_format_jet4().page_size + jet_format_jet4().tdef.row_count] ^= 1;

  // A data page whose free-space count disagrees with its rows.
  jet_database db(sample, true);
  jet_table_def def = db.table_def(*db.find_table(u"test"));
  size_t data_page = 0;
  for (size_t page = 1; page < bytes.size() / jet_format_jet4().page_size && !data_page; ++page) {
    const uint8_t* p = &bytes[page * jet_format_jet4().page_size];
    if (p[0] == jet_const::page_data && (p[4] | p[5] << 8 | p[6] << 16 | uint32_t(p[7]) << 24) == def.page) data_page = page;
  }
  ASSERT_NE(data_page, 0u);
  bytes[data_page * jet_format_jet4().page_size + jet_const::data_free_space_offset] ^= 4;
  write_whole_file(file.path(), bytes);
  report = jet_check_database(jet_database(file.path(), true));
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_NE(report.problems[0].find("free space"), std::string::npos);
}

TEST(jet_check, index_entries_that_disagree_with_the_rows_are_reported) {
  std::string sample = jet4_sample("emptyV2000.mdb");
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "emptyV2000.mdb not available";
  jet_database original(sample, true);
  jet_table_def catalog = original.table_def(*original.find_table(u"MSysObjects"));
  ASSERT_EQ(catalog.real_indexes.size(), 2u);
  std::vector<uint8_t> bytes = read_whole_file(sample);
  scratch_file file("i.mdb");
  for (const jet_real_index& index : catalog.real_indexes) {
    // The first entry's last key byte, and then its row number.
    size_t entry = size_t(index.first_page) * jet_format_jet4().page_size + jet_format_jet4().index_page.entries;
    for (size_t offset : {size_t(4), size_t(8)}) {
      std::vector<uint8_t> damaged = bytes;
      damaged[entry + offset] ^= 0x01;
      write_whole_file(file.path(), damaged);
      jet_check_report report = jet_check_database(jet_database(file.path(), true));
      ASSERT_EQ(report.problems.size(), 1u) << offset;
      EXPECT_NE(report.problems[0].find("MSysObjects index"), std::string::npos) << report.problems[0];
    }
  }
  // An entry mask cut short loses entries.
  std::vector<uint8_t> damaged = bytes;
  size_t mask = size_t(catalog.real_indexes[1].first_page) * jet_format_jet4().page_size + jet_format_jet4().index_page.entry_mask;
  for (size_t at = mask; at < mask + 8; ++at) damaged[at] = 0;
  write_whole_file(file.path(), damaged);
  jet_check_report report = jet_check_database(jet_database(file.path(), true));
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_NE(report.problems[0].find("index entries for"), std::string::npos) << report.problems[0];
}
