#pragma once
// Test support: a temporary OCILITE_HOME built with the ocilite tool, the
// built libocilite.so chosen as the Oracle client, and a test base that owns
// the engine and the source database opened over one schema.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_db.h"
#include "ORA/ora_engi.h"
#include "ORA/ora_tab.h"

class ora_test_home {
 public:
  ora_test_home();
  ~ora_test_home();
  ora_test_home(const ora_test_home&) = delete;
  ora_test_home& operator=(const ora_test_home&) = delete;

  const std::string& path() const { return path_; }
  void write(const std::string& relative, const std::string& text) const;
  void create_user(const std::string& service, const std::string& user, const std::string& password) const;
  // Runs a script as the user; the tool's errors fail the test.
  void load(const std::string& service, const std::string& user, const std::string& script) const;
  // OCILITE_HOME = this folder; the client is the built libocilite.so.
  void make_current() const;

 private:
  int tool(const std::vector<std::string>& args, std::string& errors) const;
  std::string path_;
};

// A schema DB/SCOTT/tiger loaded from a script, an engine, and the source
// database logged on to it.
class ora_source_test : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Loads the script and logs on (again).
  void open(const std::string& script);

  ora_test_home home;
  std::unique_ptr<ora_engine> engine;
  std::unique_ptr<ora_database> db;
};

// The i-th table opened with its indexes, as the conversion opens it.
std::unique_ptr<ora_table> open_table(ora_database& db, const std::u16string& name);
// All rows of a stream through the reading protocol, each cell as text;
// an empty value as "<null>".
std::vector<std::vector<std::u16string>> read_all(udb_recordset& rows);
