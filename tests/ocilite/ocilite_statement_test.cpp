// Statements through the binding: parse-only checks of good and bad SQL,
// DML with Oracle's constraint errors, and misuse that must end in an
// ORA- error rather than a crash.
#include "oci_fixture.h"

namespace {

class statement_test : public ocilite_test {
 protected:
  void SetUp() override {
    ocilite_test::SetUp();
    load("CREATE TABLE DEPT (DEPTNO NUMBER(2) CONSTRAINT PK_DEPT PRIMARY KEY, DNAME VARCHAR2(14) NOT NULL);"
         "CREATE TABLE EMP (EMPNO NUMBER(4) PRIMARY KEY, DEPTNO NUMBER(2) CONSTRAINT FK_EMP_DEPT REFERENCES DEPT);"
         "INSERT INTO DEPT VALUES (10, 'ACCOUNTING');");
    connect();
  }
  // Status of a statement prepared and executed with the given iterations and mode.
  sword run(const std::string& sql, ub4 iters, ub4 mode = OCI_DEFAULT) {
    oci_stmt stmt(*client);
    EXPECT_EQ(stmt.prepare(sql), OCI_SUCCESS);
    return stmt.execute(iters, mode);
  }
  std::string parse_error(const std::string& sql) {
    EXPECT_EQ(run(sql, 1, OCI_PARSE_ONLY), OCI_ERROR) << sql;
    return client->last_error().text;
  }
  std::string count(const std::string& table) {
    return query_text(*client, "SELECT COUNT(*) FROM " + table)[0][0];
  }
};

TEST_F(statement_test, ParseOnlyAcceptsGoodSqlWithoutRunningIt) {
  EXPECT_EQ(run("SELECT DEPTNO, NVL(DNAME, 'x') FROM DEPT WHERE DEPTNO > 5 ORDER BY 1", 1, OCI_PARSE_ONLY), OCI_SUCCESS);
  EXPECT_EQ(run("INSERT INTO DEPT VALUES (20, 'RESEARCH')", 1, OCI_PARSE_ONLY), OCI_SUCCESS);
  EXPECT_EQ(count("DEPT"), "1");
  EXPECT_EQ(run("CREATE TABLE LATER (A NUMBER)", 1, OCI_PARSE_ONLY), OCI_SUCCESS);
  EXPECT_TRUE(query_text(*client, "SELECT TABLE_NAME FROM USER_TABLES WHERE TABLE_NAME = 'LATER'").empty());
}

TEST_F(statement_test, ParseOnlyReportsOracleErrorsForBadSql) {
  EXPECT_EQ(parse_error("SELECT * FROM NOWHERE"), "ORA-00942: table or view does not exist");
  EXPECT_EQ(parse_error("SELECT NOPE FROM DEPT"), "ORA-00904: \"NOPE\": invalid identifier");
  EXPECT_EQ(parse_error("SELECT D.NOPE FROM DEPT D"), "ORA-00904: \"D\".\"NOPE\": invalid identifier");
  EXPECT_EQ(parse_error("SELECT FROM WHERE"), "ORA-00933: SQL command not properly ended");
  EXPECT_EQ(parse_error("SELEC * FROM DEPT"), "ORA-00900: invalid SQL statement");
  EXPECT_EQ(parse_error("SELECT 'unterminated FROM DEPT"), "ORA-01756: quoted string not properly terminated");
  EXPECT_EQ(parse_error("SELECT * FROM DEPT;"), "ORA-00911: invalid character");
  EXPECT_EQ(parse_error("SELECT FROBNICATE(DNAME) FROM DEPT"), "ORA-00904: \"FROBNICATE\": invalid identifier");
  EXPECT_EQ(parse_error("SELECT * FROM \"dept\""), "ORA-00942: table or view does not exist");
  EXPECT_EQ(parse_error("SELECT 1 FROM DEPT; DELETE FROM DEPT"), "ORA-00911: invalid character");
  EXPECT_EQ(parse_error("CREATE TABLE X (A NUMBER); DROP TABLE DEPT"), "ORA-00911: invalid character");
  EXPECT_EQ(parse_error(""), "ORA-00900: invalid SQL statement");
  EXPECT_EQ(count("DEPT"), "1");
}

TEST_F(statement_test, DmlRunsAndConstraintViolationsAreOracleErrors) {
  EXPECT_EQ(run("INSERT INTO DEPT VALUES (20, 'RESEARCH')", 1), OCI_SUCCESS);
  EXPECT_EQ(run("INSERT INTO DEPT VALUES (30, 'SALES')", 0), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-24333: zero iteration count");
  EXPECT_EQ(run("INSERT INTO DEPT VALUES (20, 'AGAIN')", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-00001: unique constraint (SCOTT.PK_DEPT) violated");
  EXPECT_EQ(run("INSERT INTO DEPT (DEPTNO) VALUES (40)", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-01400: cannot insert NULL into (\"SCOTT\".\"DEPT\".\"DNAME\")");
  EXPECT_EQ(run("INSERT INTO DEPT VALUES (50, '')", 1), OCI_ERROR);  // '' is NULL
  EXPECT_EQ(client->last_error().number, 1400);
  EXPECT_EQ(run("INSERT INTO EMP VALUES (7369, 99)", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-02291: integrity constraint (SCOTT.FK_EMP_DEPT) violated - parent key not found");
  EXPECT_EQ(run("INSERT INTO EMP VALUES (7369, 20)", 1), OCI_SUCCESS);
  EXPECT_EQ(run("DELETE FROM DEPT WHERE DEPTNO = 20", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-02292: integrity constraint (SCOTT.FK_EMP_DEPT) violated - child record found");
  oci_stmt update(*client);
  ASSERT_EQ(update.prepare("UPDATE DEPT SET DNAME = LOWER(DNAME)"), OCI_SUCCESS);
  ASSERT_EQ(update.execute(1), OCI_SUCCESS);
  ub4 rows = 0;
  EXPECT_EQ(client->api().attr_get(update.handle, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, client->err), OCI_SUCCESS);
  EXPECT_EQ(rows, 2u);
  EXPECT_EQ(query_text(*client, "SELECT DNAME FROM DEPT ORDER BY DEPTNO"), (std::vector<std::vector<std::string>>{{"accounting"}, {"research"}}));
}

TEST_F(statement_test, ColumnTypesAndChecksAreEnforcedAsOracleDoes) {
  load("CREATE TABLE LIMITS (B VARCHAR2(3), C VARCHAR2(3 CHAR), R RAW(2), N NUMBER(5,2), P NUMBER(3), "
       "H NUMBER(10,-2), I INTEGER, BUDGET NUMBER CONSTRAINT CK_BUDGET CHECK (BUDGET >= 0));");
  EXPECT_EQ(run("INSERT INTO LIMITS (C) VALUES ('äöü')", 1), OCI_SUCCESS);  // three characters fit
  EXPECT_EQ(run("INSERT INTO LIMITS (B) VALUES ('äöü')", 1), OCI_ERROR);    // six bytes do not
  EXPECT_EQ(client->last_error().text.rfind("ORA-12899: value too large for column \"SCOTT\".\"LIMITS\".\"B\"", 0), 0u)
      << client->last_error().text;
  EXPECT_EQ(run("INSERT INTO LIMITS (R) VALUES (HEXTORAW('010203'))", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 12899);
  EXPECT_EQ(run("INSERT INTO LIMITS (P) VALUES (1234)", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-01438: value larger than specified precision allowed for this column");
  EXPECT_EQ(run("INSERT INTO LIMITS (BUDGET) VALUES (-1)", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-02290: check constraint (SCOTT.CK_BUDGET) violated");
  EXPECT_EQ(run("INSERT INTO LIMITS (N, P, H, I) VALUES (3.14159, 999.4, 12351, 2.5)", 1), OCI_SUCCESS)
      << client->last_error().text;
  EXPECT_EQ(query_text(*client, "SELECT N, P, H, I FROM LIMITS WHERE N IS NOT NULL"),
            (std::vector<std::vector<std::string>>{{"3.14", "999", "12400", "3"}}));
  EXPECT_EQ(run("UPDATE LIMITS SET N = 1.005 WHERE N IS NOT NULL", 1), OCI_SUCCESS);
  EXPECT_EQ(query_text(*client, "SELECT N FROM LIMITS WHERE N IS NOT NULL")[0][0], "1.01");
  EXPECT_EQ(run("INSERT INTO LIMITS (N) VALUES ('abc')", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-01722: invalid number");
  // Oracle's numbers end below 1E126: larger literals overflow instead of
  // being kept as infinity (and read back as 0).
  EXPECT_EQ(run("INSERT INTO LIMITS (BUDGET) VALUES (1E400)", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-01426: numeric overflow");
  EXPECT_EQ(run("INSERT INTO LIMITS (BUDGET) VALUES (1E126)", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 1426);
  EXPECT_EQ(run("INSERT INTO LIMITS (BUDGET) VALUES (9.99E125)", 1), OCI_SUCCESS) << client->last_error().text;
}

TEST_F(statement_test, TextWrittenToDateColumnsTakesTheDateForm) {
  load("CREATE TABLE WHEN_ (D DATE, T TIMESTAMP);");
  EXPECT_EQ(run("INSERT INTO WHEN_ VALUES ('01-JAN-10', '2010-01-01 14:05:09.5')", 1), OCI_SUCCESS)
      << client->last_error().text;
  EXPECT_EQ(run("UPDATE WHEN_ SET D = '2011-02-03 04:05:06.789'", 1), OCI_SUCCESS);
  EXPECT_EQ(query_text(*client, "SELECT TO_CHAR(D, 'YYYY-MM-DD HH24:MI:SS'), T FROM WHEN_"),
            (std::vector<std::vector<std::string>>{{"2011-02-03 04:05:06", "01-JAN-10 02.05.09.500000 PM"}}));
  EXPECT_EQ(query_text(*client, "SELECT COUNT(*) FROM WHEN_ WHERE D < DATE '2011-02-04'")[0][0], "1");
  EXPECT_EQ(run("INSERT INTO WHEN_ (D) VALUES ('yesterday')", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 1861);
  EXPECT_EQ(run("INSERT INTO WHEN_ (D) VALUES (20100101)", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 932);
}

TEST_F(statement_test, DdlThroughTheSessionUpdatesTheDictionary) {
  EXPECT_EQ(run("CREATE TABLE BONUS (ENAME VARCHAR2(10), SAL NUMBER DEFAULT 100)", 1), OCI_SUCCESS);
  EXPECT_EQ(run("INSERT INTO BONUS (ENAME) VALUES ('KING')", 1), OCI_SUCCESS);
  EXPECT_EQ(query_text(*client, "SELECT ENAME, SAL FROM BONUS"), (std::vector<std::vector<std::string>>{{"KING", "100"}}));
  EXPECT_EQ(run("CREATE TABLE BONUS (A NUMBER)", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-00955: name is already used by an existing object");
  EXPECT_EQ(run("DROP TABLE BONUS", 1), OCI_SUCCESS);
  EXPECT_TRUE(query_text(*client, "SELECT TABLE_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'BONUS'").empty());
  EXPECT_EQ(run("DROP TABLE BONUS", 1), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 942);
  EXPECT_EQ(run("CREATE VIEW NAMES AS SELECT DNAME FROM DEPT", 1), OCI_SUCCESS);
  EXPECT_EQ(run("CREATE VIEW NAMES AS SELECT DEPTNO FROM DEPT", 1), OCI_ERROR);
  EXPECT_EQ(run("CREATE OR REPLACE VIEW NAMES AS SELECT DEPTNO, DNAME FROM DEPT", 1), OCI_SUCCESS);
  EXPECT_EQ(query_text(*client, "SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'NAMES'"),
            (std::vector<std::vector<std::string>>{{"DEPTNO"}, {"DNAME"}}));
  EXPECT_EQ(run("CREATE OR REPLACE VIEW DEPT AS SELECT 1 AS X FROM DUAL", 1), OCI_ERROR);  // a table stays
  EXPECT_EQ(client->last_error().number, 955);
}

TEST_F(statement_test, MisuseEndsInOracleErrors) {
  oci_stmt stmt(*client);
  EXPECT_EQ(stmt.execute(1), OCI_ERROR);  // nothing prepared
  EXPECT_EQ(client->last_error().number, 24337);
  ASSERT_EQ(stmt.prepare("SELECT DEPTNO FROM DEPT"), OCI_SUCCESS);
  EXPECT_EQ(stmt.fetch(), OCI_ERROR);  // not executed
  EXPECT_EQ(client->last_error().number, 24338);
  ub4 count = 0;
  EXPECT_EQ(client->api().attr_get(stmt.handle, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, client->err), OCI_ERROR);
  ub2 type = 0;
  EXPECT_EQ(client->api().attr_get(stmt.handle, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, client->err), OCI_SUCCESS);
  EXPECT_EQ(type, OCI_STMT_SELECT);
  ASSERT_EQ(stmt.execute(0), OCI_SUCCESS);
  int32_t value = 0;
  sb2 indicator = 0;
  OCIDefine* d = nullptr;
  ASSERT_EQ(client->api().define_by_pos(stmt.handle, &d, client->err, 1, &value, 4, SQLT_INT, &indicator, nullptr, nullptr, 0), OCI_SUCCESS);
  EXPECT_EQ(stmt.fetch(), OCI_SUCCESS);
  EXPECT_EQ(value, 10);
  EXPECT_EQ(stmt.fetch(), OCI_NO_DATA);
  EXPECT_EQ(stmt.fetch(), OCI_NO_DATA);  // and stays at the end
  // Freeing a define after its statement moved on is harmless.
  EXPECT_EQ(client->api().handle_free(d, OCI_HTYPE_DEFINE), OCI_SUCCESS);
  EXPECT_EQ(stmt.fetch(), OCI_NO_DATA);
}

TEST_F(statement_test, MalformedStatementsEndInOracleErrorsNotCrashes) {
  const char* const statements[] = {
      "CREATE", "CREATE TABLE", "CREATE TABLE T", "CREATE TABLE T (", "CREATE TABLE T ()",
      "CREATE TABLE T (A)", "CREATE TABLE T (A NUMBER(", "CREATE TABLE T (A NUMBER(99999999999))",
      "CREATE TABLE T (A NUMBER(5,", "CREATE TABLE T (A VARCHAR2(10 WORDS))", "CREATE TABLE T (A NUMBER DEFAULT)",
      "CREATE TABLE T (A NUMBER CONSTRAINT)", "CREATE TABLE T (A NUMBER REFERENCES)",
      "CREATE TABLE T (A NUMBER, FOREIGN KEY (A) REFERENCES DEPT ON DELETE)", "CREATE TABLE T (A NUMBER CHECK ())",
      "CREATE TABLE T (A INTERVAL DAY TO)", "CREATE TABLE T (A TIMESTAMP WITH)", "CREATE INDEX", "CREATE INDEX I ON",
      "CREATE INDEX I ON DEPT", "CREATE INDEX I ON DEPT (", "CREATE UNIQUE", "CREATE VIEW", "CREATE VIEW V AS",
      "CREATE VIEW V AS SELECT * FROM NOWHERE", "CREATE OR", "DROP", "DROP TABLE", "DROP TABLE DEPT EXTRA",
      "INSERT", "INSERT INTO", "INSERT INTO DEPT VALUES", "INSERT INTO DEPT VALUES (DEFAULT",
      "INSERT INTO DEPT VALUES (1, 2, 3)", "INSERT INTO DEPT (NOPE) VALUES (1)", "UPDATE DEPT SET",
      "DELETE FROM", "SELECT", "SELECT * FROM", "SELECT * FROM DEPT WHERE", "SELECT ((1 FROM DUAL",
      "SELECT DATE 'not a date' FROM DUAL", "SELECT INTERVAL 'x' DAY TO SECOND FROM DUAL",
      "SELECT TO_DATE('31-FOO-2010', 'DD-MON-YYYY') FROM DUAL", "SELECT TO_NUMBER('12x') FROM DUAL",
      "SELECT TO_DATE('2010', 'QQ') FROM DUAL", "SELECT \"\" FROM DUAL", "SELECT \"open FROM DUAL",
      "SELECT 1 FROM DUAL WHERE 1 = 'a' || ", "SELECT DECODE(1) FROM DUAL", "SELECT # FROM DUAL",
  };
  for (const char* sql : statements) {
    oci_stmt stmt(*client);
    ASSERT_EQ(stmt.prepare(sql), OCI_SUCCESS);
    ASSERT_EQ(stmt.execute(1), OCI_ERROR) << sql;
    oci_error_record e = client->last_error();
    EXPECT_GT(e.number, 0) << sql;
    EXPECT_EQ(e.text.rfind("ORA-", 0), 0u) << sql << ": " << e.text;
  }
  // None of it changed the schema.
  EXPECT_EQ(query_text(*client, "SELECT COUNT(*) FROM USER_TABLES")[0][0], "2");
  EXPECT_EQ(count("DEPT"), "1");
}

TEST_F(statement_test, FetchReadsEveryRowOnceInOrder) {
  load("INSERT INTO DEPT VALUES (20, 'R'); INSERT INTO DEPT VALUES (30, 'S');");
  oci_stmt reader(*client);
  reader.open("SELECT DEPTNO FROM DEPT ORDER BY DEPTNO");
  int32_t value = 0;
  OCIDefine* d = nullptr;
  ASSERT_EQ(client->api().define_by_pos(reader.handle, &d, client->err, 1, &value, 4, SQLT_INT, nullptr, nullptr, nullptr, 0), OCI_SUCCESS);
  ASSERT_EQ(reader.fetch(), OCI_SUCCESS);
  EXPECT_EQ(value, 10);
  std::vector<int32_t> seen = {value};
  while (reader.fetch() == OCI_SUCCESS) seen.push_back(value);
  EXPECT_EQ(seen, (std::vector<int32_t>{10, 20, 30}));
}

}  // namespace
