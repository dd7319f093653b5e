// The DDL and DML real Oracle schema scripts hold: keys added by ALTER TABLE,
// sequences and identity columns, views, comments, stored code, function-based
// indexes and the date format models, with the dictionary compared with what
// Oracle's Database Reference documents for the same statements.
#include <fstream>
#include <regex>
#include <sstream>

#include "oci_fixture.h"

namespace {

using rows = std::vector<std::vector<std::string>>;

std::string schema_file(const std::string& name) {
  std::ifstream in(std::string(DMW_SOURCE_DIR) + "/tests/ocilite/schemas/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ddl_test : public ocilite_test {
 protected:
  rows q(const std::string& sql) { return query_text(*client, sql); }
  // Runs one statement; "" when it succeeds, else Oracle's message.
  std::string run(const std::string& sql) {
    oci_stmt stmt(*client);
    if (stmt.prepare(sql) != OCI_SUCCESS) return client->last_error().text;
    bool query = sql.rfind("SELECT", 0) == 0;
    if (stmt.execute(query ? 0 : 1) != OCI_SUCCESS) return client->last_error().text;
    if (query && stmt.fetch() != OCI_SUCCESS && stmt.fetch() != OCI_NO_DATA) return client->last_error().text;
    return "";
  }
  std::string script_error(const std::string& script) {
    std::string errors;
    home.load_status("DB", "SCOTT", script, &errors);
    auto at = errors.find(".sql: ");  // after the script's path
    return at == std::string::npos ? errors : errors.substr(at + 6);
  }
};

const std::regex generated_name("SYS_C[0-9]{7}");

}  // namespace

TEST_F(ddl_test, AlterTableFormsAddKeysChecksColumnsAndRenames) {
  load(R"(
CREATE TABLE parent (id NUMBER(4), code VARCHAR2(5), note VARCHAR2(10));
CREATE TABLE child (id NUMBER(6), parent_id NUMBER(4), qty NUMBER);
INSERT INTO parent VALUES (1, 'A', NULL);
INSERT INTO child VALUES (10, 1, 5);
ALTER TABLE parent ADD CONSTRAINT parent_pk PRIMARY KEY (id);
ALTER TABLE parent ADD (UNIQUE (code), CONSTRAINT parent_note_c CHECK (note <> 'x') DISABLE);
ALTER TABLE child ADD (CONSTRAINT child_pk PRIMARY KEY (id) USING INDEX TABLESPACE users ENABLE VALIDATE,
  CONSTRAINT child_parent_fk FOREIGN KEY (parent_id) REFERENCES parent ON DELETE CASCADE);
ALTER TABLE child ADD CHECK (qty > 0) NOVALIDATE;
ALTER TABLE child ADD (created DATE, label VARCHAR2(8) DEFAULT 'new' NOT NULL);
ALTER TABLE child MODIFY (qty NOT NULL);
ALTER TABLE child MODIFY label NULL;
ALTER TABLE child RENAME COLUMN qty TO quantity;
ALTER TABLE child RENAME TO line;
RENAME parent TO head;
ALTER TABLE head NOLOGGING;
)");
  connect();
  // USER_CONSTRAINTS: P/U/R/C, the referenced key, DELETE_RULE for R only,
  // STATUS and VALIDATED from the ENABLE/DISABLE/NOVALIDATE clauses,
  // GENERATED NAME for SYS_Cnnnnnnn names, a key's INDEX_NAME its own index.
  rows keys = q("SELECT CONSTRAINT_NAME, CONSTRAINT_TYPE, TABLE_NAME, R_CONSTRAINT_NAME, DELETE_RULE, STATUS, "
                "VALIDATED, GENERATED, INDEX_NAME FROM USER_CONSTRAINTS WHERE CONSTRAINT_TYPE <> 'C' OR "
                "SEARCH_CONDITION NOT LIKE '%NOT NULL' ORDER BY TABLE_NAME, CONSTRAINT_TYPE, CONSTRAINT_NAME");
  ASSERT_EQ(keys.size(), 6u) << ::testing::PrintToString(keys);
  EXPECT_EQ(keys[0], (rows::value_type{"PARENT_NOTE_C", "C", "HEAD", "<null>", "<null>", "DISABLED", "NOT VALIDATED",
                                       "USER NAME", "<null>"}));
  EXPECT_EQ(keys[1], (rows::value_type{"PARENT_PK", "P", "HEAD", "<null>", "<null>", "ENABLED", "VALIDATED",
                                       "USER NAME", "PARENT_PK"}));
  EXPECT_TRUE(std::regex_match(keys[2][0], generated_name));
  EXPECT_EQ(keys[2][1], "U");
  EXPECT_EQ(keys[2][7], "GENERATED NAME");
  EXPECT_EQ(keys[2][8], keys[2][0]);
  EXPECT_EQ(keys[3][1], "C");
  EXPECT_EQ(keys[3][6], "NOT VALIDATED");
  EXPECT_EQ(keys[4], (rows::value_type{"CHILD_PK", "P", "LINE", "<null>", "<null>", "ENABLED", "VALIDATED",
                                       "USER NAME", "CHILD_PK"}));
  EXPECT_EQ(keys[5], (rows::value_type{"CHILD_PARENT_FK", "R", "LINE", "PARENT_PK", "CASCADE", "ENABLED",
                                       "VALIDATED", "USER NAME", "<null>"}));
  EXPECT_EQ(q("SELECT COLUMN_NAME, POSITION FROM USER_CONS_COLUMNS WHERE CONSTRAINT_NAME = 'CHILD_PARENT_FK'"),
            (rows{{"PARENT_ID", "1"}}));
  // Columns: added at the end, renamed, NOT NULL by MODIFY and by the primary key.
  EXPECT_EQ(q("SELECT COLUMN_NAME, NULLABLE, DATA_DEFAULT FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'LINE' ORDER BY COLUMN_ID"),
            (rows{{"ID", "N", "<null>"}, {"PARENT_ID", "Y", "<null>"}, {"QUANTITY", "N", "<null>"},
                  {"CREATED", "Y", "<null>"}, {"LABEL", "Y", "'new'"}}));
  EXPECT_EQ(q("SELECT TABLE_NAME FROM USER_TABLES ORDER BY TABLE_NAME"), (rows{{"HEAD"}, {"LINE"}}));
  EXPECT_EQ(q("SELECT LABEL FROM LINE"), (rows{{"new"}}));
  // The added constraints hold as Oracle's do.
  EXPECT_EQ(run("INSERT INTO head VALUES (1, 'B', NULL)"), "ORA-00001: unique constraint (SCOTT.PARENT_PK) violated");
  EXPECT_EQ(run("INSERT INTO head VALUES (NULL, 'B', NULL)"),
            "ORA-01400: cannot insert NULL into (\"SCOTT\".\"HEAD\".\"ID\")");
  EXPECT_EQ(run("INSERT INTO head VALUES (2, 'B', 'x')"), "");  // disabled
  EXPECT_EQ(run("INSERT INTO line (id, parent_id, quantity) VALUES (11, 9, 1)"),
            "ORA-02291: integrity constraint (SCOTT.CHILD_PARENT_FK) violated - parent key not found");
  EXPECT_EQ(run("INSERT INTO line (id, parent_id, quantity) VALUES (11, 1, 0)"),
            "ORA-02290: check constraint (SCOTT." + keys[3][0] + ") violated");
  EXPECT_EQ(run("UPDATE line SET quantity = NULL"), "ORA-01407: cannot update (\"SCOTT\".\"LINE\".\"QUANTITY\") to NULL");
  EXPECT_EQ(run("ALTER TABLE head ENABLE CONSTRAINT parent_note_c"),
            "ORA-02293: cannot validate (SCOTT.PARENT_NOTE_C) - check constraint violated");
  EXPECT_EQ(run("ALTER TABLE head ENABLE NOVALIDATE CONSTRAINT parent_note_c"), "");
  EXPECT_EQ(run("INSERT INTO head VALUES (3, 'C', 'x')"), "ORA-02290: check constraint (SCOTT.PARENT_NOTE_C) violated");
  EXPECT_EQ(run("DELETE FROM head WHERE id = 1"), "");  // ON DELETE CASCADE
  EXPECT_EQ(q("SELECT COUNT(*) FROM line"), (rows{{"0"}}));
  EXPECT_EQ(run("ALTER TABLE line DROP CONSTRAINT child_parent_fk"), "");
  EXPECT_EQ(run("INSERT INTO line (id, parent_id, quantity) VALUES (12, 99, 1)"), "");
  EXPECT_EQ(run("ALTER TABLE line ADD CONSTRAINT child_parent_fk FOREIGN KEY (parent_id) REFERENCES head"),
            "ORA-02298: cannot validate (SCOTT.CHILD_PARENT_FK) - parent keys not found");
  EXPECT_EQ(run("ALTER TABLE line ADD PRIMARY KEY (quantity)"), "ORA-02260: table can have only one primary key");
  EXPECT_EQ(run("ALTER TABLE head ADD CONSTRAINT dup_pk UNIQUE (id)"),
            "ORA-02261: such unique or primary key already exists in the table");
  EXPECT_EQ(run("ALTER TABLE line DROP CONSTRAINT no_such"), "ORA-02443: Cannot drop constraint  - nonexistent constraint");
  EXPECT_EQ(run("ALTER TABLE line ADD (id NUMBER)"), "ORA-01430: column being added already exists in table");
  // Constraints of CREATE TABLE are taken out of SQLite's table definition
  // when disabled or dropped, and kept by triggers when enabled again.
  EXPECT_EQ(run("CREATE TABLE t (a NUMBER(5,1) CONSTRAINT t_pk PRIMARY KEY, b VARCHAR2(5) NOT NULL, "
                "c NUMBER CONSTRAINT t_c CHECK (c > 0), d NUMBER REFERENCES head)"), "");
  EXPECT_EQ(run("ALTER TABLE t DISABLE CONSTRAINT t_c"), "");
  EXPECT_EQ(run("INSERT INTO t VALUES (1, 'x', -1, NULL)"), "");
  EXPECT_EQ(run("ALTER TABLE t ENABLE CONSTRAINT t_c"), "ORA-02293: cannot validate (SCOTT.T_C) - check constraint violated");
  EXPECT_EQ(run("DELETE FROM t"), "");
  EXPECT_EQ(run("ALTER TABLE t ENABLE CONSTRAINT t_c"), "");
  EXPECT_EQ(run("INSERT INTO t VALUES (1, 'x', -1, NULL)"), "ORA-02290: check constraint (SCOTT.T_C) violated");
  EXPECT_EQ(run("ALTER TABLE t MODIFY (b NULL)"), "");
  EXPECT_EQ(q("SELECT NULLABLE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'T' AND COLUMN_NAME = 'B'"), (rows{{"Y"}}));
  EXPECT_EQ(run("INSERT INTO t VALUES (1, NULL, 1, 2)"), "");
  rows fk = q("SELECT CONSTRAINT_NAME FROM USER_CONSTRAINTS WHERE TABLE_NAME = 'T' AND CONSTRAINT_TYPE = 'R'");
  ASSERT_EQ(fk.size(), 1u);
  EXPECT_EQ(run("ALTER TABLE t DROP CONSTRAINT " + fk[0][0]), "");
  EXPECT_EQ(run("INSERT INTO t VALUES (2, NULL, 1, 99)"), "");
  EXPECT_EQ(run("ALTER TABLE t DISABLE PRIMARY KEY"), "ORA-03001: unimplemented feature");
  // MODIFY: a longer text and another scale or default are made; shorter
  // than the rows, or another kind of type over rows, is refused as Oracle does.
  EXPECT_EQ(run("ALTER TABLE t MODIFY (b VARCHAR2(20) DEFAULT 'none', a NUMBER(6,2))"), "");
  EXPECT_EQ(run("INSERT INTO t (a, c) VALUES (3.456, 1)"), "");
  EXPECT_EQ(q("SELECT a, b FROM t WHERE c = 1 AND d IS NULL"), (rows{{"3.46", "none"}}));
  EXPECT_EQ(run("INSERT INTO t (a, b) VALUES (4, 'abcdefghijklmnopqrstu')"),
            "ORA-12899: value too large for column \"SCOTT\".\"T\".\"B\"");
  EXPECT_EQ(q("SELECT DATA_LENGTH, DATA_PRECISION, DATA_SCALE, DATA_DEFAULT FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'T' "
              "AND COLUMN_NAME IN ('A', 'B') ORDER BY COLUMN_ID"),
            (rows{{"22", "6", "2", "<null>"}, {"20", "<null>", "<null>", "'none'"}}));
  EXPECT_EQ(run("UPDATE t SET b = 'abcdefgh'"), "");
  EXPECT_EQ(run("ALTER TABLE t MODIFY b VARCHAR2(4)"), "ORA-01441: cannot decrease column length because some value is too big");
  EXPECT_EQ(run("ALTER TABLE t MODIFY b DATE"), "ORA-01439: column to be modified must be empty to change datatype");
  // An added column with an expression default fills the rows there; its
  // dates are read as dates.
  EXPECT_EQ(run("ALTER TABLE t ADD (made DATE DEFAULT SYSDATE, due DATE)"), "");
  EXPECT_EQ(q("SELECT COUNT(*) FROM t WHERE made IS NULL"), (rows{{"0"}}));
  EXPECT_EQ(run("UPDATE t SET due = '05-MAR-21'"), "");
  EXPECT_EQ(q("SELECT DISTINCT TO_CHAR(due, 'YYYY-MM-DD') FROM t"), (rows{{"2021-03-05"}}));
}

TEST_F(ddl_test, SequencesAndIdentityColumnsGenerateValues) {
  load(R"(
CREATE SEQUENCE order_seq START WITH 100 INCREMENT BY 10 MAXVALUE 120 NOCACHE NOCYCLE ORDER;
CREATE SEQUENCE ring_seq MINVALUE 1 MAXVALUE 3 CYCLE CACHE 2;
CREATE SEQUENCE down_seq INCREMENT BY -1;
CREATE TABLE orders (id NUMBER DEFAULT order_seq.NEXTVAL, ring NUMBER, note VARCHAR2(10));
INSERT INTO orders (ring) VALUES (ring_seq.NEXTVAL);
INSERT INTO orders VALUES (order_seq.NEXTVAL, ring_seq.NEXTVAL, 'two');
INSERT INTO orders (id, ring, note) SELECT 115, ring_seq.NEXTVAL, 'cur ' || order_seq.CURRVAL FROM dual;
INSERT INTO orders (id, ring) VALUES (down_seq.NEXTVAL, ring_seq.NEXTVAL);
CREATE TABLE items (
  item_id NUMBER GENERATED ALWAYS AS IDENTITY (START WITH 5 INCREMENT BY 5),
  code NUMBER GENERATED BY DEFAULT ON NULL AS IDENTITY,
  name VARCHAR2(10) DEFAULT ON NULL 'none');
INSERT INTO items (name) VALUES ('a');
INSERT INTO items (code, name) VALUES (NULL, NULL);
INSERT INTO items (code, name) VALUES (77, 'c');
)");
  connect();
  EXPECT_EQ(q("SELECT id, ring, note FROM orders"),
            (rows{{"100", "1", "<null>"}, {"110", "2", "two"}, {"115", "3", "cur 110"}, {"-1", "1", "<null>"}}));
  EXPECT_EQ(run("INSERT INTO orders (ring) VALUES (1)"), "");
  EXPECT_EQ(run("INSERT INTO orders (ring) VALUES (1)"),
            "ORA-08004: sequence ORDER_SEQ.NEXTVAL exceeds MAXVALUE and cannot be instantiated");
  EXPECT_EQ(run("SELECT ring_seq.CURRVAL FROM dual"), "ORA-08002: sequence RING_SEQ.CURRVAL is not yet defined in this session");
  EXPECT_EQ(q("SELECT ring_seq.NEXTVAL, ring_seq.CURRVAL FROM dual"), (rows{{"2", "2"}}));
  EXPECT_EQ(run("SELECT no_seq.NEXTVAL FROM dual"), "ORA-02289: sequence does not exist");
  // USER_SEQUENCES: Oracle's defaults for what is not given (an ascending
  // sequence has MINVALUE 1 whatever it starts with, CACHE 20; a descending
  // one MAXVALUE -1).
  EXPECT_EQ(q("SELECT SEQUENCE_NAME, MIN_VALUE, INCREMENT_BY, CYCLE_FLAG, ORDER_FLAG, CACHE_SIZE FROM USER_SEQUENCES "
              "WHERE SEQUENCE_NAME NOT LIKE 'ISEQ%' AND SEQUENCE_NAME <> 'DOWN_SEQ' ORDER BY SEQUENCE_NAME"),
            (rows{{"ORDER_SEQ", "1", "10", "N", "Y", "0"},
                  {"RING_SEQ", "1", "1", "Y", "N", "2"}}));
  EXPECT_EQ(q("SELECT MAX_VALUE FROM USER_SEQUENCES WHERE SEQUENCE_NAME IN ('DOWN_SEQ', 'ORDER_SEQ') ORDER BY 1"),
            (rows{{"-1"}, {"120"}}));
  // Identity: ALWAYS refuses a value, BY DEFAULT ON NULL fills a NULL; the
  // column is NOT NULL and draws from ISEQ$$_n, listed in USER_SEQUENCES.
  EXPECT_EQ(q("SELECT item_id, code, name FROM items"),
            (rows{{"5", "1", "a"}, {"10", "2", "none"}, {"15", "77", "c"}}));
  EXPECT_EQ(run("INSERT INTO items (item_id, name) VALUES (1, 'x')"),
            "ORA-32795: cannot insert into a generated always identity column");
  EXPECT_EQ(run("INSERT INTO items VALUES (1, 2, 'x')"), "ORA-32795: cannot insert into a generated always identity column");
  EXPECT_EQ(run("UPDATE items SET item_id = 3"), "ORA-32796: cannot update a generated always identity column");
  EXPECT_EQ(run("UPDATE items SET name = NULL"), "ORA-01407: cannot update (\"SCOTT\".\"ITEMS\".\"NAME\") to NULL");
  rows identity = q("SELECT COLUMN_NAME, GENERATION_TYPE, SEQUENCE_NAME FROM USER_TAB_IDENTITY_COLS ORDER BY COLUMN_NAME");
  ASSERT_EQ(identity.size(), 2u);
  EXPECT_EQ(identity[0][0], "CODE");
  EXPECT_EQ(identity[0][1], "BY DEFAULT");
  EXPECT_EQ(identity[1][1], "ALWAYS");
  EXPECT_TRUE(std::regex_match(identity[1][2], std::regex(R"(ISEQ\$\$_[0-9]+)"))) << identity[1][2];
  EXPECT_EQ(q("SELECT INCREMENT_BY FROM USER_SEQUENCES WHERE SEQUENCE_NAME = '" + identity[1][2] + "'"), (rows{{"5"}}));
  EXPECT_EQ(q("SELECT COLUMN_NAME, NULLABLE, IDENTITY_COLUMN, DATA_DEFAULT FROM USER_TAB_COLUMNS WHERE "
              "TABLE_NAME = 'ITEMS' ORDER BY COLUMN_ID"),
            (rows{{"ITEM_ID", "N", "YES", "\"SCOTT\".\"" + identity[1][2] + "\".nextval"},
                  {"CODE", "N", "YES", "\"SCOTT\".\"" + identity[0][2] + "\".nextval"},
                  {"NAME", "N", "NO", "'none'"}}));
  EXPECT_EQ(run("DROP SEQUENCE order_seq"), "");
  EXPECT_EQ(run("DROP SEQUENCE order_seq"), "ORA-02289: sequence does not exist");
  EXPECT_EQ(script_error("CREATE SEQUENCE s START WITH 0;"), "Error at line 1:\nORA-04006: START WITH cannot be less than MINVALUE\n");
  EXPECT_EQ(script_error("CREATE SEQUENCE s INCREMENT BY 0;"), "Error at line 1:\nORA-04002: INCREMENT must be a nonzero integer\n");
}

TEST_F(ddl_test, ViewsAreStoredListedAndQueried) {
  load(R"(
CREATE TABLE emp (id NUMBER PRIMARY KEY, name VARCHAR2(20), dept NUMBER);
INSERT INTO emp VALUES (1, 'Ann', 10);
INSERT INTO emp VALUES (2, 'Bob', 20);
CREATE VIEW emp_v (emp_id, emp_name) AS SELECT id, name FROM emp WHERE dept = 10;
CREATE OR REPLACE VIEW emp_v (emp_id, emp_name) AS SELECT id, UPPER(name) FROM emp;
CREATE OR REPLACE FORCE VIEW later_v (a, b) AS SELECT x, y FROM not_yet;
COMMENT ON TABLE emp_v IS 'Every employee';
CREATE VIEW first_v AS SELECT id FROM emp WHERE ROWNUM < 2;
CREATE VIEW outer_v AS SELECT a.id, b.name FROM emp a, emp b WHERE a.dept = b.id(+);
CREATE OR REPLACE NO FORCE EDITIONABLE VIEW scott.ro_v AS SELECT id FROM emp WITH CHECK OPTION CONSTRAINT ro_v_c;
)");
  connect();
  EXPECT_EQ(q("SELECT emp_id, emp_name FROM emp_v ORDER BY 1"), (rows{{"1", "ANN"}, {"2", "BOB"}}));
  // USER_VIEWS keeps the text after AS; a view is an object of type VIEW, never a table.
  EXPECT_EQ(q("SELECT VIEW_NAME, TEXT FROM USER_VIEWS ORDER BY 1"),
            (rows{{"EMP_V", "SELECT id, UPPER(name) FROM emp"},
                  {"FIRST_V", "SELECT id FROM emp WHERE ROWNUM < 2"},
                  {"LATER_V", "SELECT x, y FROM not_yet"},
                  {"OUTER_V", "SELECT a.id, b.name FROM emp a, emp b WHERE a.dept = b.id(+)"},
                  {"RO_V", "SELECT id FROM emp WITH CHECK OPTION CONSTRAINT ro_v_c"}}));
  EXPECT_EQ(q("SELECT COUNT(*) FROM ro_v"), (rows{{"2"}}));
  EXPECT_EQ(q("SELECT TABLE_NAME FROM USER_TABLES"), (rows{{"EMP"}}));
  EXPECT_EQ(q("SELECT OBJECT_NAME, OBJECT_TYPE, STATUS FROM USER_OBJECTS WHERE OBJECT_TYPE IN ('VIEW', 'TABLE') "
              "ORDER BY OBJECT_NAME"),
            (rows{{"EMP", "TABLE", "VALID"}, {"EMP_V", "VIEW", "VALID"}, {"FIRST_V", "VIEW", "VALID"},
                  {"LATER_V", "VIEW", "INVALID"}, {"OUTER_V", "VIEW", "VALID"}, {"RO_V", "VIEW", "VALID"}}));
  EXPECT_EQ(q("SELECT TABLE_TYPE, COMMENTS FROM USER_TAB_COMMENTS WHERE TABLE_NAME = 'EMP_V'"),
            (rows{{"VIEW", "Every employee"}}));
  // A view made with FORCE over what is missing has errors when read (ORA-04063).
  EXPECT_EQ(run("SELECT a FROM later_v"), "ORA-04063: view \"SCOTT.LATER_V\" has errors");
  // Views Oracle takes but whose query ocilite cannot run (ROWNUM, the (+)
  // outer join) are kept, and a query of them fails as that query would.
  EXPECT_EQ(run("SELECT * FROM first_v"), "ORA-00904: \"ROWNUM\": invalid identifier");
  EXPECT_EQ(run("SELECT * FROM outer_v"), "ORA-00933: SQL command not properly ended");
  EXPECT_EQ(script_error("CREATE VIEW v AS SELECT x FROM missing;"), "Error at line 1:\nORA-00942: table or view does not exist\n");
  EXPECT_EQ(run("DROP VIEW later_v"), "");
  EXPECT_EQ(q("SELECT COUNT(*) FROM USER_OBJECTS WHERE OBJECT_NAME = 'LATER_V'"), (rows{{"0"}}));
}

TEST_F(ddl_test, ToDateFormatModelsAndSessionFormats) {
  load(R"(
CREATE TABLE d (n NUMBER, d DATE, t TIMESTAMP(6));
INSERT INTO d VALUES (1, TO_DATE('31-JAN-2020 11:05:09 PM', 'DD-MON-YYYY HH:MI:SS AM'), NULL);
INSERT INTO d VALUES (2, TO_DATE('Friday, 31 January 20', 'Day, DD Month RR'), NULL);
INSERT INTO d VALUES (3, TO_DATE('Year 2021 mon 03 day 05', '"Year" YYYY "mon" MM "day" DD'), NULL);
INSERT INTO d VALUES (4, TO_DATE('98/12/31 00:00', 'YY/MM/DD HH24:MI'), TO_TIMESTAMP('2020-01-31 23:05:09.123', 'YYYY-MM-DD HH24:MI:SS.FF3'));
INSERT INTO d VALUES (5, TO_DATE('5 Feb 1950 12:30 AM', 'DD MON YYYY HH12:MI PM'), TIMESTAMP '2020-01-31 10:00:00.5');
INSERT INTO d VALUES (6, DATE '2020-01-31', TO_TIMESTAMP('Mon 03-FEB-2020 10.11.12.5 PM', 'DY DD-MON-YYYY HH.MI.SSXFF AM'));
ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI';
INSERT INTO d VALUES (7, '1999-12-31 10:30', NULL);
INSERT INTO d VALUES (8, TO_DATE('1998-01-02 11:00'), NULL);
INSERT INTO d (n, d) SELECT 9, SYSDATE FROM dual;
COMMIT;
ROLLBACK;
)");
  connect();
  EXPECT_EQ(q("SELECT n, TO_CHAR(d, 'YYYY-MM-DD HH24:MI:SS'), TO_CHAR(t, 'YYYY-MM-DD HH24:MI:SS.FF3') FROM d WHERE n < 9 "
              "ORDER BY n"),
            (rows{{"1", "2020-01-31 23:05:09", "<null>"},
                  {"2", "2020-01-31 00:00:00", "<null>"},
                  {"3", "2021-03-05 00:00:00", "<null>"},
                  {"4", "2098-12-31 00:00:00", "2020-01-31 23:05:09.123"},
                  {"5", "1950-02-05 00:30:00", "2020-01-31 10:00:00.500"},
                  {"6", "2020-01-31 00:00:00", "2020-02-03 22:11:12.500"},
                  {"7", "1999-12-31 10:30:00", "<null>"},
                  {"8", "1998-01-02 11:00:00", "<null>"}}));
  EXPECT_EQ(q("SELECT COUNT(*) FROM d WHERE n = 9 AND d IS NOT NULL"), (rows{{"1"}}));
  // A new session has the default format again; this one sets its own.
  EXPECT_EQ(q("SELECT TO_CHAR(d) FROM d WHERE n = 7"), (rows{{"31-DEC-99"}}));
  EXPECT_EQ(run("ALTER SESSION SET NLS_DATE_FORMAT = 'DD.MM.YYYY'"), "");
  EXPECT_EQ(q("SELECT d FROM d WHERE n = 7"), (rows{{"31.12.1999"}}));
  EXPECT_EQ(run("ALTER SESSION SET CURRENT_SCHEMA = SCOTT"), "");
  EXPECT_EQ(run("ALTER SESSION SET CURRENT_SCHEMA = HR"), "ORA-01435: user does not exist");
  EXPECT_EQ(run("ALTER SESSION SET NLS_NUMERIC_CHARACTERS = ',.'"), "ORA-03001: unimplemented feature");
  EXPECT_EQ(run("INSERT INTO d (d) VALUES (TO_DATE('Tue 31-JAN-2020', 'DY DD-MON-YYYY'))"),
            "ORA-01835: day of week conflicts with Julian date");
  EXPECT_EQ(run("INSERT INTO d (d) VALUES (TO_DATE('2020-01-31 10', 'YYYY-MM-DD'))"),
            "ORA-01861: literal does not match format string");
  EXPECT_EQ(run("INSERT INTO d (d) VALUES (TO_DATE('2020-13-01', 'YYYY-MM-DD'))"), "ORA-01843: not a valid month");
}

TEST_F(ddl_test, HumanResourcesSchemaAsOracleDescribesIt) {
  load(schema_file("hr.sql"));
  connect();
  EXPECT_EQ(q("SELECT TABLE_NAME, IOT_TYPE FROM USER_TABLES ORDER BY TABLE_NAME"),
            (rows{{"COUNTRIES", "IOT"}, {"DEPARTMENTS", "<null>"}, {"EMPLOYEES", "<null>"}, {"JOBS", "<null>"},
                  {"JOB_HISTORY", "<null>"}, {"LOCATIONS", "<null>"}, {"REGIONS", "<null>"}}));
  // A key added over an existing unique index uses it: one index, named by the
  // CREATE INDEX, not generated; an index-organized table's key is 'IOT - TOP'.
  EXPECT_EQ(q("SELECT INDEX_NAME, INDEX_TYPE, UNIQUENESS, GENERATED FROM USER_INDEXES WHERE TABLE_NAME IN "
              "('REGIONS', 'COUNTRIES', 'EMPLOYEES') ORDER BY INDEX_NAME"),
            (rows{{"COUNTRY_C_ID_PK", "IOT - TOP", "UNIQUE", "N"}, {"EMP_EMAIL_UK", "NORMAL", "UNIQUE", "N"},
                  {"EMP_EMP_ID_PK", "NORMAL", "UNIQUE", "N"}, {"REG_ID_PK", "NORMAL", "UNIQUE", "N"}}));
  EXPECT_EQ(q("SELECT CONSTRAINT_NAME, R_CONSTRAINT_NAME, DELETE_RULE, STATUS, INDEX_NAME FROM USER_CONSTRAINTS "
              "WHERE TABLE_NAME = 'EMPLOYEES' AND CONSTRAINT_TYPE IN ('P', 'R') ORDER BY CONSTRAINT_NAME"),
            (rows{{"EMP_DEPT_FK", "DEPT_ID_PK", "NO ACTION", "ENABLED", "<null>"},
                  {"EMP_EMP_ID_PK", "<null>", "<null>", "ENABLED", "EMP_EMP_ID_PK"},
                  {"EMP_JOB_FK", "JOB_ID_PK", "NO ACTION", "ENABLED", "<null>"},
                  {"EMP_MANAGER_FK", "EMP_EMP_ID_PK", "NO ACTION", "ENABLED", "<null>"}}));
  EXPECT_EQ(q("SELECT STATUS, VALIDATED FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = 'DEPT_MGR_FK'"),
            (rows{{"ENABLED", "VALIDATED"}}));
  EXPECT_EQ(q("SELECT COLUMN_NAME, POSITION FROM USER_CONS_COLUMNS WHERE CONSTRAINT_NAME = 'JHIST_EMP_ID_ST_DATE_PK' "
              "ORDER BY POSITION"),
            (rows{{"EMPLOYEE_ID", "1"}, {"START_DATE", "2"}}));
  EXPECT_EQ(q("SELECT SEARCH_CONDITION FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = 'EMP_LAST_NAME_NN'"),
            (rows{{"\"LAST_NAME\" IS NOT NULL"}}));
  // Rows numbered by the sequences; LAST_NUMBER is the next number of a NOCACHE sequence.
  EXPECT_EQ(q("SELECT location_id, city FROM locations ORDER BY 1"),
            (rows{{"1300", "London"}, {"1400", "Roma"}, {"1500", "Southlake"}}));
  EXPECT_EQ(q("SELECT SEQUENCE_NAME, LAST_NUMBER FROM USER_SEQUENCES ORDER BY 1"),
            (rows{{"DEPARTMENTS_SEQ", "310"}, {"EMPLOYEES_SEQ", "208"}, {"LOCATIONS_SEQ", "1600"}}));
  EXPECT_EQ(q("SELECT employee_id, TO_CHAR(hire_date, 'YYYY-MM-DD'), department_id FROM employees ORDER BY 1"),
            (rows{{"200", "2003-09-17", "280"}, {"201", "2004-02-17", "290"}, {"207", "2005-08-17", "300"}}));
  EXPECT_EQ(q("SELECT employee_id, TO_CHAR(start_date, 'YYYY-MM-DD HH24:MI') FROM job_history ORDER BY 1"),
            (rows{{"201", "2001-02-17 00:00"}, {"207", "2004-01-01 08:30"}}));
  EXPECT_EQ(q("SELECT last_name, city, region_name FROM emp_details_view ORDER BY employee_id"),
            (rows{{"Whalen", "London", "Europe"}, {"Hartstein", "Roma", "Europe"}, {"Fay", "Southlake", "Americas"}}));
  EXPECT_EQ(q("SELECT COMMENTS FROM USER_TAB_COMMENTS WHERE TABLE_NAME IN ('REGIONS', 'JOBS') ORDER BY TABLE_NAME"),
            (rows{{"<null>"}, {"Regions, each holding a number of countries."}}));
  EXPECT_EQ(q("SELECT COLUMN_NAME, COMMENTS FROM USER_COL_COMMENTS WHERE TABLE_NAME = 'EMPLOYEES' AND COMMENTS IS NOT NULL "
              "ORDER BY COLUMN_NAME"),
            (rows{{"COMMISSION_PCT", "Share of sales paid as commission."},
                  {"SALARY", "Monthly salary; must be more than zero."}}));
  // Stored code: an object with status VALID and its lines from the unit's kind on.
  EXPECT_EQ(q("SELECT OBJECT_NAME, OBJECT_TYPE, STATUS FROM USER_OBJECTS WHERE OBJECT_TYPE IN ('PROCEDURE', 'TRIGGER') "
              "ORDER BY 1"),
            (rows{{"ADD_JOB_HISTORY", "PROCEDURE", "VALID"}, {"UPDATE_JOB_HISTORY", "TRIGGER", "VALID"}}));
  EXPECT_EQ(q("SELECT LINE, TEXT FROM USER_SOURCE WHERE NAME = 'UPDATE_JOB_HISTORY' AND LINE IN (1, 5)"),
            (rows{{"1", "TRIGGER update_job_history\n"}, {"5", "  add_job_history(:old.employee_id, :old.hire_date, "
                                                                "sysdate, :old.job_id, :old.department_id);\n"}}));
  EXPECT_EQ(q("SELECT COUNT(*) FROM USER_SOURCE WHERE NAME = 'ADD_JOB_HISTORY' AND TYPE = 'PROCEDURE'"), (rows{{"12"}}));
  // The trigger does not fire: the update leaves job_history as it was.
  EXPECT_EQ(run("UPDATE employees SET job_id = 'MK_MAN' WHERE employee_id = 207"), "");
  EXPECT_EQ(q("SELECT COUNT(*) FROM job_history"), (rows{{"2"}}));
  EXPECT_EQ(run("DELETE FROM departments WHERE department_id = 280"),
            "ORA-02292: integrity constraint (SCOTT.EMP_DEPT_FK) violated - child record found");
  EXPECT_EQ(run("DROP PROCEDURE add_job_history"), "");
  EXPECT_EQ(run("DROP TRIGGER add_job_history"), "ORA-04080: trigger 'ADD_JOB_HISTORY' does not exist");
  EXPECT_EQ(run("DROP TABLE regions"), "ORA-02449: unique/primary keys in table referenced by foreign keys");
  EXPECT_EQ(run("DROP TABLE regions CASCADE CONSTRAINTS"), "");
  EXPECT_EQ(q("SELECT COUNT(*) FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = 'COUNTR_REG_FK'"), (rows{{"0"}}));
  EXPECT_EQ(run("INSERT INTO countries VALUES ('FR', 'France', 9)"), "");
}

TEST_F(ddl_test, OrderEntrySchemaWithIdentityJsonAndFunctionBasedIndexes) {
  load(schema_file("oe.sql"));
  connect();
  EXPECT_EQ(q("SELECT TABLE_NAME FROM USER_TABLES ORDER BY 1"),
            (rows{{"CUSTOMERS"}, {"ORDERS"}, {"ORDER_ITEMS"}, {"PRODUCTS"}, {"STORES"}}));
  EXPECT_EQ(q("SELECT store_id, store_name FROM stores ORDER BY 1"), (rows{{"10", "Online"}, {"20", "San Francisco"}}));
  EXPECT_EQ(q("SELECT order_id, order_status, store_id FROM orders ORDER BY 1"),
            (rows{{"1", "COMPLETE", "10"}, {"2", "OPEN", "20"}}));
  EXPECT_EQ(q("SELECT order_id, order_total FROM customer_order_products ORDER BY 1"),
            (rows{{"1", "86.88"}, {"2", "50"}}));
  EXPECT_EQ(q("SELECT COUNT(*) FROM products WHERE product_details IS JSON"), (rows{{"2"}}));
  EXPECT_EQ(run("INSERT INTO products (product_name, product_details) VALUES ('x', UTL_RAW.CAST_TO_RAW('{\"a\":'))"),
            "ORA-02290: check constraint (SCOTT.PRODUCTS_JSON_C) violated");
  // A DESC column and an expression are hidden columns SYS_NCnnnnn$ of a
  // 'FUNCTION-BASED NORMAL' index, numbered after the table's columns; their
  // expressions are in USER_IND_EXPRESSIONS.
  EXPECT_EQ(q("SELECT i.INDEX_NAME, i.INDEX_TYPE, c.COLUMN_NAME, c.COLUMN_POSITION, c.DESCEND FROM USER_INDEXES i, "
              "USER_IND_COLUMNS c WHERE i.INDEX_NAME = c.INDEX_NAME AND i.INDEX_NAME IN ('CUSTOMERS_NAME_I', "
              "'ORDERS_DATE_I') ORDER BY 1, 4"),
            (rows{{"CUSTOMERS_NAME_I", "FUNCTION-BASED NORMAL", "SYS_NC00004$", "1", "ASC"},
                  {"ORDERS_DATE_I", "FUNCTION-BASED NORMAL", "SYS_NC00006$", "1", "DESC"},
                  {"ORDERS_DATE_I", "FUNCTION-BASED NORMAL", "ORDER_ID", "2", "ASC"}}));
  EXPECT_EQ(q("SELECT INDEX_NAME, COLUMN_EXPRESSION, COLUMN_POSITION FROM USER_IND_EXPRESSIONS ORDER BY 1"),
            (rows{{"CUSTOMERS_NAME_I", "UPPER(\"FULL_NAME\")", "1"}, {"ORDERS_DATE_I", "\"ORDER_DATETIME\"", "1"}}));
  EXPECT_EQ(q("SELECT COUNT(*) FROM USER_TAB_IDENTITY_COLS"), (rows{{"4"}}));
  EXPECT_EQ(q("SELECT \"DEFERRABLE\", DEFERRED FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = 'ORDERS_STORE_ID_FK'"),
            (rows{{"DEFERRABLE", "DEFERRED"}}));
  EXPECT_EQ(q("SELECT COUNT(*) FROM USER_OBJECTS WHERE OBJECT_TYPE = 'SEQUENCE' AND GENERATED = 'Y'"), (rows{{"4"}}));
  EXPECT_EQ(run("DELETE FROM customers WHERE customer_id = 1"), "");  // cascades to orders and their items
  EXPECT_EQ(q("SELECT COUNT(*) FROM order_items"), (rows{{"1"}}));
  // What ocilite cannot keep is refused with Oracle's error.
  EXPECT_EQ(script_error("CREATE TABLE t (a NUMBER, b NUMBER INVISIBLE);"), "Error at line 1:\nORA-03001: unimplemented feature\n");
  EXPECT_EQ(script_error("CREATE TABLE t (a NUMBER) ORGANIZATION INDEX;"),
            "Error at line 1:\nORA-25175: no PRIMARY KEY constraint found\n");
}
