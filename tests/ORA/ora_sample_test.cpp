// The demonstration schema read whole, as a conversion reads it: every table
// opened with its keys, every row taken through the reading protocol.
#include <fstream>
#include <map>
#include <sstream>

#include "TK/tk_strin.h"
#include "tests/ORA/ora_home.h"

namespace {

std::string sample_script() {
  std::ifstream in(DMW_SOURCE_DIR "/ocilite/sample/demo.sql", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const udb_relationship* find_relationship(const udb_relationships& all, const std::u16string& name) {
  return all.is_acceptable_name(name) ? nullptr : &all.get_index(name);
}

}  // namespace

TEST_F(ora_source_test, TheSampleSchemaIsReadWhole) {
  std::string script = sample_script();
  if (script.empty()) GTEST_SKIP() << "no sample schema in ocilite/sample";
  open(script);
  ASSERT_EQ(db->table_names(), (std::vector<std::u16string>{u"DEPARTMENTS", u"EMPLOYEES", u"PROJECTS",
                                                            u"ASSIGNMENTS", u"Office Equipment"}));
  std::map<std::u16string, std::vector<std::vector<std::u16string>>> rows;
  for (const std::u16string& name : db->table_names()) {
    std::unique_ptr<ora_table> t = open_table(*db, name);
    ASSERT_GT(t->schema().size(), 0u) << tk_to_utf8(name);
    rows[name] = read_all(*t);
    EXPECT_EQ(rows[name].size(), static_cast<size_t>(t->record_count())) << tk_to_utf8(name);
    for (const auto& row : rows[name]) EXPECT_EQ(row.size(), t->schema().size()) << tk_to_utf8(name);
    EXPECT_FALSE(t->indexes().empty()) << tk_to_utf8(name);
    EXPECT_TRUE(t->indexes()[0].primary) << tk_to_utf8(name);
  }
  EXPECT_EQ(rows[u"DEPARTMENTS"].size(), 4u);
  EXPECT_EQ(rows[u"EMPLOYEES"].size(), 5u);
  EXPECT_EQ(rows[u"ASSIGNMENTS"].size(), 4u);
  EXPECT_EQ(rows[u"Office Equipment"].size(), 2u);
  EXPECT_EQ(rows[u"DEPARTMENTS"][0][2], u"Zürich");
  EXPECT_EQ(rows[u"DEPARTMENTS"][1][2], u"Трондхейм");

  // Every foreign key of the schema, each found from its referenced table.
  const udb_relationships& all = db->relationships();
  EXPECT_EQ(all.size(), 5u);
  const udb_relationship* staff = find_relationship(all, u"FK_ASSIGNMENTS_PROJECT");
  ASSERT_NE(staff, nullptr);
  EXPECT_EQ(staff->foreign_table, u"ASSIGNMENTS");
  EXPECT_EQ(staff->primary_table, u"PROJECTS");
  EXPECT_EQ(staff->foreign_columns, (std::vector<std::u16string>{u"DEPT_ID", u"PROJ_NO"}));
  EXPECT_EQ(staff->primary_columns, (std::vector<std::u16string>{u"DEPT_ID", u"PROJ_NO"}));
  EXPECT_EQ(staff->rule, u"ON DELETE CASCADE");
  const udb_relationship* dept = find_relationship(all, u"FK_EMPLOYEES_DEPT");
  ASSERT_NE(dept, nullptr);
  EXPECT_EQ(dept->key_name, u"PK_DEPARTMENTS");
  EXPECT_EQ(dept->rule, u"ON DELETE SET NULL");
}
