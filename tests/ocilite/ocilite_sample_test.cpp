// The sample schema the build loads as the demo: it must load, and carry
// what it promises (every type, LOBs over 64 KB, keys, indexes, a view).
#include <fstream>
#include <sstream>

#include "oci_fixture.h"

namespace {

using rows = std::vector<std::vector<std::string>>;

class sample_test : public ocilite_test {
 protected:
  void SetUp() override {
    ocilite_test::SetUp();
    std::ifstream in(std::string(DMW_SOURCE_DIR) + "/ocilite/sample/demo.sql", std::ios::binary);
    ASSERT_TRUE(in) << "sample script missing";
    std::stringstream text;
    text << in.rdbuf();
    load(text.str());
    connect();
  }
  rows q(const std::string& sql) { return query_text(*client, sql); }
};

TEST_F(sample_test, TablesKeysAndIndexes) {
  EXPECT_EQ(q("select TABLE_NAME from user_tables"),
            (rows{{"DEPARTMENTS"}, {"EMPLOYEES"}, {"PROJECTS"}, {"ASSIGNMENTS"}, {"Office Equipment"}}));
  EXPECT_EQ(q("SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b WHERE "
              "a.table_name='ASSIGNMENTS' AND a.constraint_name=b.constraint_name AND b.constraint_type='P' "
              "ORDER BY a.constraint_name, a.position"),
            (rows{{"PK_ASSIGNMENTS", "EMP_ID"}, {"PK_ASSIGNMENTS", "DEPT_ID"}, {"PK_ASSIGNMENTS", "PROJ_NO"}}));
  EXPECT_EQ(q("select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM USER_CONSTRAINTS a, "
              "USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and "
              "a.R_CONSTRAINT_NAME='PK_PROJECTS'"),
            (rows{{"ASSIGNMENTS", "FK_ASSIGNMENTS_PROJECT", "CASCADE", "DEPT_ID"},
                  {"ASSIGNMENTS", "FK_ASSIGNMENTS_PROJECT", "CASCADE", "PROJ_NO"}}));
  EXPECT_EQ(q("SELECT INDEX_NAME, UNIQUENESS FROM USER_INDEXES WHERE GENERATED = 'N' AND TABLE_NAME = 'PROJECTS' "
              "ORDER BY INDEX_NAME"),
            (rows{{"PK_PROJECTS", "UNIQUE"}, {"UX_PROJECTS_TITLE", "UNIQUE"}}));
  EXPECT_EQ(q("SELECT COUNT(*) FROM USER_INDEXES WHERE UNIQUENESS = 'NONUNIQUE'"), (rows{{"2"}}));
}

TEST_F(sample_test, ValuesDefaultsLobsAndTheView) {
  EXPECT_EQ(q("SELECT NOTES, ACTIVE FROM EMPLOYEES WHERE EMP_ID = 7566"), (rows{{"it's new", "Y"}}));
  EXPECT_EQ(q("SELECT ROLE FROM ASSIGNMENTS WHERE EMP_ID = 7698 AND PROJ_NO = 1"), (rows{{"member"}}));
  EXPECT_EQ(q("SELECT LAST_NAME, INITIALS FROM EMPLOYEES WHERE EMP_ID = 7698"), (rows{{"Παπαδοπούλου", "ΕΠ "}}));
  EXPECT_EQ(q("SELECT \"Description\", PRICE FROM \"Office Equipment\" ORDER BY \"Item Id\""),
            (rows{{"Laptop “Falcon”", "1499.99"}, {"<null>", "<null>"}}));
  // LOB sizes as stored: 70,000 bytes of logo, 70,000 characters of plan text.
  EXPECT_EQ(q("SELECT LENGTH(PLAN_TEXT) FROM PROJECTS WHERE PROJ_NO = 1 AND DEPT_ID = 20"), (rows{{"70000"}}));
  EXPECT_EQ(q("SELECT LENGTH(LOGO) FROM DEPARTMENTS WHERE DEPT_ID = 10"), (rows{{"70000"}}));
  EXPECT_EQ(q("SELECT COUNT(*) FROM (SELECT * FROM PROJECT_STAFF)"), (rows{{"4"}}));
  EXPECT_EQ(q("SELECT TITLE, LAST_NAME FROM PROJECT_STAFF WHERE ROLE = 'lead'"), (rows{{"Ledger 2.0", "Müller"}}));
}

}  // namespace
