#include "e2e_util.h"

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace fs = std::filesystem;

shell_result shell(const std::string& command) {
  shell_result result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::array<char, 65536> buffer;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), got);
  const int status = ::pclose(pipe);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string readers_missing() {
  if (shell("command -v node >/dev/null 2>&1").exit_code != 0) return "node is not installed";
  if (!fs::exists(fs::path(DMW_SOURCE_DIR) / "tools/readers/node_modules/mdb-reader"))
    return "mdb-reader is not installed under tools/readers (npm ci)";
  if (shell("command -v mdb-export >/dev/null 2>&1").exit_code != 0) return "mdbtools is not installed";
  return "";
}

oracle_home::oracle_home(const scratch_folder& folder, const std::string& name, const std::string& script)
    : home_(folder / name), service_("DB"), user_("SCOTT"), password_("tiger") {
  folder.write(name + ".sql", script);
  const std::string tool = quoted(OCILITE_TOOL);
  const std::string log = quoted((folder / (name + ".log")).string());
  if (shell(tool + " create-user " + quoted(home_.string()) + " DB SCOTT tiger >" + log + " 2>&1").exit_code != 0 ||
      shell(tool + " run " + quoted(home_.string()) + " DB SCOTT " + quoted((folder / (name + ".sql")).string()) +
            " >>" + log + " 2>&1").exit_code != 0)
    throw std::runtime_error("ocilite could not load " + name + ": " + read_file(folder / (name + ".log")));
}

oracle_home oracle_home::demo() { return oracle_home(DEMO_HOME, "DEMO", "SCOTT", "tiger"); }

std::vector<std::string> oracle_home::environment() const {
  return {std::string("DMW_OCI_LIBRARY=") + OCILITE_LIBRARY, "OCILITE_HOME=" + home_.string()};
}

agent_run oracle_home::convert(const scratch_folder& folder, std::vector<std::string> args) const {
  args.insert(args.end(), {"--src=" + service_, "--oraclu=" + user_, "--oraclp=" + password_});
  return run_agent(args, folder.path(), environment());
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? separator : "") + parts[i];
  return out;
}

std::vector<std::string> mdb_reader_facts(const fs::path& file, const std::vector<std::string>& tables) {
  std::string command = "node " + quoted(MDB_DUMP_SCRIPT) + " " + quoted(file.string());
  for (const std::string& t : tables) command += " " + quoted(t);
  const shell_result r = shell(command + " 2>&1");
  if (r.exit_code != 0) throw std::runtime_error("mdb-reader cannot read " + file.string() + ": " + r.out);
  return split_lines(r.out);
}

std::vector<std::string> mdb_reader_rows(const fs::path& file, const std::string& table) {
  std::vector<std::string> rows;
  for (const std::string& line : mdb_reader_facts(file, {table}))
    if (line.rfind("row ", 0) == 0) rows.push_back(line.substr(4));
  return rows;
}

std::vector<std::string> mdbtools_tables(const fs::path& file) {
  const shell_result r = shell("mdb-tables -1 " + quoted(file.string()) + " 2>&1");
  if (r.exit_code != 0) throw std::runtime_error("mdb-tables failed: " + r.out);
  std::vector<std::string> names = split_lines(r.out);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> mdbtools_indexes(const fs::path& file) {
  const shell_result r = shell("mdb-schema " + quoted(file.string()) + " mysql 2>&1");
  if (r.exit_code != 0) throw std::runtime_error("mdb-schema failed: " + r.out);
  std::vector<std::string> statements;
  for (const std::string& line : split_lines(r.out))
    if (line.rfind("ALTER TABLE", 0) == 0 || line.rfind("CREATE INDEX", 0) == 0 ||
        line.rfind("CREATE UNIQUE", 0) == 0)
      statements.push_back(line);
  // Definitions keep a table's indexes in name order; what counts is which there are.
  std::sort(statements.begin(), statements.end());
  return statements;
}

size_t mdbtools_row_count(const fs::path& file, const std::string& table) {
  // Rows of a new line each: binary and line breaks inside values are escaped.
  const shell_result r = shell("mdb-export -b hex -R '<EOR>\\n' " + quoted(file.string()) + " " + quoted(table) + " 2>&1");
  if (r.exit_code != 0) throw std::runtime_error("mdb-export failed: " + r.out);
  size_t records = 0;
  for (size_t at = r.out.find("<EOR>"); at != std::string::npos; at = r.out.find("<EOR>", at + 5)) ++records;
  return records - 1;  // the header
}

std::vector<std::string> mdbtools_defaults(const fs::path& file, const std::string& table) {
  const shell_result r = shell("mdb-prop " + quoted(file.string()) + " " + quoted(table) + " 2>&1");
  if (r.exit_code != 0) throw std::runtime_error("mdb-prop failed: " + r.out);
  std::vector<std::string> defaults;
  std::string column;
  for (const std::string& line : split_lines(r.out)) {
    if (line.rfind("name: ", 0) == 0) column = line.substr(6);
    if (line.rfind("\tDefaultValue: ", 0) == 0) defaults.push_back(column + "=" + line.substr(15));
  }
  return defaults;
}
