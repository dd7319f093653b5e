// Our reading of every Access-made sample, Access 97 and 2000, against two
// independent readers: mdb-reader (tables, columns, types, sizes, rows) and
// mdbtools (user table names and row counts).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "jet/database/database.h"
#include "jet/table/cursor.h"
#include "jet/tool/dump.h"
#include "platform/codepage.h"
#include "sample_files.h"

namespace {

struct command_result {
  int status = -1;
  std::string output;
};

command_result run(const std::string& command) {
  command_result result;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1").c_str(), "r"), ::pclose);
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) result.output.append(buffer.data(), got);
  result.status = ::pclose(pipe.release());
  return result;
}

std::string shell_quote(const std::string& text) { return "'" + text + "'"; }

bool have_program(const char* name) { return run(std::string("command -v ") + name).status == 0; }

std::string readers_dir() { return std::string(DMW_SOURCE_DIR) + "/tools/readers"; }

}  // namespace

TEST(jet_readers, every_sample_reads_as_mdb_reader_reads_it) {
  auto files = access_sample_files();
  if (files.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  if (!have_program("node") || !std::filesystem::exists(readers_dir() + "/node_modules/mdb-reader"))
    GTEST_SKIP() << "mdb-reader is not installed (npm ci in tools/readers)";
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    scratch_file ours("dump.json");
    command_result dump = run(std::string(JETUTIL_PATH) + " dump " + shell_quote(file) + " > " + shell_quote(ours.path()));
    ASSERT_EQ(dump.status, 0) << dump.output;
    command_result compared = run("node " + shell_quote(readers_dir() + "/compare.mjs") + " " + shell_quote(ours.path()) + " " +
                                  shell_quote(file));
    EXPECT_EQ(compared.status, 0) << compared.output;
    EXPECT_NE(compared.output.find("agree:"), std::string::npos) << compared.output;
  }
}

TEST(jet_readers, user_tables_and_row_counts_match_mdbtools) {
  auto files = access_sample_files();
  if (files.empty()) GTEST_SKIP() << "no Access sample files under " << DMW_SHARED_DIR;
  if (!have_program("mdb-tables") || !have_program("mdb-count")) GTEST_SKIP() << "mdbtools is not installed";
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    command_result listed = run("mdb-tables -1 " + shell_quote(file));
    ASSERT_EQ(listed.status, 0) << listed.output;
    std::set<std::string> theirs;
    std::istringstream lines(listed.output);
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) theirs.insert(line);

    jet_database db(file, true);
    std::set<std::string> ours;
    for (const jet_catalog_entry* table : db.tables()) {
      if (table->is_system() || !table->is_local_table()) continue;
      std::string name = platform::utf16_to_utf8(table->name);
      ours.insert(name);
      jet_table_def def = db.table_def(*table);
      jet_table_cursor cursor(db.pager(), def);
      std::vector<jet_value> row;
      size_t rows = 0;
      while (cursor.next(row)) ++rows;
      command_result counted = run("mdb-count " + shell_quote(file) + " " + shell_quote(name));
      EXPECT_EQ(std::to_string(rows) + "\n", counted.output) << name;
      EXPECT_EQ(rows, def.row_count) << name << ": rows found against the definition's count";
    }
    EXPECT_EQ(theirs, ours);
  }
}
