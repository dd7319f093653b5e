// Oracle names Access refuses: longer than 64 characters, holding a control
// character, or equal to another without regard to case. The agent converts
// such tables, columns and queries under names it makes, and the file is read
// back through the DAO layer to see that nothing was lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "DAO/dao_engi.h"
#include "DAO/dao_idl.h"
#include "agent_run.h"
#include "ocilite_schema.h"
#include "jet/dao/register.h"
#include "platform/codepage.h"
#include "platform/collate.h"
#include "platform/com.h"

namespace fs = std::filesystem;

namespace {

const std::string kLong70 = "TABLE_NAMED_AT_LENGTH_SEVENTY_" + std::string(40, 'X');
const std::string kColumn70 = "COLUMN_NAMED_AT_LENGTH_SEVENTY_" + std::string(39, 'C');
const std::string kQuery70 = "QUERY_NAMED_AT_LENGTH_SEVENTY_" + std::string(40, 'Q');

// Each table holds one row whose first value says which Oracle table it was.
const std::string kSchema =
    "CREATE TABLE " + kLong70 + " (ID NUMBER(4));\n"
    "INSERT INTO " + kLong70 + " VALUES (1);\n"
    "CREATE TABLE \"Mixed\" (ID NUMBER(4));\n"
    "INSERT INTO \"Mixed\" VALUES (2);\n"
    "CREATE TABLE MIXED (ID NUMBER(4));\n"
    "INSERT INTO MIXED VALUES (3);\n"
    "CREATE TABLE \"Tab\there\" (ID NUMBER(4));\n"
    "INSERT INTO \"Tab\there\" VALUES (4);\n"
    "CREATE TABLE WIDE (ID NUMBER(4), " + kColumn70 + " NUMBER(4));\n"
    "INSERT INTO WIDE VALUES (5, 50);\n"
    "CREATE TABLE PAIR (ID NUMBER(4), \"Val\" NUMBER(4), VAL NUMBER(4));\n"
    "INSERT INTO PAIR VALUES (6, 60, 61);\n";

// One converted table as the DAO layer reads it back.
struct read_table {
  std::u16string name;
  std::vector<std::u16string> fields;
  std::vector<std::vector<std::string>> rows;
};

bool acceptable_to_access(const std::u16string& name) {
  return !name.empty() && name.size() <= 64 &&
         std::none_of(name.begin(), name.end(), [](char16_t c) { return c < 0x20; });
}

// The names are Access's: acceptable, and none equal to another ignoring case.
void expect_access_names(const std::vector<std::u16string>& names, const std::string& what) {
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_TRUE(acceptable_to_access(names[i])) << what << " " << platform::utf16_to_utf8(names[i]);
    for (size_t k = i + 1; k < names.size(); ++k)
      EXPECT_FALSE(platform::equal_ignore_case(names[i], names[k]))
          << what << " " << platform::utf16_to_utf8(names[i]) << " and " << platform::utf16_to_utf8(names[k]);
  }
}

class AgentNames : public ::testing::Test {
 protected:
  void SetUp() override {
    make_ocilite_schema(folder, kSchema, env);
    jet_register_dao_engine();
  }
  void TearDown() override { com_unregister_class(CLSID_DBEngine36); }

  // Every table of the file, keyed by the first value of its first row.
  std::map<std::string, read_table> read_back(const std::string& file) {
    std::map<std::string, read_table> tables;
    dao_engine engine(false);
    engine.set_version(dao_engine::access_2000);
    std::unique_ptr<udb_database> db =
        engine.open_db(platform::utf8_to_utf16((folder / file).string()), dao_engine::mode_opened, u"");
    EXPECT_NE(db, nullptr);
    if (!db) return tables;
    for (const std::u16string& name : db->table_names()) {
      std::unique_ptr<udb_recordset> set = db->get_table(name, 1);
      if (!set) continue;  // a system table
      read_table table{name, {}, {}};
      for (size_t i = 0; i < set->schema().size(); ++i) table.fields.push_back(set->schema()[i].name);
      for (set->rewind(); !set->is_eof(); set->next()) {
        udb_record* record = set->get_item();
        std::vector<std::string> row;
        for (size_t i = 0; i < record->size(); ++i) row.push_back((*record)[i].to_string());
        table.rows.push_back(row);
      }
      const std::string key = table.rows.empty() || table.rows[0].empty() ? "" : table.rows[0][0];
      EXPECT_TRUE(tables.emplace(key, table).second) << "two tables hold " << key;
    }
    return tables;
  }

  scratch_folder folder;
  std::vector<std::string> env;
};

using rows = std::vector<std::vector<std::string>>;

}  // namespace

TEST_F(AgentNames, TablesWithNamesAccessRefusesConvertUnderNamesOfTheirOwn) {
  const agent_run r = run_agent({"--dest=out", "--acc_ver=1", "--src=DB", "--oraclu=scott", "--oraclp=tiger"},
                                folder.path(), env);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("Converting database DB(6 tables)\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("3125"), std::string::npos) << r.out;

  std::map<std::string, read_table> tables = read_back("out.mdb");
  ASSERT_EQ(tables.size(), 6u);
  std::vector<std::u16string> names;
  for (const auto& [id, table] : tables) {
    names.push_back(table.name);
    expect_access_names(table.fields, "in " + id + ":");
  }
  expect_access_names(names, "table");
  // A long name is cut, not replaced: its beginning still says which table it was.
  EXPECT_EQ(platform::utf16_to_utf8(tables["1"].name).substr(0, 40), kLong70.substr(0, 40));
  // Of the two that differ only in case, one keeps its name.
  EXPECT_TRUE(tables["2"].name == u"Mixed" || tables["3"].name == u"MIXED")
      << platform::utf16_to_utf8(tables["2"].name) << " " << platform::utf16_to_utf8(tables["3"].name);
  EXPECT_EQ(tables["4"].rows, (rows{{"4"}}));

  // Columns: every value arrives, under names Access takes.
  EXPECT_EQ(tables["5"].name, u"WIDE");
  EXPECT_EQ(tables["5"].rows, (rows{{"5", "50"}}));
  ASSERT_EQ(tables["5"].fields.size(), 2u);
  EXPECT_EQ(platform::utf16_to_utf8(tables["5"].fields[1]).substr(0, 40), kColumn70.substr(0, 40));
  EXPECT_EQ(tables["6"].name, u"PAIR");
  EXPECT_EQ(tables["6"].rows, (rows{{"6", "60", "61"}}));
  ASSERT_EQ(tables["6"].fields.size(), 3u);
  EXPECT_TRUE(tables["6"].fields[1] == u"Val" || tables["6"].fields[2] == u"VAL");
}

TEST_F(AgentNames, UserQueryWithALongNameConvertsUnderAShorterOne) {
  folder.write("run.dmw",
               "[Generic settings]\r\ndest=" + (folder / "queried.mdb").string() + "\r\nsrc=DB\r\n\r\n"
               "[MS Access settings]\r\ndestination format=1\r\n\r\n"
               "[Oracle settings]\r\nhost=localhost\r\npassword=tiger\r\nuser=SCOTT\r\n\r\n"
               "[Selected Tables]\r\n" + kQuery70 + "=select ID, \"Val\" from PAIR\r\n\r\n");
  fs::permissions(folder / "run.dmw", fs::perms::owner_read | fs::perms::owner_write);  // it holds a password
  const agent_run r = run_agent({"--profile=run.dmw"}, folder.path(), env);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("Converting table " + kQuery70 + "(1 records)\n"), std::string::npos) << r.out;

  std::map<std::string, read_table> tables = read_back("queried.mdb");
  ASSERT_EQ(tables.size(), 1u);
  const read_table& query = tables["6"];
  expect_access_names({query.name}, "query");
  EXPECT_EQ(platform::utf16_to_utf8(query.name).substr(0, 40), kQuery70.substr(0, 40));
  EXPECT_EQ(query.fields, (std::vector<std::u16string>{u"ID", u"Val"}));
  EXPECT_EQ(query.rows, (rows{{"6", "60"}}));
}
