// The ocilite tool: users, schema scripts, and bad input reported with the
// statement's line and a non-zero exit, leaving the schema as it was.
#include "TK/tk_excep.h"
#include "oci_fixture.h"

namespace {

using rows = std::vector<std::vector<std::string>>;

class script_test : public ocilite_test {
 protected:
  int run_script(const std::string& script) { return home.load_status("DB", "SCOTT", script, &errors); }
  rows tables() {
    connect();
    return query_text(*client, "SELECT TABLE_NAME FROM USER_TABLES");
  }
  std::string errors;
};

TEST_F(script_test, FailingStatementGivesItsLineAndLeavesNothingBehind) {
  EXPECT_EQ(run_script("-- a comment; with a semicolon\n"
                       "CREATE TABLE A (X NUMBER);\n"
                       "INSERT INTO A VALUES (1);\n"
                       "\n"
                       "INSERT INTO\n"
                       "  NOWHERE VALUES (2);\n"
                       "CREATE TABLE B (Y NUMBER);\n"),
            1);
  EXPECT_NE(errors.find("Error at line 5:\nORA-00942: table or view does not exist"), std::string::npos) << errors;
  EXPECT_TRUE(tables().empty());
}

TEST_F(script_test, SemicolonsInLiteralsAndCommentsAndSlashLines) {
  EXPECT_EQ(run_script("CREATE TABLE T (S VARCHAR2(20)) TABLESPACE USERS PCTFREE 10; /* block; comment */\n"
                       "INSERT INTO T VALUES ('a;b'); -- trailing; comment\n"
                       "INSERT INTO T VALUES ('it''s')\n"
                       "/\n"),
            0)
      << errors;
  connect();
  EXPECT_EQ(query_text(*client, "SELECT S FROM T ORDER BY S"), (rows{{"a;b"}, {"it's"}}));
  // A UTF-8 byte-order mark at the start of the file is no part of the first statement.
  EXPECT_EQ(run_script("\xEF\xBB\xBFINSERT INTO T VALUES ('bom');"), 0) << errors;
}

TEST_F(script_test, MalformedScriptsAreRejected) {
  EXPECT_EQ(run_script("CREATE TABLE T (A NUMBER);\nINSERT INTO T VALUES ('open);\n"), 1);
  EXPECT_NE(errors.find("Error at line 2:\nORA-01756: quoted string not properly terminated"), std::string::npos) << errors;
  EXPECT_EQ(run_script("CREATE TABLE T (A NUMBER);\n\nSELECT * FROM T\n"), 1);
  EXPECT_NE(errors.find("Error at line 3:\nORA-00933"), std::string::npos) << errors;
  EXPECT_EQ(run_script("CREATE TABLE T (A NUMBER);;\n"), 1);
  EXPECT_NE(errors.find("ORA-00900"), std::string::npos) << errors;
  EXPECT_TRUE(tables().empty());
}

TEST_F(script_test, DdlErrorsAsOracleReportsThem) {
  const std::pair<const char*, const char*> cases[] = {
      {"CREATE TABLE T (A NUMBERS);", "ORA-00902: invalid datatype"},
      {"CREATE TABLE T (A VARCHAR2(5000));", "ORA-00902: invalid datatype"},
      {"CREATE TABLE T (A NUMBER, A NUMBER);", "ORA-00957: duplicate column name"},
      {"CREATE TABLE T (A NUMBER PRIMARY KEY, B NUMBER PRIMARY KEY);", "ORA-02260: table can have only one primary key"},
      {"CREATE TABLE T (A NUMBER REFERENCES NOWHERE);", "ORA-00942: table or view does not exist"},
      {"CREATE TABLE P (A NUMBER); CREATE TABLE T (A NUMBER REFERENCES P);",
       "ORA-02270: no matching unique or primary key for this column-list"},
      {"CREATE TABLE T (A NUMBER, CONSTRAINT K PRIMARY KEY (B));", "ORA-00904: \"B\": invalid identifier"},
      {"CREATE TABLE T (A NUMBER CONSTRAINT C1 NOT NULL, B NUMBER CONSTRAINT C1 NOT NULL);",
       "ORA-02264: name already used by an existing constraint"},
      {"CREATE TABLE T (A NUMBER); CREATE INDEX T ON T (A);", "ORA-00955: name is already used by an existing object"},
      {"CREATE TABLE T (A NUMBER); CREATE INDEX I ON T (B);", "ORA-00904: \"B\": invalid identifier"},
      {"CREATE SYNONYM S FOR T;", "ORA-00901: invalid CREATE command"},
      {"CREATE TABLE T (A NUMBER) GARBAGE;", "ORA-00922: missing or invalid option"},
      {"CREATE TABLE T (A DATE); INSERT INTO T VALUES (TO_DATE('2010-02-30', 'YYYY-MM-DD'));",
       "ORA-01847: day of month must be between 1 and last day of month"},
      {"CREATE TABLE T (A RAW(4)); INSERT INTO T VALUES (HEXTORAW('XYZ'));", "ORA-01465: invalid hex number"},
      {"CREATE TABLE T (A INTERVAL DAY TO SECOND); INSERT INTO T VALUES (INTERVAL '1 25:00' DAY TO SECOND);",
       "ORA-01867: the interval is invalid"},
  };
  for (const auto& [script, message] : cases) {
    EXPECT_EQ(run_script(script), 1) << script;
    EXPECT_NE(errors.find(message), std::string::npos) << script << "\n" << errors;
  }
  EXPECT_TRUE(tables().empty());
}

TEST_F(script_test, LiteralsOfEveryKindLoad) {
  ASSERT_EQ(run_script("CREATE TABLE T (D DATE, TS TIMESTAMP(2), I INTERVAL YEAR TO MONTH, N NUMBER);\n"
                       "INSERT INTO T VALUES (DATE '2010-01-01', TO_TIMESTAMP('01-02-2003 04:05:06.789', "
                       "'DD-MM-YYYY HH24:MI:SS.FF'), INTERVAL '15' MONTH, -1.5E3);\n"
                       "INSERT INTO T (D) VALUES (SYSDATE);\n"),
            0)
      << errors;
  connect();
  rows r = query_text(*client, "SELECT TO_CHAR(D, 'YYYY-MM-DD HH24:MI:SS'), TS, I, N FROM T WHERE N IS NOT NULL");
  EXPECT_EQ(r, (rows{{"2010-01-01 00:00:00", "01-FEB-03 04.05.06.78 AM", "+01-03", "-1500"}}));
  EXPECT_EQ(query_text(*client, "SELECT COUNT(*) FROM T WHERE D > DATE '2020-01-01'"), (rows{{"1"}}));
}

TEST_F(script_test, ToolArgumentsAndUsers) {
  std::string tool_errors;
  EXPECT_EQ(home.tool({"create-user", home.path(), "DB", "SCOTT", "again"}, &tool_errors), 1);
  EXPECT_NE(tool_errors.find("ORA-01920"), std::string::npos) << tool_errors;
  EXPECT_EQ(home.tool({"run", home.path(), "DB", "NOBODY", "/dev/null"}, &tool_errors), 1);
  EXPECT_NE(tool_errors.find("ORA-01017"), std::string::npos);
  EXPECT_EQ(home.tool({"run", home.path(), "DB", "SCOTT", home.path() + "/missing.sql"}, &tool_errors), 1);
  EXPECT_EQ(home.tool({"create-user", home.path(), "../x", "U", "p"}, &tool_errors), 1);
  EXPECT_EQ(home.tool({"create-user", home.path(), "DB", "a/b", "p"}, &tool_errors), 1);
  EXPECT_EQ(home.tool({"frobnicate"}, &tool_errors), 2);
  // A quoted user keeps its case, and its password is its own.
  EXPECT_EQ(home.tool({"create-user", home.path(), "DB", "\"Mixed\"", "Pw"}, &tool_errors), 0) << tool_errors;
  oci_client c;
  EXPECT_EQ(c.logon("//localhost:1521/DB", "\"Mixed\"", "Pw"), OCI_SUCCESS);
  EXPECT_EQ(c.logon("//localhost:1521/DB", "mixed", "Pw"), OCI_ERROR);
}

TEST(binding_test, MissingOrForeignLibraryGivesTheClientNotFoundMessage) {
  const std::string message =
      "The Oracle client and networking components were not found.\n"
      "These components are supplied by the Oracle Corporation and\n"
      "are part of the Oracle Version 7.3.4 (or later) client\n"
      "software installation. You will be unable to use this program\n"
      "until these components have been installed.";
  for (const char* library : {"/nonexistent/libclntsh.so", "libm.so.6"}) {
    setenv("DMW_OCI_LIBRARY", library, 1);
    try {
      ora_oci_library loaded;
      ADD_FAILURE() << library << " was accepted";
    } catch (const tk_exception& e) {
      EXPECT_EQ(e.text(), message);
      EXPECT_EQ(e.level(), 1);
    }
  }
  unsetenv("DMW_OCI_LIBRARY");
  EXPECT_EQ(ora_oci_library::library_name(), "libclntsh.so");
  setenv("DMW_OCI_LIBRARY", "", 1);
  EXPECT_EQ(ora_oci_library::library_name(), "libclntsh.so");
  setenv("DMW_OCI_LIBRARY", OCILITE_LIBRARY, 1);
  ora_oci_library ocilite;
  EXPECT_EQ(ocilite.path(), OCILITE_LIBRARY);
  EXPECT_NE(ocilite.calls().lob_read, nullptr);
  EXPECT_NE(ocilite.calls().error_get, nullptr);
}

}  // namespace
