// The rollback journal: a writer that dies at any byte it writes leaves a
// file that the next opener returns to exactly what it was; a writer that
// finishes leaves no journal; a writer whose disk refuses rolls back; and a
// journal is played back once, by someone who may write the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/file/journal.h"
#include "jet/file/pager.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/table/cursor.h"
#include "jet/tool/check.h"
#include "faulty_io.h"
#include "sample_files.h"

namespace {

namespace fs = std::filesystem;

std::vector<jet_value> numbered_row(int i) {
  std::vector<jet_value> row(2);
  row[0] = jet_value::null(jet_type::long_integer);
  row[0].is_null = false;
  row[0].integer = i;
  row[1] = jet_value::null(jet_type::memo);
  row[1].is_null = false;
  row[1].text = std::u16string(size_t(200 + 37 * (i % 40)), char16_t(u'a' + i % 26));
  return row;
}

// Tables A and B (ID indexed uniquely, NOTE memo), each with `rows` rows.
void make_two_tables(const std::string& path, const jet_format& format, int rows) {
  jet_create_database(path, format);
  jet_database db(path, false);
  for (const char16_t* name : {u"A", u"B"}) {
    jet_new_column id;
    id.name = u"ID";
    id.type = jet_type::long_integer;
    jet_new_column note;
    note.name = u"NOTE";
    note.type = jet_type::memo;
    jet_new_index by_id;
    by_id.name = u"BY_ID";
    by_id.columns = {{u"ID", true}};
    by_id.unique = true;
    jet_create_table(db, name, {id, note}, {by_id});
    jet_table_writer writer(db, *db.find_table(name));
    for (int i = 0; i < rows; ++i) writer.append(numbered_row(i));
    writer.close();
  }
  db.pager_for_update().commit();
}

// What a writer does in one session: rows into A (new pages and changed
// old ones, index rebuilt), then table C created and filled.
void write_a_session(jet_database& db) {
  jet_table_writer writer(db, *db.find_table(u"A"));
  for (int i = 1000; i < 1400; ++i) writer.append(numbered_row(i));
  writer.close();
  jet_new_column id;
  id.name = u"ID";
  id.type = jet_type::long_integer;
  jet_create_table(db, u"C", {id}, {});
  db.reload_catalog();
  jet_table_writer more(db, *db.find_table(u"C"));
  for (int i = 0; i < 50; ++i) more.append({numbered_row(i)[0]});
  more.close();
  db.pager_for_update().commit();
}

// Checks the file as a reader: consistent, and the rows of A as given.
void expect_consistent(const std::string& path, uint32_t rows_in_a) {
  jet_database reader(path, true);
  jet_check_report report = jet_check_database(reader);
  for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
  EXPECT_EQ(reader.table_def(*reader.find_table(u"A")).row_count, rows_in_a);
}

int exit_status_of(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(jet_journal, a_writer_dying_at_any_byte_leaves_the_file_as_it_was_or_as_it_finished) {
  for (const jet_format* format : {&jet_format_jet4(), &jet_format_jet3(1252)}) {
    SCOPED_TRACE(format->name);
    scratch_file file("crash.mdb");
    make_two_tables(file.path(), *format, 300);
    const std::vector<uint8_t> before = read_whole_file(file.path());

    // How many bytes a whole session writes, file and journal together.
    uint64_t session_bytes = 0;
    {
      scratch_file copy("measure.mdb");
      fs::copy_file(file.path(), copy.path(), fs::copy_options::overwrite_existing);
      struct counting_io : jet_file_io {
        uint64_t written = 0;
        ssize_t pread(int fd, void* b, size_t n, off_t at) override { return ::pread(fd, b, n, at); }
        ssize_t pwritev(int fd, const iovec* parts, int count, off_t at) override {
          const ssize_t put = ::pwritev(fd, parts, count, at);
          if (put > 0) written += uint64_t(put);
          return put;
        }
        int fsync(int fd) override { return ::fsync(fd); }
      } counter;
      jet_database db(copy.path(), false);
      db.pager_for_update().set_io_for_tests(counter);
      write_a_session(db);
      session_bytes = counter.written;
    }
    ASSERT_GT(session_bytes, 100000u);

    std::mt19937_64 random(20261207);
    int crashed = 0, finished = 0;
    for (int round = 0; round < 24; ++round) {
      // Crash points over the whole session, a few past its end.
      const uint64_t budget = random() % (session_bytes + session_bytes / 10);
      SCOPED_TRACE("crash after " + std::to_string(budget) + " of " + std::to_string(session_bytes) + " bytes");
      const pid_t pid = ::fork();
      if (pid == 0) {
        int code = 0;
        try {
          crash_io dying(budget);
          jet_database db(file.path(), false);
          db.pager_for_update().set_io_for_tests(dying);
          write_a_session(db);
        } catch (...) {
          code = 1;
        }
        ::_exit(code);
      }
      const int status = exit_status_of(pid);
      ASSERT_TRUE(status == 0 || status == crash_io::died) << status;
      if (status == crash_io::died) {
        ++crashed;
        // The next opener plays the journal back: byte for byte as before.
        { jet_database reader(file.path(), true); }
        EXPECT_FALSE(fs::exists(jet_journal::name_for(file.path())));
        ASSERT_EQ(read_whole_file(file.path()), before);
      } else {
        ++finished;
        EXPECT_FALSE(fs::exists(jet_journal::name_for(file.path())));
        expect_consistent(file.path(), 700);
        // Back to the start for the next round.
        std::ofstream(file.path(), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(before.data()), std::streamsize(before.size()));
      }
    }
    EXPECT_GT(crashed, 15);
    EXPECT_GT(finished, 0);
  }
}

TEST(jet_journal, a_session_the_disk_refuses_is_undone_and_a_finished_one_keeps_no_journal) {
  scratch_file file("refused.mdb");
  make_two_tables(file.path(), jet_format_jet4(), 200);
  const std::vector<uint8_t> before = read_whole_file(file.path());
  faulty_io io;
  {
    jet_database db(file.path(), false);
    jet_pager& pager = db.pager_for_update();
    pager.set_io_for_tests(io);
    jet_table_writer writer(db, *db.find_table(u"A"));
    for (int i = 1000; i < 1600; ++i) writer.append(numbered_row(i));
    EXPECT_GT(pager.journal_bytes(), 0u);  // pages have gone back to the file already
    EXPECT_TRUE(fs::exists(jet_journal::name_for(file.path())));
    io.fail_writes_from(1, ENOSPC);
    bool refused = false;
    try {
      writer.close();
      pager.commit();
    } catch (const jet_error& error) {
      refused = error.number() == 3026;
    }
    EXPECT_TRUE(refused);
    // Overwriting pages the file has takes no new space: the rollback works
    // on the full disk.
    io.lift();
    pager.roll_back();
    EXPECT_EQ(pager.dirty_pages(), 0u);
    EXPECT_EQ(pager.file_size(), before.size());
  }
  EXPECT_EQ(read_whole_file(file.path()), before);
  EXPECT_FALSE(fs::exists(jet_journal::name_for(file.path())));

  {
    jet_database db(file.path(), false);
    write_a_session(db);
    EXPECT_EQ(db.pager().journal_bytes(), 0u);
  }
  EXPECT_FALSE(fs::exists(jet_journal::name_for(file.path())));
  expect_consistent(file.path(), 600);
}

TEST(jet_journal, a_journal_cut_short_is_dropped_and_one_nobody_may_play_back_keeps_the_file_closed) {
  scratch_file file("torn.mdb");
  make_two_tables(file.path(), jet_format_jet4(), 50);
  const std::vector<uint8_t> before = read_whole_file(file.path());
  const std::string journal = jet_journal::name_for(file.path());

  // A head cut short: the writer died making it, before the file changed.
  std::ofstream(journal, std::ios::binary).write("JETJOU", 6);
  { jet_database reader(file.path(), true); }
  EXPECT_FALSE(fs::exists(journal));
  EXPECT_EQ(read_whole_file(file.path()), before);

  // A real journal, left by a writer that died after overwriting pages.
  const pid_t pid = ::fork();
  if (pid == 0) {
    crash_io dying(300000);
    jet_database db(file.path(), false);
    db.pager_for_update().set_io_for_tests(dying);
    write_a_session(db);
    ::_exit(0);
  }
  ASSERT_EQ(exit_status_of(pid), crash_io::died);
  ASSERT_TRUE(fs::exists(journal));
  EXPECT_NE(read_whole_file(file.path()), before);
  if (::geteuid() == 0) {
    // Someone who may only read the file cannot put it right, and must not
    // read it half-written either.
    const pid_t reader = ::fork();
    if (reader == 0) {
      if (::setuid(65534) != 0) ::_exit(97);
      try {
        jet_database db(file.path(), true);
      } catch (const jet_error& error) {
        ::_exit(error.number() - 3000);
      }
      ::_exit(0);
    }
    fs::permissions(file.path(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                     fs::perms::others_read);
    fs::permissions(fs::path(file.path()).parent_path(), fs::perms::all);
    EXPECT_EQ(exit_status_of(reader), 51);
    EXPECT_TRUE(fs::exists(journal));
  }
  { jet_database reader(file.path(), true); }
  EXPECT_FALSE(fs::exists(journal));
  EXPECT_EQ(read_whole_file(file.path()), before);
}
