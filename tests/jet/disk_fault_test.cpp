// A disk that refuses: writes, reads and syncs failing at chosen points
// under the pager give DAO's 3026 "Not enough space on disk." or 3043 "Disk
// or network error." from append and close (never a crash or a hang), a
// retry once the disk works again leaves a consistent file, and a file that
// would pass what Access opens is refused with 3001 "Invalid argument."
// before anything changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/file/pager.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/format/format.h"
#include "jet/table/cursor.h"
#include "jet/tool/check.h"
#include "faulty_io.h"
#include "sample_files.h"

namespace {

struct outcome {
  int number = 0;
  std::string text;
};

outcome run(const std::function<void()>& action) {
  try {
    action();
  } catch (const jet_error& error) {
    return {error.number(), error.what()};
  }
  return {};
}

// A table N (ID, NOTE memo), with an index on ID when asked.
void make_table(const std::string& path, const jet_format& format, bool indexed) {
  jet_create_database(path, format);
  jet_database db(path, false);
  jet_new_column id;
  id.name = u"ID";
  id.type = jet_type::long_integer;
  jet_new_column note;
  note.name = u"NOTE";
  note.type = jet_type::memo;
  std::vector<jet_new_index> indexes;
  if (indexed) {
    jet_new_index by_id;
    by_id.name = u"BY_ID";
    by_id.columns = {{u"ID", true}};
    indexes.push_back(by_id);
  }
  jet_create_table(db, u"N", {id, note}, indexes);
}

std::vector<jet_value> note_row(int i) {
  std::vector<jet_value> row(2);
  row[0] = jet_value::null(jet_type::long_integer);
  row[0].is_null = false;
  row[0].integer = i;
  row[1] = jet_value::null(jet_type::memo);
  row[1].is_null = false;
  // Letters that do not repeat: the text takes about its length in bytes.
  std::u16string text(size_t(500 + 7 * (i % 50)), u'a');
  for (size_t at = 0; at < text.size(); ++at) text[at] = char16_t(u'a' + (at * 7 + size_t(i)) % 26);
  row[1].text = text;
  return row;
}

// Appends rows 0.. until `rows` are in or the engine refuses one; returns
// the rows appended and what refused.
int append_until_refused(jet_table_writer& writer, int rows, outcome& refusal) {
  for (int i = 0; i < rows; ++i) {
    refusal = run([&] { writer.append(note_row(i)); });
    if (refusal.number != 0) return i;
  }
  refusal = run([&] { writer.close(); });
  return rows;
}

// The file as a reader sees it: consistent, every row whole, the count exact.
void expect_whole(const std::string& path, int at_least) {
  jet_database reader(path, true);
  jet_check_report report = jet_check_database(reader);
  for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
  for (const std::string& note : report.notes) ADD_FAILURE() << note;
  jet_table_def def = reader.table_def(*reader.find_table(u"N"));
  jet_table_cursor cursor(reader.pager(), def);
  std::vector<jet_value> row;
  int seen = 0;
  while (cursor.next(row)) {
    EXPECT_EQ(row[1].text, note_row(int(row[0].integer))[1].text) << row[0].integer;
    ++seen;
  }
  EXPECT_GE(seen, at_least);
  EXPECT_EQ(long(def.row_count), long(seen));
}

}  // namespace

TEST(jet_disk_fault, a_write_refused_at_any_point_is_reported_and_a_retry_after_it_is_lifted_succeeds) {
  struct refusal {
    int error;
    int number;
    const char* text;
  };
  const refusal refusals[] = {{ENOSPC, 3026, "Not enough space on disk."},
                              {EDQUOT, 3026, "Not enough space on disk."},
                              {EFBIG, 3026, "Not enough space on disk."},
                              {0, 3026, "Not enough space on disk."},  // nothing written, no reason given
                              {EIO, 3043, "Disk or network error."},
                              {ENXIO, 3043, "Disk or network error."}};
  for (bool indexed : {false, true}) {
    for (const refusal& r : refusals) {
      for (int nth : {1, 2, 3, 6}) {
        SCOPED_TRACE("indexed " + std::to_string(indexed) + ", errno " + std::to_string(r.error) + ", write " +
                     std::to_string(nth));
        scratch_file file("fault.mdb");
        make_table(file.path(), jet_format_jet4(), indexed);
        faulty_io io;
        int appended = 0;
        {
          jet_database db(file.path(), false);
          db.pager_for_update().set_io_for_tests(io);
          jet_table_writer writer(db, *db.find_table(u"N"));
          io.fail_writes_from(nth, r.error);
          outcome failed;
          appended = append_until_refused(writer, 600, failed);
          EXPECT_EQ(failed.number, r.number);
          EXPECT_EQ(failed.text, r.text);
          EXPECT_GT(io.refused(), 0);
          // Still refused: the same answer again, nothing lost.
          EXPECT_EQ(run([&] { writer.close(); }).number, r.number);
          io.lift();
          EXPECT_EQ(run([&] { writer.close(); }).number, 0);
          EXPECT_EQ(db.pager().dirty_pages(), 0u);
        }
        expect_whole(file.path(), appended);
      }
    }
  }
}

TEST(jet_disk_fault, short_writes_are_finished_and_refused_reads_and_syncs_are_reported) {
  scratch_file file("short.mdb");
  make_table(file.path(), jet_format_jet4(), true);
  faulty_io io;
  {
    jet_database db(file.path(), false);
    jet_pager& pager = db.pager_for_update();
    pager.set_io_for_tests(io);
    io.write_short(1000);  // every write puts part of a page
    jet_table_writer writer(db, *db.find_table(u"N"));
    for (int i = 0; i < 200; ++i) writer.append(note_row(i));
    writer.close();

    io.fail_syncs(EIO);
    outcome synced = run([&] { pager.sync(); });
    EXPECT_EQ(synced.number, 3043);
    EXPECT_EQ(synced.text, "Disk or network error.");
    io.fail_syncs(ENOSPC);
    EXPECT_EQ(run([&] { pager.sync(); }).number, 3026);
    io.lift();
    EXPECT_EQ(run([&] { pager.sync(); }).number, 0);
  }
  expect_whole(file.path(), 200);

  jet_database db(file.path(), true);
  jet_pager& pager = const_cast<jet_pager&>(db.pager());
  pager.set_io_for_tests(io);
  io.fail_reads_from(1, EIO);
  outcome read = run([&] { pager.read_page(pager.page_count() - 1); });
  EXPECT_EQ(read.number, 3043);
  EXPECT_EQ(read.text, "Disk or network error.");
  io.lift();
  EXPECT_EQ(pager.read_page(pager.page_count() - 1).size(), pager.page_size());
}

TEST(jet_disk_fault, a_file_is_never_grown_past_what_access_opens) {
  EXPECT_EQ(jet_format_jet4().max_file_size, uint64_t(1) << 31);
  EXPECT_EQ(jet_format_jet3(1252).max_file_size, uint64_t(1) << 30);
  for (const jet_format* format : {&jet_format_jet4(), &jet_format_jet3(1252)}) {
    for (bool indexed : {false, true}) {
      SCOPED_TRACE(std::string(format->name) + (indexed ? ", indexed" : ""));
      scratch_file file("limit.mdb");
      make_table(file.path(), *format, indexed);
      const uint64_t start = std::filesystem::file_size(file.path());
      const uint64_t limit = start + 40 * uint64_t(format->page_size);
      int appended = 0;
      {
        jet_database db(file.path(), false);
        jet_pager& pager = db.pager_for_update();
        EXPECT_EQ(pager.size_limit(), format->max_file_size);
        pager.set_size_limit_for_tests(uint64_t(1) << 40);  // never above the format's
        EXPECT_EQ(pager.size_limit(), format->max_file_size);
        pager.set_size_limit_for_tests(limit);
        jet_table_writer writer(db, *db.find_table(u"N"));
        outcome refused;
        appended = append_until_refused(writer, 5000, refused);
        EXPECT_EQ(refused.number, 3001);
        EXPECT_EQ(refused.text, "Invalid argument.");
        EXPECT_GT(appended, 0);
        EXPECT_LE(pager.file_size(), limit);
        // What was accepted reaches the file; the refusal stays.
        outcome closed = run([&] { writer.close(); });
        if (closed.number != 0) {
          EXPECT_EQ(closed.number, 3001);
        }
        pager.flush();
        EXPECT_EQ(pager.dirty_pages(), 0u);
      }
      EXPECT_LE(std::filesystem::file_size(file.path()), limit);
      expect_whole(file.path(), appended);
    }
  }
}
