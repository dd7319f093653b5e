// Table definitions written by us against the ones Access wrote: every
// definition in the samples, read and written again, gives Access's bytes.
#include <gtest/gtest.h>

#include "jet/database/database.h"
#include "jet/format/byte_view.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/table/definition_writer.h"
#include "sample_files.h"

TEST(jet_tdef, every_sample_definition_is_rewritten_byte_for_byte) {
  auto files = access_sample_files();
  if (files.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  int compared = 0;
  for (const std::string& file : files) {
    jet_database db(file, true);
    for (const jet_catalog_entry* table : db.tables()) {
      if (!table->is_local_table()) continue;
      jet_table_def def = db.table_def(*table);
      SCOPED_TRACE(file + ": " + std::to_string(def.page));
      std::vector<uint8_t> joined;
      for (size_t i = 0; i < def.chain.size(); ++i) {
        std::vector<uint8_t> page = db.pager().read_page(def.chain[i]);
        joined.insert(joined.end(), page.begin() + (i == 0 ? 0 : jet_const::tdef_header_size), page.end());
      }
      std::vector<uint8_t> ours = jet_encode_tdef(def);
      ASSERT_LE(ours.size(), joined.size());
      joined.resize(ours.size());
      // The page head (free space, next page) is compared page by page below.
      for (size_t at = 0; at < ours.size(); ++at) {
        if (at >= 2 && at < jet_const::tdef_header_size) continue;
        ASSERT_EQ(ours[at], joined[at]) << "first difference at byte " << at;
      }
      std::vector<std::vector<uint8_t>> pages = jet_tdef_pages(*def.format, ours, def.chain);
      ASSERT_EQ(pages.size(), def.chain.size());
      for (size_t i = 0; i < pages.size(); ++i) {
        std::vector<uint8_t> theirs = db.pager().read_page(def.chain[i]);
        jet_view a(pages[i], file), b(theirs, file);
        EXPECT_EQ(a.u16(jet_const::tdef_free_space_offset), b.u16(jet_const::tdef_free_space_offset)) << "page " << i;
        EXPECT_EQ(a.u32(jet_const::tdef_next_page_offset), b.u32(jet_const::tdef_next_page_offset)) << "page " << i;
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, 100);
}

TEST(jet_tdef, long_definitions_span_pages_and_read_back) {
  // A definition of 9000 bytes needs three pages; the pages join back to it.
  std::vector<uint8_t> joined(9000);
  for (size_t i = 0; i < joined.size(); ++i) joined[i] = uint8_t(i * 13);
  EXPECT_EQ(jet_tdef_page_count(jet_format_jet4(), joined.size()), 3u);
  EXPECT_EQ(jet_tdef_page_count(jet_format_jet4(), 4096), 1u);
  EXPECT_EQ(jet_tdef_page_count(jet_format_jet4(), 4097), 2u);
  std::vector<std::vector<uint8_t>> pages = jet_tdef_pages(jet_format_jet4(), joined, {10, 11, 12});
  ASSERT_EQ(pages.size(), 3u);
  std::string name = "t";
  EXPECT_EQ(jet_view(pages[0], name).u32(jet_const::tdef_next_page_offset), 11u);
  EXPECT_EQ(jet_view(pages[1], name).u32(jet_const::tdef_next_page_offset), 12u);
  EXPECT_EQ(jet_view(pages[2], name).u32(jet_const::tdef_next_page_offset), 0u);
  EXPECT_EQ(jet_view(pages[0], name).u16(jet_const::tdef_free_space_offset), 0u);
  std::vector<uint8_t> back(pages[0].begin(), pages[0].end());
  back[4] = joined[4], back[5] = joined[5], back[6] = joined[6], back[7] = joined[7];
  back[2] = joined[2], back[3] = joined[3];
  for (size_t i = 1; i < pages.size(); ++i) back.insert(back.end(), pages[i].begin() + 8, pages[i].end());
  back.resize(joined.size());
  EXPECT_EQ(back, joined);
  EXPECT_THROW(jet_tdef_pages(jet_format_jet4(), joined, {10, 11}), jet_error);
}
