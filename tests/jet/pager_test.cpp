// The pager's write-back cache: its own reads see every change, the file
// sees them when the cache fills and at flush(), and a refused write-back is
// reported and can be tried again.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/file/pager.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/format/text.h"
#include "jet/table/cursor.h"
#include "faulty_io.h"
#include "sample_files.h"

namespace {

const uint32_t page_size = jet_format_jet4().page_size;

// A page whose every byte tells its number and version.
std::vector<uint8_t> marked_page(uint32_t page, uint8_t version) {
  std::vector<uint8_t> bytes(page_size);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(page * 31 + version + i % 7);
  return bytes;
}

std::vector<uint8_t> on_disk(const std::string& path, uint32_t page) {
  std::vector<uint8_t> whole = read_whole_file(path);
  if (whole.size() < size_t(page + 1) * page_size) return {};
  return std::vector<uint8_t>(whole.begin() + long(page) * page_size, whole.begin() + long(page + 1) * page_size);
}

int error_number(const std::function<void()>& action) {
  try {
    action();
  } catch (const jet_error& error) {
    return error.number();
  }
  return 0;
}

}  // namespace

TEST(jet_pager, changes_are_read_back_at_once_and_reach_the_file_at_flush) {
  scratch_file file("cache.mdb");
  write_whole_file(file.path(), std::vector<uint8_t>(size_t(4) * page_size, 0));
  jet_pager pager(file.path(), true);
  pager.write_page(2, marked_page(2, 1));
  pager.write_page(4, marked_page(4, 1));  // extends the file by one page
  pager.write_page(2, marked_page(2, 2));
  EXPECT_EQ(pager.page_count(), 5u);
  EXPECT_EQ(pager.read_page(2), marked_page(2, 2));
  std::vector<uint8_t> buffer(3, 0xee);  // any buffer is made a page
  pager.read_page(4, buffer);
  EXPECT_EQ(buffer, marked_page(4, 1));
  EXPECT_EQ(pager.dirty_pages(), 2u);
  // Nothing has reached the file yet: other handles see the old bytes.
  EXPECT_EQ(read_whole_file(file.path()).size(), size_t(4) * page_size);
  EXPECT_EQ(on_disk(file.path(), 2), std::vector<uint8_t>(page_size, 0));

  pager.flush();
  EXPECT_EQ(pager.dirty_pages(), 0u);
  EXPECT_EQ(on_disk(file.path(), 2), marked_page(2, 2));
  EXPECT_EQ(on_disk(file.path(), 4), marked_page(4, 1));
  EXPECT_EQ(on_disk(file.path(), 3), std::vector<uint8_t>(page_size, 0));
  EXPECT_EQ(pager.read_page(2), marked_page(2, 2));  // still held, now unchanged
  EXPECT_EQ(error_number([&] { pager.read_page(5); }), 3049);

  // Changed in place: a page read from the file, and one already held.
  pager.page_for_update(3)[100] = 0x77;
  pager.page_for_update(2)[0] = 0x66;
  EXPECT_EQ(pager.dirty_pages(), 2u);
  EXPECT_EQ(pager.read_page(3)[100], 0x77);
  EXPECT_EQ(on_disk(file.path(), 3)[100], 0);
  pager.flush();
  EXPECT_EQ(on_disk(file.path(), 3)[100], 0x77);
  EXPECT_EQ(on_disk(file.path(), 2)[0], 0x66);
  EXPECT_EQ(error_number([&] { pager.page_for_update(5); }), 3049);
  jet_pager reader(file.path(), false);
  EXPECT_EQ(error_number([&] { reader.page_for_update(1); }), 3051);
}

TEST(jet_pager, more_pages_than_the_cache_holds_are_written_back_whole_and_in_bounds) {
  scratch_file file("many.mdb");
  write_whole_file(file.path(), std::vector<uint8_t>(page_size, 0));
  const uint32_t pages = uint32_t(jet_pager::cache_pages) * 3 + 5;
  {
    jet_pager pager(file.path(), true);
    for (uint32_t page = 1; page <= pages; ++page) {
      pager.write_page(page, marked_page(page, 0));
      // A page written earlier changes again while others come and go.
      pager.write_page(1, marked_page(1, uint8_t(page)));
      ASSERT_LE(pager.dirty_pages(), jet_pager::cache_pages);
    }
    // Whatever went to the file and whatever is held reads back the same.
    for (uint32_t page = 2; page <= pages; ++page) ASSERT_EQ(pager.read_page(page), marked_page(page, 0)) << page;
    EXPECT_EQ(pager.read_page(1), marked_page(1, uint8_t(pages)));
    // Write-backs happened before flush, and left no gap in the file.
    std::vector<uint8_t> early = read_whole_file(file.path());
    EXPECT_GT(early.size(), size_t(jet_pager::cache_pages) * page_size);
    EXPECT_EQ(early.size() % page_size, 0u);
    for (uint32_t page = 2; page < early.size() / page_size; ++page)
      ASSERT_EQ(on_disk(file.path(), page), marked_page(page, 0)) << page;
    pager.flush();
  }
  std::vector<uint8_t> whole = read_whole_file(file.path());
  ASSERT_EQ(whole.size(), size_t(pages + 1) * page_size);
  jet_pager again(file.path(), false);
  for (uint32_t page = 2; page <= pages; ++page) ASSERT_EQ(again.read_page(page), marked_page(page, 0)) << page;
  EXPECT_EQ(again.read_page(1), marked_page(1, uint8_t(pages)));
  EXPECT_EQ(error_number([&] { again.write_page(1, marked_page(1, 0)); }), 3051);
}

TEST(jet_pager, a_refused_write_back_is_reported_as_3026_and_tried_again) {
  scratch_file file("full.mdb");
  write_whole_file(file.path(), std::vector<uint8_t>(size_t(2) * page_size, 0));
  jet_pager pager(file.path(), true);
  for (uint32_t page = 1; page <= 6; ++page) pager.write_page(page, marked_page(page, 3));
  {
    file_size_limit limit(3 * page_size);
    EXPECT_EQ(error_number([&] { pager.flush(); }), 3026);
    EXPECT_GT(pager.dirty_pages(), 0u);  // the pages the disk refused are still held
    EXPECT_EQ(pager.read_page(6), marked_page(6, 3));
  }
  pager.flush();
  EXPECT_EQ(pager.dirty_pages(), 0u);
  for (uint32_t page = 1; page <= 6; ++page) EXPECT_EQ(on_disk(file.path(), page), marked_page(page, 3)) << page;
}

TEST(jet_pager, a_writer_reports_a_full_disk_from_close_and_its_database_stays_readable_after_a_retry) {
  scratch_file file("writer.mdb");
  jet_create_database(file.path());
  {
    jet_database db(file.path(), false);
    jet_new_column id;
    id.name = u"ID";
    id.type = jet_type::long_integer;
    jet_new_column note;
    note.name = u"NOTE";
    note.type = jet_type::memo;
    jet_create_table(db, u"N", {id, note}, {});
  }
  const uintmax_t size_before = std::filesystem::file_size(file.path());
  {
    jet_database db(file.path(), false);
    jet_table_writer writer(db, *db.find_table(u"N"));
    for (int i = 0; i < 20; ++i) {
      std::vector<jet_value> row(2);
      row[0] = jet_value::null(jet_type::long_integer);
      row[0].is_null = false;
      row[0].integer = i;
      row[1] = jet_value::null(jet_type::memo);
      row[1].is_null = false;
      row[1].text = std::u16string(size_t(300 + 40 * i), char16_t(u'a' + i % 26));
      writer.append(row);
    }
    {
      file_size_limit limit(size_before);
      EXPECT_EQ(error_number([&] { writer.close(); }), 3026);
    }
    writer.close();
  }
  jet_database reader(file.path(), true);
  jet_table_def def = reader.table_def(*reader.find_table(u"N"));
  EXPECT_EQ(def.row_count, 20u);
  jet_table_cursor cursor(reader.pager(), def);
  std::vector<jet_value> row;
  int seen = 0;
  while (cursor.next(row)) {
    EXPECT_EQ(row[1].text, std::u16string(size_t(300 + 40 * row[0].integer), char16_t(u'a' + row[0].integer % 26)));
    ++seen;
  }
  EXPECT_EQ(seen, 20);
}

TEST(jet_text, the_encoded_size_is_the_size_of_the_encoding) {
  const std::u16string samples[] = {u"",          u"plain ascii",       u"\u00e9t\u00e9 caf\u00e9",
                                    u"\u03b1\u03b2\u03b3", u"mixed \u03b1 and \u03b2 runs", u"\u0100 low byte zero",
                                    u"a\u4e2d",   u"\u4e2d\u6587\u6587\u6587a", u"x"};
  for (const std::u16string& text : samples)
    for (bool allow : {false, true}) {
      std::vector<uint8_t> reused(100, 0x55);
      jet_encode_text(text, allow, reused);
      EXPECT_EQ(reused, jet_encode_text(text, allow));
      EXPECT_EQ(jet_encoded_text_size(text, allow), reused.size());
      EXPECT_EQ(jet_decode_text(reused.data(), reused.size()), text);
    }
  // Compressed only when shorter: wide characters cost their switches.
  EXPECT_EQ(jet_encode_text(u"\u4e2d\u6587a", true).size(), 6u);
  EXPECT_EQ(jet_encode_text(u"\u4e2d\u6587a", true)[0], 0x2d);
}
