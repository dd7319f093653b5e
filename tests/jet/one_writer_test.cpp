// One writer at a time, with real processes: writers and readers racing for
// one file get in or are refused with 3045, never anything else; every row a
// writer added is there afterwards, and no reader ever saw the file other
// than consistent.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "jet/tool/check.h"
#include "sample_files.h"

namespace {

constexpr int batch = 150;  // rows a writer adds each time it gets in

// Exit codes of the children.
constexpr int ok = 0, refused_otherwise = 1, inconsistent = 2, no_turn = 3;

std::vector<jet_value> id_row(int id) {
  std::vector<jet_value> row(2);
  row[0] = jet_value::null(jet_type::long_integer);
  row[0].is_null = false;
  row[0].integer = id;
  row[1] = jet_value::null(jet_type::text);
  row[1].is_null = false;
  row[1].text = u"row " + std::u16string(size_t(id % 40), u'x');
  return row;
}

// Writes one batch of rows, trying again while someone else has the file.
int write_a_batch(const std::string& path, int writer, int turn) {
  for (int attempt = 0; attempt < 20000; ++attempt) {
    try {
      jet_database db(path, false);
      jet_table_writer rows(db, *db.find_table(u"T"));
      for (int i = 0; i < batch; ++i) rows.append(id_row(writer * 100000 + turn * 1000 + i));
      rows.close();
      db.pager_for_update().commit();
      return ok;
    } catch (const jet_error& error) {
      if (error.number() != 3045) return refused_otherwise;
    }
    ::usleep(useconds_t(500 + (::getpid() * 7919 + attempt * 131) % 1500));
  }
  return no_turn;
}

// Reads the file whole `wanted` times, trying again while writers have it.
int read_and_check(const std::string& path, int wanted) {
  int inside = 0;
  for (int attempt = 0; attempt < 5000 && inside < wanted; ++attempt) {
    try {
      jet_database db(path, true);
      jet_check_report report = jet_check_database(db);
      if (!report.problems.empty()) return inconsistent;
      ++inside;
    } catch (const jet_error& error) {
      if (error.number() != 3045) return refused_otherwise;
    }
    ::usleep(1000);
  }
  return inside == wanted ? ok : no_turn;
}

}  // namespace

TEST(jet_one_writer, writers_and_readers_racing_for_a_file_take_turns_and_lose_nothing) {
  for (const jet_format* format : {&jet_format_jet4(), &jet_format_jet3(1252)}) {
    SCOPED_TRACE(format->name);
    scratch_file file("raced.mdb");
    jet_create_database(file.path(), *format);
    {
      jet_database db(file.path(), false);
      jet_new_column id;
      id.name = u"ID";
      id.type = jet_type::long_integer;
      jet_new_column text;
      text.name = u"TEXT";
      text.type = jet_type::text;
      text.size = 50;
      jet_new_index key;
      key.name = u"PrimaryKey";
      key.columns = {{u"ID", true}};
      key.primary = key.unique = true;
      jet_create_table(db, u"T", {id, text}, {key});
    }
    const int writers = 4, turns = 3, readers = 2;
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        int code = ok;
        for (int turn = 0; turn < turns && code == ok; ++turn) code = write_a_batch(file.path(), w, turn);
        ::_exit(code);
      }
      children.push_back(pid);
    }
    for (int r = 0; r < readers; ++r) {
      const pid_t pid = ::fork();
      if (pid == 0) ::_exit(read_and_check(file.path(), 5));
      children.push_back(pid);
    }
    for (pid_t pid : children) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status)) << status;
      EXPECT_EQ(WEXITSTATUS(status), ok) << "child " << pid;
    }
    jet_database db(file.path(), true);
    jet_check_report report = jet_check_database(db);
    for (const std::string& problem : report.problems) ADD_FAILURE() << problem;
    EXPECT_EQ(db.table_def(*db.find_table(u"T")).row_count, uint32_t(writers * turns * batch));
  }
}
