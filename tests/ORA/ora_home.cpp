#include "tests/ORA/ora_home.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

std::string shell_quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

ora_test_home::ora_test_home() {
  char pattern[] = "/tmp/dmw-ora-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  EXPECT_NE(made, nullptr);
  path_ = made ? made : "";
}

ora_test_home::~ora_test_home() {
  if (path_.rfind("/tmp/dmw-ora-test-", 0) == 0) std::system(("rm -rf " + shell_quote(path_)).c_str());
}

void ora_test_home::write(const std::string& relative, const std::string& text) const {
  std::ofstream out(path_ + "/" + relative, std::ios::binary);
  out << text;
}

int ora_test_home::tool(const std::vector<std::string>& args, std::string& errors) const {
  std::string command = shell_quote(OCILITE_TOOL);
  for (const std::string& a : args) command += " " + shell_quote(a);
  std::string error_file = path_ + "/.errors";
  command += " 2>" + shell_quote(error_file) + " >/dev/null";
  int status = std::system(command.c_str());
  std::ifstream in(error_file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  errors = text.str();
  std::remove(error_file.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ora_test_home::create_user(const std::string& service, const std::string& user,
                                const std::string& password) const {
  std::string errors;
  ASSERT_EQ(tool({"create-user", path_, service, user, password}, errors), 0) << errors;
}

void ora_test_home::load(const std::string& service, const std::string& user, const std::string& script) const {
  std::string file = path_ + "/.script.sql";
  write(".script.sql", script);
  std::string errors;
  int status = tool({"run", path_, service, user, file}, errors);
  std::remove(file.c_str());
  ASSERT_EQ(status, 0) << errors;
}

void ora_test_home::make_current() const {
  setenv("OCILITE_HOME", path_.c_str(), 1);
  setenv("DMW_OCI_LIBRARY", OCILITE_LIBRARY, 1);
}

void ora_source_test::SetUp() {
  home.create_user("DB", "SCOTT", "tiger");
  home.make_current();
  engine = std::make_unique<ora_engine>();
}

void ora_source_test::TearDown() {
  db.reset();
  engine.reset();
}

void ora_source_test::open(const std::string& script) {
  db.reset();
  home.load("DB", "SCOTT", script);
  db = engine->open_db(u"localhost", u"scott", u"tiger", u"1521", u"DB");
}

std::unique_ptr<ora_table> open_table(ora_database& db, const std::u16string& name) {
  std::unique_ptr<udb_recordset> opened = db.get_table(name, 1);
  return std::unique_ptr<ora_table>(static_cast<ora_table*>(opened.release()));
}

std::vector<std::vector<std::u16string>> read_all(udb_recordset& rows) {
  std::vector<std::vector<std::u16string>> out;
  while (!rows.is_eof()) {
    udb_record* record = rows.get_item();
    EXPECT_NE(record, nullptr);
    if (!record) break;
    std::vector<std::u16string> cells;
    for (size_t i = 0; i < record->size(); ++i) {
      const udb_field& f = (*record)[i];
      cells.push_back(f.get_type() == VT_EMPTY ? u"<null>" : f.to_wstring());
    }
    out.push_back(cells);
    rows.next();
  }
  return out;
}
