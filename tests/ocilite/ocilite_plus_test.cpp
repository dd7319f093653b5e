// `ocilite run` on SQL*Plus scripts: SQL*Plus's own commands, substitution
// variables, nested scripts, PL/SQL blocks, WHENEVER and the transaction an
// Oracle session would keep, and the prepared-once path of repeated INSERTs.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "oci_fixture.h"

namespace {

using rows = std::vector<std::vector<std::string>>;

std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class plus_test : public ocilite_test {
 protected:
  // Runs the tool on a script from the working folder `cwd`, keeping what it prints.
  int run(const std::string& script, const std::string& cwd) {
    const std::string out_file = home.path() + "/.out", err_file = home.path() + "/.err";
    std::string command = "cd " + quoted(cwd) + " && " + quoted(OCILITE_TOOL) + " run " + quoted(home.path()) +
                          " DB SCOTT " + quoted(script) + " >" + quoted(out_file) + " 2>" + quoted(err_file);
    int status = std::system(command.c_str());
    out = slurp(out_file);
    err = slurp(err_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int run_text(const std::string& text) {
    home.write("t.sql", text);
    return run(home.path() + "/t.sql", home.path());
  }
  rows query(const std::string& sql) {
    connect();
    return query_text(*client, sql);
  }
  std::string out, err;
};

TEST_F(plus_test, ExportStyleScriptWithCommandsSubstitutionNestedFileAndBlock) {
  std::filesystem::create_directories(home.path() + "/export");
  home.write("export/countries.sql",
             "prompt Loading COUNTRIES\n"
             "CREATE TABLE COUNTRIES (COUNTRY_ID CHAR(2) PRIMARY KEY, REGION_ID NUMBER REFERENCES REGIONS);\n"
             "INSERT INTO COUNTRIES VALUES ('UK', &&region_eu);\n"
             "insert into countries\n"
             "  values ('BR', 2)\n"
             "/\n");
  home.write("export/hr.sql",
             "REM ==========================================================\n"
             "REM  HR schema export: regions and countries\n"
             "REMARK generated for the load test\n"
             "REM ==========================================================\n"
             "SET ECHO OFF\n"
             "SET FEEDBACK OFF\n"
             "SET VERIFY OFF\n"
             "SET PAGESIZE 0 LINESIZE 200\n"
             "set sqlblanklines on\n"
             "SET TERMOUT ON\n"
             "SET SERVEROUTPUT ON SIZE 1000000\n"
             "COLUMN region_name FORMAT A30\n"
             "SHOW USER\n"
             "WHENEVER SQLERROR CONTINUE\n"
             "WHENEVER OSERROR EXIT FAILURE\n"
             "PROMPT Creating REGIONS ...\n"
             "DEFINE region_prefix = 'Reg'\n"
             "DEF owner = HR\n"
             "def region_eu=1\n"
             "/* the table\n"
             "   and its key */\n"
             "CREATE TABLE REGIONS (\n"
             "  REGION_ID NUMBER PRIMARY KEY,\n"
             "\n"
             "  REGION_NAME VARCHAR2(25)\n"
             ");\n"
             "INSERT INTO REGIONS VALUES (&region_eu, '&region_prefix. Europe');\n"
             "INSERT INTO REGIONS VALUES (2, '&owner Americas');\n"
             "-- fails: the run goes on after the error\n"
             "INSERT INTO REGIONS VALUES (1, 'duplicate');\n"
             "@@countries\n"
             "BEGIN\n"
             "  INSERT INTO REGIONS VALUES (3, 'Asia');\n"
             "  UPDATE REGIONS SET REGION_NAME = UPPER(REGION_NAME)\n"
             "   WHERE REGION_ID = 3;\n"
             "  NULL;\n"
             "END;\n"
             "/\n"
             "PRO Done with &owner -\n"
             "tables\n"
             "EXIT\n"
             "INSERT INTO REGIONS VALUES (9, 'after exit');\n");
  // Run from another folder: @@ finds the nested script beside its caller.
  ASSERT_EQ(run("export/hr.sql", home.path()), 0) << err;
  EXPECT_NE(out.find("USER is \"SCOTT\"\nCreating REGIONS ...\nLoading COUNTRIES\nDone with HR tables\n"),
            std::string::npos) << out;
  EXPECT_EQ(count(err, "Error at line"), 1u) << err;
  EXPECT_NE(err.find("export/hr.sql: Error at line 30:\nORA-00001: unique constraint"), std::string::npos) << err;
  EXPECT_EQ(query("SELECT REGION_ID, REGION_NAME FROM REGIONS ORDER BY 1"),
            (rows{{"1", "Reg Europe"}, {"2", "HR Americas"}, {"3", "ASIA"}}));
  EXPECT_EQ(query("SELECT COUNTRY_ID, REGION_ID FROM COUNTRIES ORDER BY 1"), (rows{{"BR", "2"}, {"UK", "1"}}));

  // @ is relative to the working folder, as SQL*Plus has it; START likewise.
  home.write("main.sql", "@export/more\nSTART export/more.sql\n");
  home.write("export/more.sql", "INSERT INTO REGIONS (REGION_ID) SELECT MAX(REGION_ID) + 1 FROM REGIONS;\n");
  ASSERT_EQ(run("main.sql", home.path()), 0) << err;
  EXPECT_EQ(query("SELECT COUNT(*) FROM REGIONS"), (rows{{"5"}}));
  // A missing nested script is an OS error; OSERROR EXIT FAILURE ends the run with 1.
  home.write("missing.sql", "WHENEVER OSERROR EXIT FAILURE\n@@nowhere\nDELETE FROM REGIONS;\n");
  EXPECT_EQ(run("missing.sql", home.path()), 1);
  EXPECT_NE(err.find("SP2-0310: unable to open file"), std::string::npos) << err;
  EXPECT_EQ(query("SELECT COUNT(*) FROM REGIONS"), (rows{{"5"}}));
}

TEST_F(plus_test, SubstitutionVariables) {
  ASSERT_EQ(run_text("CREATE TABLE T (N NUMBER, S VARCHAR2(40));\n"
                     "SET DEFINE OFF;\n"
                     "INSERT INTO T VALUES (1, 'AT&T and R&D');\n"
                     "SET DEFINE ON\n"
                     "INSERT INTO T VALUES (2, 'Research & Development');\n"
                     "SET DEFINE ~\n"
                     "DEFINE who = 'Smith & Sons'\n"
                     "INSERT INTO T VALUES (3, '~who.!');\n"
                     "SET DEFINE &\n"
                     "define n = 4\n"
                     "UNDEFINE who\n"
                     "INSERT INTO T VALUES (&n, 'x');\n"),
            0)
      << err;
  EXPECT_EQ(query("SELECT N, S FROM T ORDER BY N"),
            (rows{{"1", "AT&T and R&D"}, {"2", "Research & Development"}, {"3", "Smith & Sons!"}, {"4", "x"}}));

  // An undefined variable would make SQL*Plus prompt; a script run stops and
  // the schema keeps nothing of the script.
  EXPECT_EQ(run_text("INSERT INTO T VALUES (5, 'y');\nDEFINE who = x\nUNDEFINE who\n"
                     "INSERT INTO T VALUES (6, '&who');\n"),
            1);
  EXPECT_NE(err.find("Error at line 4:\nsubstitution variable \"&who\" is not defined"),
            std::string::npos) << err;
  EXPECT_NE(err.find("SET DEFINE OFF"), std::string::npos) << err;
  EXPECT_EQ(query("SELECT COUNT(*) FROM T"), (rows{{"4"}}));
}

TEST_F(plus_test, UnknownCommandsWarnAndTheRunGoesOn) {
  ASSERT_EQ(run_text("CREATE TABLE T (N NUMBER);\n"
                     "FROBNICATE the schema please\n"
                     "SET FROBNICATE ON\n"
                     "HOST rm -rf /\n"
                     "INSERT INTO T VALUES (1);\n"),
            0)
      << err;
  EXPECT_NE(err.find("SP2-0734: unknown command beginning \"FROBNICATE...\" - rest of line ignored."),
            std::string::npos) << err;
  EXPECT_NE(err.find("SP2-0158: unknown SET option beginning \"FROBNICATE\""), std::string::npos) << err;
  EXPECT_NE(err.find("HOST not carried out"), std::string::npos) << err;
  EXPECT_EQ(query("SELECT N FROM T"), (rows{{"1"}}));
}

TEST_F(plus_test, PlsqlBlocksAndStoredUnits) {
  const std::string table = "CREATE TABLE T (N NUMBER PRIMARY KEY);\nWHENEVER SQLERROR CONTINUE\n";
  // What a block needs beyond plain DML is refused, with the line at fault.
  ASSERT_EQ(run_text(table +
                     "BEGIN\n"
                     "  INSERT INTO T VALUES (1);\n"
                     "  FOR i IN 2 .. 10 LOOP\n"
                     "    INSERT INTO T VALUES (i);\n"
                     "  END LOOP;\n"
                     "END;\n"
                     "/\n"
                     "DECLARE\n"
                     "  v NUMBER := 5;\n"
                     "BEGIN\n"
                     "  INSERT INTO T VALUES (v);\n"
                     "END;\n"
                     "/\n"
                     "DECLARE BEGIN INSERT INTO T VALUES (20); COMMIT; END;\n"
                     "/\n"),
            0)
      << err;
  EXPECT_NE(err.find("Error at line 5:\nORA-03001: unimplemented feature"), std::string::npos) << err;
  EXPECT_NE(err.find("Error at line 11:\nORA-03001: unimplemented feature"), std::string::npos) << err;
  EXPECT_EQ(query("SELECT N FROM T"), (rows{{"20"}}));

  // A failing statement undoes the block's work (an unhandled exception), not what came before.
  ASSERT_EQ(run_text("WHENEVER SQLERROR CONTINUE\n"
                     "INSERT INTO T VALUES (30);\n"
                     "BEGIN\n"
                     "  INSERT INTO T VALUES (31);\n"
                     "  INSERT INTO T VALUES (20);\n"
                     "END;\n"
                     "/\n"),
            0)
      << err;
  EXPECT_NE(err.find("Error at line 5:\nORA-00001: unique constraint"), std::string::npos) << err;
  EXPECT_NE(err.find("ORA-06512: at line 3"), std::string::npos) << err;
  EXPECT_EQ(query("SELECT N FROM T ORDER BY N"), (rows{{"20"}, {"30"}}));

  // A stored unit's text, semicolons and all, is one statement ended by "/".
  ASSERT_EQ(run_text("WHENEVER SQLERROR CONTINUE\n"
                     "CREATE OR REPLACE TRIGGER T_BI\n"
                     "  BEFORE INSERT ON T FOR EACH ROW\n"
                     "BEGIN\n"
                     "  IF :NEW.N < 0 THEN\n"
                     "    :NEW.N := LENGTH(q'[it's]');\n"
                     "  END IF;\n"
                     "END;\n"
                     "/\n"
                     "create procedure P is begin null; end;\n"
                     "/\n"
                     "INSERT INTO T VALUES (40);\n"),
            0)
      << err;
  EXPECT_LE(count(err, "Error at line"), 2u) << err;
  EXPECT_EQ(count(err, "Error at line") - count(err, "Error at line 2:") - count(err, "Error at line 10:"), 0u) << err;
  EXPECT_EQ(query("SELECT COUNT(*) FROM T WHERE N = 40"), (rows{{"1"}}));
}

TEST_F(plus_test, TransactionsAsAnOracleSessionKeepsThem) {
  // Without WHENEVER a failure stops the run and undoes the work since the
  // script's last COMMIT; what it committed stays.
  EXPECT_EQ(run_text("CREATE TABLE T (N NUMBER PRIMARY KEY);\n"
                     "INSERT INTO T VALUES (1);\n"
                     "COMMIT;\n"
                     "INSERT INTO T VALUES (2);\n"
                     "CREATE TABLE U (N NUMBER);\n"
                     "INSERT INTO T VALUES (1);\n"),
            1);
  EXPECT_NE(err.find("Error at line 6:\nORA-00001"), std::string::npos) << err;
  EXPECT_EQ(query("SELECT N FROM T"), (rows{{"1"}}));
  EXPECT_EQ(query("SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = 'U'"), (rows{{"0"}}));

  // ROLLBACK undoes the work since the last COMMIT or DDL (DDL commits in
  // Oracle); savepoints; work left at the end is committed, as EXIT does.
  ASSERT_EQ(run_text("INSERT INTO T VALUES (3);\n"
                     "ROLLBACK;\n"
                     "INSERT INTO T VALUES (4);\n"
                     "CREATE TABLE U (N NUMBER);\n"
                     "ROLLBACK WORK;\n"
                     "INSERT INTO T VALUES (5);\n"
                     "SAVEPOINT before_six;\n"
                     "INSERT INTO T VALUES (6);\n"
                     "ROLLBACK TO SAVEPOINT before_six;\n"
                     "INSERT INTO T VALUES (7);\n"),
            0)
      << err;
  EXPECT_EQ(query("SELECT N FROM T ORDER BY N"), (rows{{"1"}, {"4"}, {"5"}, {"7"}}));
  EXPECT_EQ(run_text("ROLLBACK TO nowhere;\n"), 1);
  EXPECT_NE(err.find("ORA-01086: savepoint 'NOWHERE' never established"), std::string::npos) << err;

  // WHENEVER SQLERROR EXIT: the status asked for, and SQL*Plus's COMMIT
  // (its default) or ROLLBACK of the rows before the failure.
  EXPECT_EQ(run_text("WHENEVER SQLERROR EXIT 3\nINSERT INTO T VALUES (8);\nINSERT INTO T VALUES (1);\n"
                     "INSERT INTO T VALUES (9);\n"),
            3);
  EXPECT_EQ(run_text("WHENEVER SQLERROR EXIT SQL.SQLCODE ROLLBACK\nINSERT INTO T VALUES (10);\n"
                     "INSERT INTO T VALUES (1);\n"),
            1);  // ORA-00001
  EXPECT_EQ(run_text("INSERT INTO T VALUES (11);\nEXIT FAILURE ROLLBACK\n"), 1);
  EXPECT_EQ(run_text("INSERT INTO T VALUES (12);\nQUIT\nINSERT INTO T VALUES (13);\n"), 0);
  EXPECT_EQ(query("SELECT N FROM T WHERE N > 7 ORDER BY N"), (rows{{"8"}, {"12"}}));
}

TEST_F(plus_test, RepeatedInsertsBindTheirLiteralsAndFailAsTheFirstWould) {
  std::string script =
      "CREATE TABLE T (ID NUMBER(6) PRIMARY KEY, NAME VARCHAR2(8), AMOUNT NUMBER(8,2), WHEN_ DATE);\n";
  for (int i = 1; i <= 50; ++i)
    script += "INSERT INTO T VALUES (" + std::to_string(i) + ", 'n" + std::to_string(i) + "', 1, NULL);\n";
  script +=
      "INSERT INTO T VALUES (51, 'd', 1, DATE '2021-02-03');\n"
      "WHENEVER SQLERROR CONTINUE\n"
      "INSERT INTO T VALUES (54, 'too long a name', 1, NULL);\n"
      "INSERT INTO T VALUES (55, 'x', 1e130, NULL);\n"
      "INSERT INTO T VALUES (56, 'y', 1234567.891, NULL);\n"
      "INSERT INTO T VALUES (57, 'z', 1, DATE '2021-02-30');\n"
      "INSERT INTO T VALUES (50, 'again', 1, NULL);\n"
      "DROP TABLE T;\n"
      "CREATE TABLE T (NAME VARCHAR2(8), ID NUMBER);\n"
      "INSERT INTO T VALUES ('again', 1);\n"
      "INSERT INTO T VALUES ('again', 2);\n";
  ASSERT_EQ(run_text(script), 0) << err;
  EXPECT_NE(err.find("Error at line 54:\nORA-12899: value too large for column \"SCOTT\".\"T\".\"NAME\""),
            std::string::npos) << err;
  EXPECT_NE(err.find("Error at line 55:\nORA-01426"), std::string::npos) << err;
  EXPECT_NE(err.find("Error at line 56:\nORA-01438"), std::string::npos) << err;
  EXPECT_NE(err.find("Error at line 57:\nORA-01861"), std::string::npos) << err;
  EXPECT_NE(err.find("Error at line 58:\nORA-00001"), std::string::npos) << err;
  EXPECT_EQ(count(err, "Error at line"), 5u) << err;
  EXPECT_EQ(query("SELECT NAME, ID FROM T ORDER BY ID"), (rows{{"again", "1"}, {"again", "2"}}));
}

TEST_F(plus_test, RepeatedInsertsKeepEveryValueAndQuotedLiterals) {
  std::string script = "CREATE TABLE T (ID NUMBER, NAME VARCHAR2(8), AMOUNT NUMBER(8,2), WHEN_ DATE);\n";
  for (int i = 1; i <= 30; ++i)
    script += "INSERT INTO T VALUES (" + std::to_string(i) + ", 'n" + std::to_string(i) + "', -" +
              std::to_string(i) + ".125, TO_DATE('2020-01-" + std::to_string(i % 18 + 10) + "', 'YYYY-MM-DD'));\n";
  script +=
      "INSERT INTO T VALUES (51, '', -1e3, TO_DATE('2021-02-03', 'YYYY-MM-DD'));\n"
      "INSERT INTO T VALUES (52, 'c', -2.5E-1, TO_DATE('2021-02-04', 'YYYY-MM-DD'));\n"
      "INSERT INTO T VALUES (53, 'a' || 'b', 1, DATE '2021-02-05');\n"
      "INSERT INTO T VALUES (54, 'c' || '', 123456.5, DATE '2021-02-06');\n"
      "INSERT INTO T VALUES (55, q'[it's]', 1, NULL);\n"
      "INSERT INTO T VALUES (56, Nq'{a;b}', 1, NULL);\n"
      "INSERT INTO T VALUES (57, N'\xC3\xBC', 1, NULL);\n";
  ASSERT_EQ(run_text(script), 0) << err;
  EXPECT_EQ(query("SELECT COUNT(*), SUM(ID), MIN(NAME), MAX(NAME) FROM T WHERE ID <= 30"),
            (rows{{"30", "465", "n1", "n9"}}));
  EXPECT_EQ(query("SELECT ID, AMOUNT, TO_CHAR(WHEN_, 'YYYY-MM-DD') FROM T WHERE ID IN (7, 30) ORDER BY ID"),
            (rows{{"7", "-7.13", "2020-01-17"}, {"30", "-30.13", "2020-01-22"}}));
  EXPECT_EQ(query("SELECT ID, NAME, AMOUNT, TO_CHAR(WHEN_, 'YYYY-MM-DD') FROM T WHERE ID BETWEEN 51 AND 54 ORDER BY ID"),
            (rows{{"51", "<null>", "-1000", "2021-02-03"},
                  {"52", "c", "-.25", "2021-02-04"},
                  {"53", "ab", "1", "2021-02-05"},
                  {"54", "c", "123456.5", "2021-02-06"}}));
  EXPECT_EQ(query("SELECT NAME FROM T WHERE ID > 54 ORDER BY ID"), (rows{{"it's"}, {"a;b"}, {"\xC3\xBC"}}));
}

}  // namespace
