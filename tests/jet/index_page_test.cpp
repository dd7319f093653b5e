// Index pages written by us against Access's: every single-page index in the
// samples, rebuilt from its entries, gives Access's page; larger indexes
// built by us read back in order.
#include <gtest/gtest.h>

#include "jet/database/database.h"
#include "jet/format/format.h"
#include "jet/format/value.h"
#include "jet/index/index_page.h"
#include "jet/index/tree_image.h"
#include "sample_files.h"

TEST(jet_index, single_page_indexes_are_rebuilt_byte_for_byte) {
  auto files = access_sample_files();
  if (files.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  int compared = 0;
  for (const std::string& file : files) {
    jet_database db(file, true);
    for (const jet_catalog_entry* table : db.tables()) {
      if (!table->is_local_table()) continue;
      jet_table_def def = db.table_def(*table);
      for (const jet_real_index& index : def.real_indexes) {
        std::vector<uint8_t> theirs = db.pager().read_page(index.first_page);
        bool leaf = false;
        uint32_t next = 0;
        std::vector<jet_index_entry> entries = jet_read_index_page(db.pager(), index.first_page, &leaf, &next);
        const jet_format& format = db.format();
        const uint8_t prefix = theirs[format.index_page.prefix_length];  // its low byte in Jet 4
        if (!leaf || next != 0 || prefix != 0) continue;
        std::vector<uint8_t> ours = jet_index_page_bytes(format, entries, true, def.page, 0, 0);
        size_t used = format.page_size - size_t(ours[2] | ours[3] << 8);
        SCOPED_TRACE(file + " page " + std::to_string(index.first_page));
        for (size_t at = 0; at < used; ++at) ASSERT_EQ(ours[at], theirs[at]) << "first difference at " << at;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 100);
}

TEST(jet_index, many_entries_make_a_tree_that_reads_back_in_order) {
  std::vector<jet_index_entry> entries;
  for (uint32_t i = 0; i < 3000; ++i) {
    jet_index_entry entry;
    entry.key = {0x7f, uint8_t(i >> 24 ^ 0x80), uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i), 0x55, 0x66, 0x77};
    entry.row_pointer = ((100 + i / 200) << 8) | (i % 200);
    entries.push_back(entry);
  }
  scratch_file file("idx.mdb");
  write_whole_file(file.path(), std::vector<uint8_t>(jet_format_jet4().page_size * 2, 0));
  jet_pager pager(file.path(), true);
  uint32_t next_number = 2;
  jet_index_image image = jet_build_index(jet_format_jet4(), entries, 2, [&] { return next_number++; });
  EXPECT_GE(image.pages.size(), 10u);  // 3000 entries of 12 bytes need ten leaves and a node
  for (size_t i = 0; i < image.pages.size(); ++i) pager.write_page(image.pages[i], image.images[i]);
  std::vector<jet_index_entry> back = jet_read_index_entries(pager, image.root);
  ASSERT_EQ(back.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    ASSERT_EQ(back[i].key, entries[i].key) << i;
    ASSERT_EQ(back[i].row_pointer, entries[i].row_pointer) << i;
  }
  // An index without entries is one empty leaf.
  jet_index_image empty = jet_build_index(jet_format_jet4(), {}, 2, [&] { return next_number++; });
  ASSERT_EQ(empty.pages.size(), 1u);
  EXPECT_EQ(empty.images[0][0], jet_const::page_index_leaf);
  EXPECT_EQ(empty.images[0][2] | empty.images[0][3] << 8, int(jet_format_jet4().page_size - jet_format_jet4().index_page.entries));
}
