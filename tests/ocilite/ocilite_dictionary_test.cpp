// The dictionary the catalog reader depends on, asked with the reader's own
// statements, over a schema that uses every constraint form; and V$VERSION
// per service for release 7, 9 and 11 servers.
#include <cctype>
#include <cstdio>
#include <regex>
#include <sstream>

#include "oci_fixture.h"

namespace {

const char* const company_script = R"(
CREATE TABLE DEPT (
  DEPTNO NUMBER(2) CONSTRAINT PK_DEPT PRIMARY KEY,
  DNAME VARCHAR2(14) NOT NULL CONSTRAINT UQ_DNAME UNIQUE,
  LOC VARCHAR2(13),
  FLAG CHAR(1) DEFAULT 'N' NOT NULL,
  NOTE VARCHAR2(20) DEFAULT 'it''s',
  CREATED DATE DEFAULT SYSDATE,
  BUDGET NUMBER DEFAULT 0 CONSTRAINT CK_BUDGET CHECK (BUDGET >= 0)
);
CREATE TABLE PROJECT (
  DEPTNO NUMBER(2),
  PROJNO NUMBER(4),
  TITLE NVARCHAR2(20),
  PRIMARY KEY (DEPTNO, PROJNO),
  CONSTRAINT FK_PROJ_DEPT FOREIGN KEY (DEPTNO) REFERENCES DEPT ON DELETE CASCADE
);
CREATE TABLE ASSIGNMENT (
  EMPNO NUMBER(4) CONSTRAINT NN_EMPNO NOT NULL,
  DEPTNO NUMBER(2),
  PROJNO NUMBER(4),
  HOURS NUMBER(5,1) CHECK (HOURS BETWEEN 0 AND 80),
  CONSTRAINT FK_ASSIGN_PROJ FOREIGN KEY (DEPTNO, PROJNO) REFERENCES PROJECT (DEPTNO, PROJNO) ON DELETE SET NULL,
  UNIQUE (EMPNO, PROJNO)
);
CREATE TABLE AUDIT_LOG (ID NUMBER REFERENCES DEPT (DEPTNO), TEXT VARCHAR2(10));
CREATE INDEX IX_ASSIGN_HOURS ON ASSIGNMENT (HOURS, EMPNO);
CREATE UNIQUE INDEX UX_PROJECT_TITLE ON PROJECT (TITLE);
CREATE VIEW BIG_PROJECTS AS SELECT P.TITLE, D.DNAME FROM PROJECT P, DEPT D WHERE P.DEPTNO = D.DEPTNO;
CREATE TABLE "O'Brien" ("lower" NUMBER);
INSERT INTO DEPT (DEPTNO, DNAME) VALUES (10, 'ACCOUNTING');
INSERT INTO PROJECT VALUES (10, 1, 'Ledger');
)";

using rows = std::vector<std::vector<std::string>>;

std::string index_query(const std::string& table, bool release_8) {
  return std::string("SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name "
                     "FROM user_ind_columns, user_indexes where user_ind_columns.table_name = '") +
         table + "' AND " + (release_8 ? "user_indexes.generated='N' AND " : "") +
         "user_ind_columns.index_name = user_indexes.index_name AND user_ind_columns.table_name = "
         "user_indexes.table_name ORDER BY user_indexes.index_name, user_ind_columns.column_position";
}

std::string key_query(const std::string& table) {
  return "SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b WHERE "
         "a.table_name='" + table + "' AND a.constraint_name=b.constraint_name AND b.constraint_type='P' "
         "ORDER BY a.constraint_name, a.position";
}

std::string foreign_key_query(const std::string& key) {
  return "select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM USER_CONSTRAINTS a, "
         "USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and "
         "a.R_CONSTRAINT_NAME='" + key + "'";
}

const std::regex generated_name("SYS_C[0-9]{7}");

class dictionary_test : public ocilite_test {
 protected:
  void SetUp() override {
    ocilite_test::SetUp();
    load(company_script);
    connect();
  }
  rows q(const std::string& sql) { return query_text(*client, sql); }
};

TEST_F(dictionary_test, TableListsOfBothReleasesShowOnlyTheUsersTables) {
  rows expected = {{"DEPT", "<null>"}, {"PROJECT", "<null>"}, {"ASSIGNMENT", "<null>"},
                   {"AUDIT_LOG", "<null>"}, {"O'Brien", "<null>"}};
  EXPECT_EQ(q("select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and NESTED='NO' and IOT_TYPE IS "
              "NULL OR IOT_TYPE='IOT'"),
            expected);
  EXPECT_EQ(q("select TABLE_NAME from user_tables").size(), 5u);
}

TEST_F(dictionary_test, ColumnsDefaultsAndTypesAsTheDictionaryKeepsThem) {
  EXPECT_EQ(q("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = 'DEPT'"), (rows{{"7"}}));
  rows defaults = q("select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = 'DEPT'");
  EXPECT_EQ(defaults, (rows{{"DEPTNO", "<null>", "NUMBER"},
                            {"DNAME", "<null>", "VARCHAR2"},
                            {"LOC", "<null>", "VARCHAR2"},
                            {"FLAG", "'N'", "CHAR"},
                            {"NOTE", "'it''s'", "VARCHAR2"},
                            {"CREATED", "SYSDATE", "DATE"},
                            {"BUDGET", "0", "NUMBER"}}));
  oci_stmt stmt(*client);
  stmt.open("select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = 'DEPT'");
  EXPECT_EQ(describe(*client, stmt.param(2)).type, SQLT_LNG);  // DATA_DEFAULT is a LONG
  EXPECT_EQ(q("SELECT COLUMN_ID, NULLABLE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, CHAR_LENGTH FROM "
              "USER_TAB_COLUMNS WHERE TABLE_NAME = 'DEPT' ORDER BY COLUMN_ID"),
            (rows{{"1", "N", "22", "2", "0", "0"},
                  {"2", "N", "14", "<null>", "<null>", "14"},
                  {"3", "Y", "13", "<null>", "<null>", "13"},
                  {"4", "N", "1", "<null>", "<null>", "1"},
                  {"5", "Y", "20", "<null>", "<null>", "20"},
                  {"6", "Y", "7", "<null>", "<null>", "0"},
                  {"7", "Y", "22", "<null>", "<null>", "0"}}));
  EXPECT_EQ(q("SELECT DATA_TYPE, DATA_LENGTH, CHAR_LENGTH FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'PROJECT' "
              "AND COLUMN_NAME = 'TITLE'"),
            (rows{{"NVARCHAR2", "40", "20"}}));
}

TEST_F(dictionary_test, PrimaryKeysNamedAndGenerated) {
  EXPECT_EQ(q(key_query("DEPT")), (rows{{"PK_DEPT", "DEPTNO"}}));
  rows composite = q(key_query("PROJECT"));
  ASSERT_EQ(composite.size(), 2u);
  EXPECT_TRUE(std::regex_match(composite[0][0], generated_name)) << composite[0][0];
  EXPECT_EQ(composite[0][0], composite[1][0]);
  EXPECT_EQ(composite[0][1], "DEPTNO");
  EXPECT_EQ(composite[1][1], "PROJNO");
  EXPECT_TRUE(q(key_query("ASSIGNMENT")).empty());
}

TEST_F(dictionary_test, IndexesCarryConstraintNamesAndGeneratedOnesAreHiddenFromRelease8Query) {
  EXPECT_EQ(q(index_query("DEPT", true)), (rows{{"PK_DEPT", "UNIQUE", "DEPTNO"}, {"UQ_DNAME", "UNIQUE", "DNAME"}}));
  EXPECT_EQ(q(index_query("ASSIGNMENT", true)),
            (rows{{"IX_ASSIGN_HOURS", "NONUNIQUE", "HOURS"}, {"IX_ASSIGN_HOURS", "NONUNIQUE", "EMPNO"}}));
  EXPECT_EQ(q(index_query("PROJECT", true)), (rows{{"UX_PROJECT_TITLE", "UNIQUE", "TITLE"}}));
  // Release 7's statement has no "generated" condition: the key's own index shows.
  rows all = q(index_query("PROJECT", false));
  ASSERT_EQ(all.size(), 3u);
  EXPECT_TRUE(std::regex_match(all[0][0], generated_name));
  EXPECT_EQ(all[0][0], q(key_query("PROJECT"))[0][0]);
}

TEST_F(dictionary_test, ForeignKeysFromTheReferencedSideWithDeleteRules) {
  EXPECT_EQ(q("select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME='PK_DEPT' and CONSTRAINT_TYPE='R'"),
            (rows{{"2"}}));
  rows dept = q(foreign_key_query("PK_DEPT"));
  ASSERT_EQ(dept.size(), 2u);
  EXPECT_EQ(dept[0], (std::vector<std::string>{"PROJECT", "FK_PROJ_DEPT", "CASCADE", "DEPTNO"}));
  EXPECT_EQ(dept[1][0], "AUDIT_LOG");
  EXPECT_TRUE(std::regex_match(dept[1][1], generated_name));
  EXPECT_EQ(dept[1][2], "NO ACTION");
  std::string project_key = q(key_query("PROJECT"))[0][0];
  EXPECT_EQ(q(foreign_key_query(project_key)),
            (rows{{"ASSIGNMENT", "FK_ASSIGN_PROJ", "SET NULL", "DEPTNO"},
                  {"ASSIGNMENT", "FK_ASSIGN_PROJ", "SET NULL", "PROJNO"}}));
  EXPECT_EQ(q("select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME='UQ_DNAME' and CONSTRAINT_TYPE='R'"),
            (rows{{"0"}}));
}

TEST_F(dictionary_test, NotNullAndCheckConstraints) {
  rows checks = q("SELECT CONSTRAINT_NAME, SEARCH_CONDITION, GENERATED FROM USER_CONSTRAINTS WHERE "
                  "CONSTRAINT_TYPE = 'C' AND TABLE_NAME = 'ASSIGNMENT'");
  ASSERT_EQ(checks.size(), 2u);
  EXPECT_EQ(checks[0], (std::vector<std::string>{"NN_EMPNO", "\"EMPNO\" IS NOT NULL", "USER NAME"}));
  EXPECT_TRUE(std::regex_match(checks[1][0], generated_name));
  EXPECT_EQ(checks[1][1], "HOURS BETWEEN 0 AND 80");
  EXPECT_EQ(checks[1][2], "GENERATED NAME");
  EXPECT_EQ(q("SELECT COUNT(*) FROM USER_CONSTRAINTS WHERE TABLE_NAME = 'DEPT' AND CONSTRAINT_TYPE = 'C'"),
            (rows{{"3"}}));  // DNAME and FLAG NOT NULL, CK_BUDGET
  EXPECT_EQ(q("SELECT POSITION FROM USER_CONS_COLUMNS WHERE CONSTRAINT_NAME = 'NN_EMPNO'"), (rows{{"<null>"}}));
}

TEST_F(dictionary_test, QuotedNamesAndOwnTablesStayOutOfSight) {
  EXPECT_EQ(q("SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'O''Brien'"), (rows{{"lower"}}));
  EXPECT_TRUE(q("SELECT TABLE_NAME FROM USER_TABLES WHERE TABLE_NAME LIKE 'OCILITE%'").empty());
  EXPECT_TRUE(q("SELECT TABLE_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME LIKE 'OCILITE%'").empty());
  // A view is no table, but its columns are in the dictionary and it can be queried.
  EXPECT_EQ(q("SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = 'BIG_PROJECTS'"), (rows{{"0"}}));
  EXPECT_EQ(q("SELECT COUNT(*) FROM (SELECT * FROM BIG_PROJECTS)"), (rows{{"1"}}));
  EXPECT_EQ(q("SELECT * FROM BIG_PROJECTS"), (rows{{"Ledger", "ACCOUNTING"}}));
}

TEST_F(dictionary_test, UserQueriesWithOracleFunctionsAndDual) {
  EXPECT_EQ(q("SELECT NVL(LOC, 'none'), DECODE(DEPTNO, 10, 'ten', 'other'), UPPER('zürich'), LOWER('ÀB'), "
              "SUBSTR(DNAME, 2, 3), TO_CHAR(DEPTNO), TO_NUMBER('12.50') + 1, TRUNC(12.789, 1), ROUND(2.5) "
              "FROM DEPT"),
            (rows{{"none", "ten", "ZÜRICH", "àb", "CCO", "10", "13.5", "12.7", "3"}}));
  EXPECT_EQ(q("SELECT TO_CHAR(TO_DATE('2010-01-01', 'YYYY-MM-DD'), 'DD.MM.YYYY'), 1 + 1 FROM DUAL"),
            (rows{{"01.01.2010", "2"}}));
  EXPECT_EQ(q("SELECT DNAME FROM DEPT MINUS SELECT DNAME FROM DEPT WHERE DEPTNO != 10"), (rows{{"ACCOUNTING"}}));
  EXPECT_EQ(q("SELECT TO_CHAR(1234.5, '9,999.99'), TO_CHAR(0.5, '9.99'), TO_CHAR(-12.34, '999.9'), "
              "TO_CHAR(12.5, 'FM9999.99'), TO_CHAR(12345, '999'), TO_CHAR(7, '$000') FROM DUAL"),
            (rows{{" 1,234.50", "  .50", " -12.3", "12.5", "####", " $007"}}));
  EXPECT_EQ(q("SELECT COUNT(*) FROM DEPT WHERE DNAME LIKE 'acc%'"), (rows{{"0"}}));  // LIKE is case-sensitive
  EXPECT_EQ(q("SELECT COUNT(*) FROM DEPT WHERE DNAME LIKE 'ACC%'"), (rows{{"1"}}));
}

// The system's reading of the banner: the first word starting with a digit
// that holds three dotted numbers.
int version_of(const std::string& banner) {
  std::istringstream words(banner);
  std::string word;
  while (words >> word) {
    int major = 0, minor = 0, patch = 0;
    if (isdigit((unsigned char)word[0]) && sscanf(word.c_str(), "%d.%d.%d", &major, &minor, &patch) == 3)
      return major * 65536 + minor * 256 + patch;
  }
  return 0;
}

TEST(version_test, BannerPerServiceForReleases7To11) {
  ocilite_home home;
  home.make_current();
  const std::pair<const char*, const char*> services[] = {
      {"V7", "Oracle7 Server Release 7.3.4.0.0 - Production"},
      {"V9", "Oracle9i Enterprise Edition Release 9.2.0.1.0 - Production\nPL/SQL Release 9.2.0.1.0 - Production"},
      {"V11", nullptr}};
  const int expected[] = {0x070304, 0x090200, 0x0B0200};
  for (int i = 0; i < 3; ++i) {
    home.create_user(services[i].first, "SCOTT", "tiger");
    if (services[i].second) home.write(std::string(services[i].first) + "/banner", services[i].second);
    oci_client client;
    ASSERT_EQ(client.logon(std::string("//localhost:1521/") + services[i].first, "scott", "tiger"), OCI_SUCCESS);
    oci_stmt stmt(client);
    ASSERT_EQ(stmt.prepare("select * from v$version"), OCI_SUCCESS);
    std::vector<char16_t> buffer(0x20000 / 2);
    OCIDefine* define = nullptr;
    ASSERT_EQ(client.api().define_by_pos(stmt.handle, &define, client.err, 1, buffer.data(), 0x20000, SQLT_STR,
                                         nullptr, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(stmt.execute(1), OCI_SUCCESS);
    std::string banner = utf8(buffer.data());
    if (i == 2) {
      EXPECT_EQ(banner, "Oracle Database 11g Release 11.2.0.1.0 - 64bit Production");
    }
    EXPECT_EQ(version_of(banner), expected[i]) << banner;
  }
}

}  // namespace
