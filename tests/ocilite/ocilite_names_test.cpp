// Names as Oracle keeps them: a quoted name is its own, case and all, an
// unquoted one is upper-cased; names reach 128 bytes; a quoted name may hold
// blanks, tabs and punctuation. SQLite itself matches names without regard
// to case, so every check here goes down to the schema file and back.
#include "oci_fixture.h"

namespace {

using rows = std::vector<std::vector<std::string>>;

class names_test : public ocilite_test {
 protected:
  void SetUp() override {
    ocilite_test::SetUp();
    connect();
  }
  // The status of the statement; its error text in last_error.
  sword run(const std::string& sql) {
    oci_stmt stmt(*client);
    if (stmt.prepare(sql) != OCI_SUCCESS) return OCI_ERROR;
    return stmt.execute(1);
  }
  void ok(const std::string& sql) { EXPECT_EQ(run(sql), OCI_SUCCESS) << sql << ": " << client->last_error().text; }
  std::string error(const std::string& sql) {
    EXPECT_EQ(run(sql), OCI_ERROR) << sql;
    return client->last_error().text;
  }
  // The names a query's columns are described with.
  std::vector<std::string> described(const std::string& sql) {
    oci_stmt stmt(*client);
    stmt.open(sql);
    std::vector<std::string> names;
    for (ub4 i = 1; i <= stmt.param_count(); ++i) names.push_back(describe(*client, stmt.param(i)).name);
    return names;
  }
};

}  // namespace

TEST_F(names_test, QuotedNamesKeepTheirCaseAndAreOtherObjectsThanUpperCaseOnes) {
  ok("CREATE TABLE \"Mixed\" (ID NUMBER)");
  ok("CREATE TABLE MIXED (ID NUMBER)");
  ok("CREATE TABLE \"mixed\" (ID NUMBER)");
  EXPECT_EQ(error("CREATE TABLE \"MIXED\" (ID NUMBER)"), "ORA-00955: name is already used by an existing object");
  ok("INSERT INTO \"Mixed\" VALUES (1)");
  ok("INSERT INTO mixed VALUES (2)");  // unquoted: MIXED
  ok("INSERT INTO \"mixed\" VALUES (3)");
  EXPECT_EQ(query_text(*client, "SELECT ID FROM \"Mixed\""), (rows{{"1"}}));
  EXPECT_EQ(query_text(*client, "SELECT ID FROM \"MIXED\""), (rows{{"2"}}));
  EXPECT_EQ(query_text(*client, "SELECT ID FROM \"mixed\""), (rows{{"3"}}));
  EXPECT_EQ(error("SELECT ID FROM \"MiXeD\""), "ORA-00942: table or view does not exist");
  EXPECT_EQ(query_text(*client, "SELECT TABLE_NAME FROM USER_TABLES"), (rows{{"Mixed"}, {"MIXED"}, {"mixed"}}));
  EXPECT_EQ(query_text(*client, "SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'Mixed'"), (rows{{"1"}}));

  ok("DROP TABLE \"Mixed\"");
  EXPECT_EQ(query_text(*client, "SELECT TABLE_NAME FROM USER_TABLES"), (rows{{"MIXED"}, {"mixed"}}));
  EXPECT_EQ(query_text(*client, "SELECT ID FROM MIXED"), (rows{{"2"}}));

  ok("CREATE VIEW \"Recent\" AS SELECT ID \"Id\" FROM MIXED");
  ok("CREATE VIEW RECENT AS SELECT ID FROM \"mixed\"");
  EXPECT_EQ(query_text(*client, "SELECT \"Id\" FROM \"Recent\""), (rows{{"2"}}));
  EXPECT_EQ(query_text(*client, "SELECT ID FROM RECENT"), (rows{{"3"}}));
  EXPECT_EQ(query_text(*client, "SELECT VIEW_NAME FROM USER_VIEWS ORDER BY VIEW_NAME"), (rows{{"RECENT"}, {"Recent"}}));
  EXPECT_EQ(query_text(*client, "SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'Recent'"), (rows{{"Id"}}));
}

TEST_F(names_test, ColumnsIndexesAndConstraintsTellCaseApart) {
  ok("CREATE TABLE T (\"Val\" NUMBER(5,1) CONSTRAINT \"Pk\" PRIMARY KEY, VAL NUMBER(5,1), "
     "\"val\" VARCHAR2(2) CONSTRAINT \"Short\" CHECK (\"val\" <> 'x') NOT NULL)");
  EXPECT_EQ(query_text(*client, "SELECT COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'T' ORDER BY COLUMN_ID"),
            (rows{{"Val"}, {"VAL"}, {"val"}}));
  // Each column keeps its own rounding: their rules do not collide.
  ok("INSERT INTO T VALUES (1.26, 2.34, 'a')");
  EXPECT_EQ(query_text(*client, "SELECT \"Val\", VAL, \"val\" FROM T"), (rows{{"1.3", "2.3", "a"}}));
  EXPECT_EQ(described("SELECT * FROM T"), (std::vector<std::string>{"Val", "VAL", "val"}));
  EXPECT_EQ(described("SELECT t.\"Val\", val FROM T t"), (std::vector<std::string>{"Val", "VAL"}));
  EXPECT_EQ(error("SELECT \"vAL\" FROM T"), "ORA-00904: \"vAL\": invalid identifier");

  // Violations name the constraint or column as it was written.
  EXPECT_EQ(error("INSERT INTO T VALUES (1.3, 0, 'b')"), "ORA-00001: unique constraint (SCOTT.Pk) violated");
  EXPECT_EQ(error("INSERT INTO T VALUES (5, 0, 'x')"), "ORA-02290: check constraint (SCOTT.Short) violated");
  EXPECT_EQ(error("INSERT INTO T VALUES (6, 0, 'abc')"),
            "ORA-12899: value too large for column \"SCOTT\".\"T\".\"val\"");
  EXPECT_EQ(error("INSERT INTO T (\"Val\") VALUES (7)"), "ORA-01400: cannot insert NULL into (\"SCOTT\".\"T\".\"val\")");

  ok("CREATE INDEX \"Ix\" ON T (VAL)");
  ok("CREATE INDEX IX ON T (\"val\", \"Val\")");
  EXPECT_EQ(query_text(*client, "SELECT INDEX_NAME, COLUMN_NAME FROM USER_IND_COLUMNS WHERE INDEX_NAME <> 'Pk' "
                                "ORDER BY INDEX_NAME, COLUMN_POSITION"),
            (rows{{"IX", "val"}, {"IX", "Val"}, {"Ix", "VAL"}}));
  EXPECT_EQ(error("CREATE INDEX \"Ix2\" ON T (\"VAl\")"), "ORA-00904: \"VAl\": invalid identifier");
  ok("DROP INDEX \"Ix\"");
  EXPECT_EQ(query_text(*client, "SELECT INDEX_NAME FROM USER_INDEXES ORDER BY INDEX_NAME"), (rows{{"IX"}, {"Pk"}}));

  // An alias in quotes names an expression column as written.
  EXPECT_EQ(described("SELECT 1 \"Foo\", 2 bar, VAL + 1 FROM T"), (std::vector<std::string>{"Foo", "BAR", "VAL+1"}));
}

TEST_F(names_test, NamesReach128BytesAndNoFurther) {
  const std::string longest(128, 'L'), quoted_longest = std::string(127, 'q') + "Q";
  ok("CREATE TABLE " + longest + " (" + longest + " NUMBER)");
  ok("CREATE TABLE \"" + quoted_longest + "\" (\"" + quoted_longest + "\" NUMBER)");
  ok("INSERT INTO " + longest + " VALUES (1)");
  EXPECT_EQ(query_text(*client, "SELECT " + longest + " FROM " + longest), (rows{{"1"}}));
  EXPECT_EQ(query_text(*client, "SELECT TABLE_NAME, COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = '" +
                                    quoted_longest + "'"),
            (rows{{quoted_longest, quoted_longest}}));
  // The dictionary describes its name columns wide enough for them.
  oci_stmt dictionary(*client);
  dictionary.open("SELECT TABLE_NAME FROM USER_TABLES");
  EXPECT_EQ(describe(*client, dictionary.param(1)).size, 128);

  const std::string too_long = "ORA-00972: identifier is too long";
  EXPECT_EQ(error("CREATE TABLE " + longest + "X (A NUMBER)"), too_long);
  EXPECT_EQ(error("CREATE TABLE \"" + quoted_longest + "x\" (A NUMBER)"), too_long);
  EXPECT_EQ(error("CREATE TABLE SHORT (" + longest + "X NUMBER)"), too_long);
  EXPECT_EQ(error("SELECT " + longest + "X FROM " + longest), too_long);
  // Bytes are counted, not characters: 64 two-byte letters fit, 65 do not.
  std::string accented;
  for (int i = 0; i < 64; ++i) accented += "\xc3\xa9";
  ok("CREATE TABLE \"" + accented + "\" (A NUMBER)");
  EXPECT_EQ(error("CREATE TABLE \"" + accented + "\xc3\xa9\" (A NUMBER)"), too_long);
}

TEST_F(names_test, QuotedNamesHoldBlanksTabsAndPunctuation) {
  // Scripts too: the loader must not cut a statement at a quoted ";".
  home.load("DB", "SCOTT",
            "CREATE TABLE \"Tab\there\" (\"a\tb\" NUMBER, \"semi;colon\" NUMBER);\n"
            "INSERT INTO \"Tab\there\" VALUES (1, 2);\n");
  connect();
  EXPECT_EQ(query_text(*client, "SELECT TABLE_NAME, COLUMN_NAME FROM USER_TAB_COLUMNS ORDER BY COLUMN_ID"),
            (rows{{"Tab\there", "a\tb"}, {"Tab\there", "semi;colon"}}));
  EXPECT_EQ(described("SELECT * FROM \"Tab\there\""), (std::vector<std::string>{"a\tb", "semi;colon"}));
  EXPECT_EQ(query_text(*client, "SELECT \"a\tb\" + \"semi;colon\" AS \"sum\" FROM \"Tab\there\""), (rows{{"3"}}));
  EXPECT_EQ(error("SELECT \"a\tB\" FROM \"Tab\there\""), "ORA-00904: \"a\tB\": invalid identifier");

  // The characters the SQLite names are written with stay apart from the letters.
  for (const char* name : {"~m", "~M", "m", "M", "~", "~~", "m~", "M~"})
    ok(std::string("CREATE TABLE \"") + name + "\" (\"x y\" NUMBER)");
  EXPECT_EQ(query_text(*client, "SELECT COUNT(*) FROM USER_TABLES"), (rows{{"9"}}));
  ok("INSERT INTO \"~M\" VALUES (5)");
  EXPECT_EQ(query_text(*client, "SELECT \"x y\" FROM \"~M\""), (rows{{"5"}}));
  EXPECT_EQ(query_text(*client, "SELECT COUNT(*) FROM \"~m\""), (rows{{"0"}}));

  // A key over names holding ". " and ", " is still named in the violation.
  ok("CREATE TABLE \"a. b, c\" (\"x, y\" NUMBER, \"p.q\" NUMBER, CONSTRAINT \"k, 1\" PRIMARY KEY (\"x, y\", \"p.q\"))");
  ok("INSERT INTO \"a. b, c\" VALUES (1, 1)");
  EXPECT_EQ(error("INSERT INTO \"a. b, c\" VALUES (1, 1)"), "ORA-00001: unique constraint (SCOTT.k, 1) violated");
}
