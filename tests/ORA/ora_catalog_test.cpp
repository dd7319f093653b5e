// The catalog: table list, defaults, national sizes, keys, indexes, foreign
// keys collected from the referenced side, stored queries, and reading rows.
#include "ORA/ora_excp.h"
#include "TK/tk_strin.h"
#include "tests/ORA/ora_home.h"
#include "tests/TK/decode_assertion.h"

namespace {

const char kCompany[] =
    "CREATE TABLE DEPT (DEPT_ID NUMBER(4) CONSTRAINT PK_DEPT PRIMARY KEY,"
    "  NAME VARCHAR2(30) NOT NULL CONSTRAINT UQ_DEPT_NAME UNIQUE, CITY NVARCHAR2(20), CODE NCHAR(3));"
    "CREATE TABLE PROJ (DEPT_ID NUMBER(4), PROJ_NO NUMBER(3), TITLE VARCHAR2(40),"
    "  CONSTRAINT PK_PROJ PRIMARY KEY (DEPT_ID, PROJ_NO),"
    "  CONSTRAINT FK_PROJ_DEPT FOREIGN KEY (DEPT_ID) REFERENCES DEPT (DEPT_ID) ON DELETE CASCADE);"
    "CREATE TABLE WORK (EMP_ID NUMBER(6), DEPT_ID NUMBER(4), PROJ_NO NUMBER(3), EMAIL VARCHAR2(40) UNIQUE,"
    "  CONSTRAINT FK_WORK_PROJ FOREIGN KEY (DEPT_ID, PROJ_NO) REFERENCES PROJ (DEPT_ID, PROJ_NO));"
    "CREATE INDEX IX_WORK_PROJ ON WORK (PROJ_NO, DEPT_ID);"
    "CREATE UNIQUE INDEX UX_WORK_EMP ON WORK (EMP_ID);"
    "CREATE VIEW WORK_VIEW AS SELECT W.EMP_ID, P.TITLE FROM WORK W, PROJ P"
    "  WHERE W.DEPT_ID = P.DEPT_ID AND W.PROJ_NO = P.PROJ_NO;"
    "INSERT INTO DEPT VALUES (10, 'Accounting', 'Zürich', 'ACC');"
    "INSERT INTO DEPT VALUES (20, 'Research', NULL, NULL);"
    "INSERT INTO PROJ VALUES (10, 1, 'Ledger'); INSERT INTO PROJ VALUES (20, 1, 'Sensors');"
    "INSERT INTO WORK VALUES (1, 10, 1, 'a@x'); INSERT INTO WORK VALUES (2, 20, 1, NULL);"
    "INSERT INTO WORK VALUES (3, 20, 1, 'c@x');";

std::string index_text(const udb_indexes& indexes) {
  std::string out;
  for (const udb_index& i : indexes) {
    out += tk_to_utf8(i.name) + (i.primary ? " P" : "") + (i.unique ? " U" : "") + ":";
    for (const std::u16string& c : i.columns) out += " " + tk_to_utf8(c);
    out += "\n";
  }
  return out;
}

std::string relationship_text(const udb_relationships& relationships) {
  std::string out;
  for (size_t n = 0; n < relationships.size(); ++n) {
    const udb_relationship& r = relationships[n];
    out += tk_to_utf8(r.name) + " key=" + tk_to_utf8(r.key_name) + " " + tk_to_utf8(r.foreign_table) + "(";
    for (const std::u16string& c : r.foreign_columns) out += " " + tk_to_utf8(c);
    out += " ) -> " + tk_to_utf8(r.primary_table) + "(";
    for (const std::u16string& c : r.primary_columns) out += " " + tk_to_utf8(c);
    out += " ) [" + tk_to_utf8(r.rule) + "]\n";
  }
  return out;
}

template <typename F>
std::string assertion_file_of(F&& action) {
  try {
    action();
  } catch (const tk_mail_assertion& e) {
    return assertion_file(e);
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "no exception";
}

}  // namespace

TEST(OraCatalog, DefaultTextsBecomeValuesOfTheColumnType) {
  EXPECT_EQ(ora_table::get_def_value(VT_BSTR, u"'N'").to_wstring(), u"N");
  EXPECT_EQ(ora_table::get_def_value(VT_BSTR, u" 'it''s'\n").to_wstring(), u"it's");
  EXPECT_EQ(ora_table::get_def_value(VT_BSTR, u"''''").to_wstring(), u"'");
  EXPECT_EQ(ora_table::get_def_value(VT_BSTR, u"''").get_type(), VT_BSTR);
  // Expressions give no default on text columns.
  EXPECT_EQ(ora_table::get_def_value(VT_BSTR, u"USER").get_type(), VT_EMPTY);
  EXPECT_EQ(ora_table::get_def_value(VT_BSTR, u"'").get_type(), VT_EMPTY);
  // Dates are never carried over.
  EXPECT_EQ(ora_table::get_def_value(VT_DATE, u"SYSDATE").get_type(), VT_EMPTY);
  EXPECT_EQ(ora_table::get_def_value(VT_DATE, u"'2010-01-01'").get_type(), VT_EMPTY);
  ole_variant zero = ora_table::get_def_value(VT_I2, u"0 ");
  EXPECT_EQ(zero.get_type(), VT_I2);
  EXPECT_EQ(zero.to_wstring(), u"0");
  ole_variant quoted_number = ora_table::get_def_value(VT_I4, u"'42'");
  EXPECT_EQ(quoted_number.get_type(), VT_I4);
  EXPECT_EQ(quoted_number.to_wstring(), u"42");
  ole_variant decimal = ora_table::get_def_value(VT_DECIMAL, u"2.5");
  EXPECT_EQ(decimal.get_type(), VT_DECIMAL);
  EXPECT_EQ(decimal.to_wstring(), u"2.5");
}

TEST(OraCatalog, NamesInDictionaryLiteralsHaveTheirQuotesDoubled) {
  EXPECT_EQ(ora_table::quoted(u"EMP"), u"'EMP'");
  EXPECT_EQ(ora_table::quoted(u"O'Brien"), u"'O''Brien'");
  EXPECT_EQ(ora_table::quoted(u"''"), u"''''''");
}

TEST_F(ora_source_test, TheTableListHasTablesButNoViews) {
  open(kCompany);
  EXPECT_EQ(db->table_names(), (std::vector<std::u16string>{u"DEPT", u"PROJ", u"WORK"}));
  EXPECT_TRUE(db->is_table_exist(u"work"));
  EXPECT_FALSE(db->is_table_exist(u"WORK_VIEW"));
  EXPECT_EQ(assertion_file_of([&] { db->get_table(u"WORK_VIEW", 1); }), "ora_db");
  EXPECT_EQ(assertion_file_of([&] { db->create_table(u"X", udb_schema(true), udb_indexes()); }), "ora_db");
}

TEST_F(ora_source_test, DefaultsAndNationalSizesComeFromTheDictionary) {
  open("CREATE TABLE D (FLAG CHAR(1) DEFAULT 'N', NOTE VARCHAR2(20) DEFAULT 'it''s',"
       "  WHO VARCHAR2(30) DEFAULT USER, MADE DATE DEFAULT SYSDATE, QTY NUMBER(4) DEFAULT 0,"
       "  PRICE NUMBER(6,2) DEFAULT 2.5, BIG NUMBER DEFAULT -7, PLAIN VARCHAR2(5),"
       "  NAME NVARCHAR2(20) DEFAULT 'x', INITIALS NCHAR(3));");
  std::unique_ptr<ora_table> t = open_table(*db, u"D");
  const udb_schema& s = t->schema();
  ASSERT_EQ(s.size(), 10u);
  EXPECT_EQ(s[0].default_value.to_wstring(), u"N");
  EXPECT_EQ(s[1].default_value.to_wstring(), u"it's");
  EXPECT_EQ(s[2].default_value.get_type(), VT_EMPTY);
  EXPECT_EQ(s[3].default_value.get_type(), VT_EMPTY);
  EXPECT_EQ(s[4].default_value.get_type(), VT_I2);
  EXPECT_EQ(s[4].default_value.to_wstring(), u"0");
  EXPECT_EQ(s[5].default_value.get_type(), VT_DECIMAL);
  EXPECT_EQ(s[5].default_value.to_wstring(), u"2.5");
  EXPECT_EQ(s[6].default_value.get_type(), VT_R8);
  EXPECT_EQ(s[6].default_value.to_double(), -7.0);
  EXPECT_EQ(s[7].default_value.get_type(), VT_EMPTY);
  EXPECT_EQ(s[8].default_value.to_wstring(), u"x");
  // National columns are described with two bytes a character.
  EXPECT_EQ(s[8].size, 20u);
  EXPECT_EQ(s[9].size, 3u);
  EXPECT_EQ(s[1].size, 20u);
  EXPECT_EQ(t->columns()[8]->size(), 20u);
}

TEST_F(ora_source_test, KeysIndexesAndForeignKeysOfEachTable) {
  open(kCompany);
  std::unique_ptr<ora_table> dept = open_table(*db, u"DEPT");
  // The key's own index, listed under the key's name, adds nothing more.
  EXPECT_EQ(index_text(dept->indexes()), "PK_DEPT P U: DEPT_ID\nUQ_DEPT_NAME U: NAME\n");
  EXPECT_EQ(relationship_text(db->relationships()),
            "FK_PROJ_DEPT key=PK_DEPT PROJ( DEPT_ID ) -> DEPT( DEPT_ID ) [ON DELETE CASCADE]\n");

  std::unique_ptr<ora_table> proj = open_table(*db, u"PROJ");
  EXPECT_EQ(index_text(proj->indexes()), "PK_PROJ P U: DEPT_ID PROJ_NO\n");
  // A composite foreign key is one relationship, its columns in key order.
  EXPECT_EQ(relationship_text(db->relationships()),
            "FK_PROJ_DEPT key=PK_DEPT PROJ( DEPT_ID ) -> DEPT( DEPT_ID ) [ON DELETE CASCADE]\n"
            "FK_WORK_PROJ key=PK_PROJ WORK( DEPT_ID PROJ_NO ) -> PROJ( DEPT_ID PROJ_NO ) [ON DELETE NO ACTION]\n");

  // Opening a table again finds the same relationships and adds nothing.
  proj = open_table(*db, u"PROJ");
  dept = open_table(*db, u"DEPT");
  EXPECT_EQ(db->relationships().size(), 2u);
  EXPECT_EQ(db->relationships()[1].foreign_columns.size(), 2u);

  // Without a primary key: its indexes, in name order, and no foreign keys
  // looked for. System-named indexes are left out.
  std::unique_ptr<ora_table> work = open_table(*db, u"WORK");
  EXPECT_EQ(index_text(work->indexes()), "IX_WORK_PROJ: PROJ_NO DEPT_ID\nUX_WORK_EMP U: EMP_ID\n");
  EXPECT_EQ(db->relationships().size(), 2u);

  // Flags other than 1 read no keys at all.
  std::unique_ptr<udb_recordset> bare = db->get_table(u"DEPT", 0);
  EXPECT_TRUE(bare->indexes().empty());
  EXPECT_EQ(bare->record_count(), 2);
}

TEST_F(ora_source_test, AReleaseSevenServerGetsTheShortStatements) {
  home.write("DB/banner", "Oracle7 Server Release 7.3.4.0.0 - Production\n");
  open(kCompany);
  EXPECT_EQ(engine->get_version(), 0x070304u);
  EXPECT_EQ(db->table_names(), (std::vector<std::u16string>{u"DEPT", u"PROJ", u"WORK"}));
  std::unique_ptr<ora_table> work = open_table(*db, u"WORK");
  // Without the "generated" condition the index of the unnamed unique
  // constraint is read too.
  std::string indexes = index_text(work->indexes());
  EXPECT_NE(indexes.find("IX_WORK_PROJ: PROJ_NO DEPT_ID\n"), std::string::npos) << indexes;
  EXPECT_NE(indexes.find(" U: EMAIL\n"), std::string::npos) << indexes;
  EXPECT_EQ(work->indexes().size(), 3u) << indexes;
}

TEST_F(ora_source_test, ASystemNamedKeyIndexIsNotRepeatedOnReleaseSeven) {
  home.write("DB/banner", "Oracle7 Server Release 7.3.4.0.0 - Production\n");
  open("CREATE TABLE K (ID NUMBER(4) PRIMARY KEY, A NUMBER(4), B NUMBER(4), CONSTRAINT UQ_K UNIQUE (A, B));");
  std::unique_ptr<ora_table> k = open_table(*db, u"K");
  ASSERT_EQ(k->indexes().size(), 2u) << index_text(k->indexes());
  EXPECT_TRUE(k->indexes()[0].primary);
  EXPECT_EQ(k->indexes()[0].columns, std::vector<std::u16string>{u"ID"});
  EXPECT_EQ(index_text(k->indexes()).substr(index_text(k->indexes()).find('\n') + 1), "UQ_K U: A B\n");
}

TEST_F(ora_source_test, ATableNamedWithAQuoteIsReadWhole) {
  open("CREATE TABLE \"O'Brien\" (ID NUMBER(4) CONSTRAINT \"PK_O'B\" PRIMARY KEY,"
       "  NOTE VARCHAR2(10) DEFAULT 'x', CITY NVARCHAR2(10));"
       "CREATE TABLE CHILD (ID NUMBER(4), P NUMBER(4) CONSTRAINT FK_CHILD REFERENCES \"O'Brien\");"
       "CREATE INDEX \"IX_O'B\" ON \"O'Brien\" (NOTE);"
       "INSERT INTO \"O'Brien\" VALUES (1, 'a', 'Köln');");
  std::unique_ptr<ora_table> t = open_table(*db, u"O'Brien");
  ASSERT_EQ(t->schema().size(), 3u);
  EXPECT_EQ(t->schema()[1].default_value.to_wstring(), u"x");
  EXPECT_EQ(t->schema()[2].size, 10u);
  EXPECT_EQ(index_text(t->indexes()), "PK_O'B P U: ID\nIX_O'B: NOTE\n");
  EXPECT_EQ(relationship_text(db->relationships()),
            "FK_CHILD key=PK_O'B CHILD( P ) -> O'Brien( ID ) [ON DELETE NO ACTION]\n");
  EXPECT_EQ(t->record_count(), 1);
  EXPECT_EQ(read_all(*t), (std::vector<std::vector<std::u16string>>{{u"1", u"a", u"Köln"}}));
}

TEST_F(ora_source_test, AStoredQueryOverAViewIsCountedAndReadWithoutIndexes) {
  open(kCompany);
  std::unique_ptr<udb_recordset> q =
      db->get_query(u"Staff", u"SELECT EMP_ID, TITLE FROM WORK_VIEW WHERE EMP_ID > 1 ORDER BY EMP_ID", 1);
  EXPECT_TRUE(q->is_query());
  EXPECT_EQ(q->name(), u"Staff");
  EXPECT_TRUE(q->indexes().empty());
  EXPECT_EQ(q->record_count(), 2);
  ASSERT_EQ(q->schema().size(), 2u);
  EXPECT_EQ(q->schema()[0].type, VT_I4);
  EXPECT_EQ(q->schema()[1].size, 40u);
  EXPECT_EQ(read_all(*q), (std::vector<std::vector<std::u16string>>{{u"2", u"Sensors"}, {u"3", u"Sensors"}}));
  EXPECT_TRUE(db->relationships().empty());
}

TEST_F(ora_source_test, QueriesAreParsedWithoutRunning) {
  open(kCompany);
  EXPECT_TRUE(db->test_query(u"SELECT * FROM WORK_VIEW"));
  EXPECT_TRUE(db->test_query(u"DELETE FROM WORK"));
  EXPECT_EQ(engine->get_records_cnt(u"WORK"), 3);
  EXPECT_THROW(db->test_query(u"SELEKT * FROM WORK"), ora_exception);
  EXPECT_THROW(db->test_query(u"SELECT * FROM NO_SUCH"), ora_exception);
}

TEST_F(ora_source_test, ATableYieldsNoMoreRowsThanItCountedWhenOpened) {
  open(kCompany);
  std::unique_ptr<ora_table> work = open_table(*db, u"WORK");
  ASSERT_EQ(work->record_count(), 3);
  db->query(u"INSERT INTO WORK VALUES (4, 20, 1, 'd@x')");
  EXPECT_EQ(read_all(*work).size(), 3u);

  // Rows deleted after the count: reading ends at the first empty fetch.
  std::unique_ptr<ora_table> again = open_table(*db, u"WORK");
  ASSERT_EQ(again->record_count(), 4);
  db->query(u"DELETE FROM WORK WHERE EMP_ID > 1");
  size_t rows = read_all(*again).size();
  EXPECT_EQ(rows, 1u);
}
