#pragma once
// What the end-to-end tests share: Oracle schemas served by ocilite, runs of
// the agent against them, and the Access file read back by mdb-reader,
// mdbtools and jetutil.
#include <filesystem>
#include <string>
#include <vector>

#include "agent_run.h"

// The output and exit code of a shell command.
struct shell_result {
  std::string out;
  int exit_code = -1;
};
shell_result shell(const std::string& command);
std::string quoted(const std::string& text);  // for the shell, in single quotes

// Why the independent readers cannot run here, or empty when they can.
std::string readers_missing();

// An ocilite home with one user (service DB, user SCOTT, password tiger)
// whose schema is the given script; or the demo home of the build.
class oracle_home {
 public:
  oracle_home(const scratch_folder& folder, const std::string& name, const std::string& script);
  static oracle_home demo();
  const std::string& service() const { return service_; }
  const std::string& user() const { return user_; }
  // Runs the agent over this home: the source options are added to args.
  agent_run convert(const scratch_folder& folder, std::vector<std::string> args) const;
  std::vector<std::string> environment() const;

 private:
  oracle_home(std::filesystem::path home, std::string service, std::string user, std::string password)
      : home_(std::move(home)), service_(std::move(service)), user_(std::move(user)), password_(std::move(password)) {}
  std::filesystem::path home_;
  std::string service_, user_, password_;
};

// The lines mdb-reader gives for the file (see mdb_dump.mjs), for all user
// tables or only the listed ones.
std::vector<std::string> mdb_reader_facts(const std::filesystem::path& file,
                                          const std::vector<std::string>& tables = {});
// Only the "row " lines of one table, without their prefix.
std::vector<std::string> mdb_reader_rows(const std::filesystem::path& file, const std::string& table);
// mdbtools' view: user table names, and the index statements of its MySQL schema.
std::vector<std::string> mdbtools_tables(const std::filesystem::path& file);
std::vector<std::string> mdbtools_indexes(const std::filesystem::path& file);
// Data lines (without the header) mdb-export gives for a table.
size_t mdbtools_row_count(const std::filesystem::path& file, const std::string& table);

std::vector<std::string> split_lines(const std::string& text);
std::string join(const std::vector<std::string>& parts, const std::string& separator);
// "COLUMN=DEFAULT" for each column of the table with a default, from mdb-prop.
std::vector<std::string> mdbtools_defaults(const std::filesystem::path& file, const std::string& table);
