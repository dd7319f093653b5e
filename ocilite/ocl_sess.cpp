#include "ocilite/ocl_sess.h"

#include <sys/stat.h>

#include <cstdio>

#include "ocilite/ocl_func.h"
#include "ocilite/ocl_nls.h"
#include "ocilite/ocl_seq.h"

namespace ocl {

namespace {

// The catalog tables have no keys: their rows keep the order they were
// written in, which is the order the dictionary answers in (columns by
// position, tables by creation), as the catalog reader expects. Names are
// described as 128 bytes, Oracle's limit; files made when the limit was 30
// keep describing 30.
const char* const catalog_schema =
    "CREATE TABLE \"OCILITE$ACCOUNT\"(PASSWORD TEXT NOT NULL, LOCKED INTEGER NOT NULL DEFAULT 0,"
    " NEXT_SYS_C INTEGER NOT NULL DEFAULT 10001);"
    "CREATE TABLE \"OCILITE$TABLES\"(TABLE_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " TEMPORARY VARCHAR2 BYTE(1), NESTED VARCHAR2 BYTE(3), IOT_TYPE VARCHAR2 BYTE(12));"
    "CREATE TABLE \"OCILITE$VIEWS\"(VIEW_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " TEXT_LENGTH NUMBER, TEXT LONG TEXT);"
    "CREATE TABLE \"OCILITE$COLUMNS\"(TABLE_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " COLUMN_NAME VARCHAR2 BYTE(128) NOT NULL, DATA_TYPE VARCHAR2 BYTE(106),"
    " DATA_LENGTH NUMBER NOT NULL, DATA_PRECISION NUMBER, DATA_SCALE NUMBER,"
    " NULLABLE VARCHAR2 BYTE(1), COLUMN_ID NUMBER, DEFAULT_LENGTH NUMBER, DATA_DEFAULT LONG TEXT,"
    " CHAR_LENGTH NUMBER, CHAR_USED VARCHAR2 BYTE(1));"
    "CREATE TABLE \"OCILITE$CONSTRAINTS\"(CONSTRAINT_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " CONSTRAINT_TYPE VARCHAR2 BYTE(1), TABLE_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " SEARCH_CONDITION LONG TEXT, R_OWNER VARCHAR2 BYTE(128), R_CONSTRAINT_NAME VARCHAR2 BYTE(128),"
    " DELETE_RULE VARCHAR2 BYTE(9), STATUS VARCHAR2 BYTE(8), \"DEFERRABLE\" VARCHAR2 BYTE(14),"
    " DEFERRED VARCHAR2 BYTE(9), VALIDATED VARCHAR2 BYTE(13), GENERATED VARCHAR2 BYTE(14),"
    " INDEX_NAME VARCHAR2 BYTE(128));"
    "CREATE TABLE \"OCILITE$CONS_COLUMNS\"(CONSTRAINT_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " TABLE_NAME VARCHAR2 BYTE(128) NOT NULL, COLUMN_NAME VARCHAR2 BYTE(4000), POSITION NUMBER);"
    "CREATE TABLE \"OCILITE$INDEXES\"(INDEX_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " INDEX_TYPE VARCHAR2 BYTE(27), TABLE_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " TABLE_TYPE VARCHAR2 BYTE(11), UNIQUENESS VARCHAR2 BYTE(9), GENERATED VARCHAR2 BYTE(1));"
    "CREATE TABLE \"OCILITE$IND_COLUMNS\"(INDEX_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " TABLE_NAME VARCHAR2 BYTE(128) NOT NULL, COLUMN_NAME VARCHAR2 BYTE(4000),"
    " COLUMN_POSITION NUMBER NOT NULL, COLUMN_LENGTH NUMBER NOT NULL, CHAR_LENGTH NUMBER,"
    " DESCEND VARCHAR2 BYTE(4));";

// Catalog tables added since the first schema files: made when a session
// opens a file that lacks them.
const char* const later_catalog =
    "CREATE TABLE IF NOT EXISTS \"OCILITE$SEQUENCES\"(SEQUENCE_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " MIN_VALUE NUMBER, MAX_VALUE NUMBER, INCREMENT_BY NUMBER NOT NULL, CYCLE_FLAG VARCHAR2 BYTE(1),"
    " ORDER_FLAG VARCHAR2 BYTE(1), CACHE_SIZE NUMBER NOT NULL, LAST_NUMBER NUMBER NOT NULL,"
    " NEXT_VALUE NUMBER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS \"OCILITE$OBJECTS\"(OBJECT_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " OBJECT_TYPE VARCHAR2 BYTE(23) NOT NULL, STATUS VARCHAR2 BYTE(7), CREATED DATE);"
    "CREATE TABLE IF NOT EXISTS \"OCILITE$SOURCE\"(NAME VARCHAR2 BYTE(128) NOT NULL,"
    " TYPE VARCHAR2 BYTE(12) NOT NULL, LINE NUMBER NOT NULL, TEXT VARCHAR2 BYTE(4000));"
    "CREATE TABLE IF NOT EXISTS \"OCILITE$COMMENTS\"(TABLE_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " COLUMN_NAME VARCHAR2 BYTE(128), COMMENTS VARCHAR2 BYTE(4000));"
    "CREATE TABLE IF NOT EXISTS \"OCILITE$IND_EXPRESSIONS\"(INDEX_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " TABLE_NAME VARCHAR2 BYTE(128) NOT NULL, COLUMN_EXPRESSION LONG TEXT, COLUMN_POSITION NUMBER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS \"OCILITE$IDENTITY\"(TABLE_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " COLUMN_NAME VARCHAR2 BYTE(128) NOT NULL, GENERATION_TYPE VARCHAR2 BYTE(10),"
    " SEQUENCE_NAME VARCHAR2 BYTE(128), IDENTITY_OPTIONS VARCHAR2 BYTE(298));"
    // Constraints ocilite enforces with triggers (added by ALTER TABLE, or
    // enabled later) rather than in the SQLite table's definition.
    "CREATE TABLE IF NOT EXISTS \"OCILITE$ENFORCED\"(CONSTRAINT_NAME VARCHAR2 BYTE(128) NOT NULL,"
    " OWN_INDEX VARCHAR2 BYTE(128));";

std::string quote_literal(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

// The dictionary as the user sees it, rebuilt for every session.
std::string dictionary_views(const session& s) {
  const std::string owner = quote_literal(s.user);
  std::string sql =
      "CREATE TEMP VIEW USER_TABLES AS SELECT TABLE_NAME, TEMPORARY, NESTED, IOT_TYPE"
      " FROM \"OCILITE$TABLES\";"
      "CREATE TEMP VIEW USER_VIEWS AS SELECT VIEW_NAME, TEXT_LENGTH, TEXT FROM \"OCILITE$VIEWS\";"
      "CREATE TEMP VIEW USER_TAB_COLUMNS AS SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE,"
      " DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE, COLUMN_ID, DEFAULT_LENGTH,"
      " DATA_DEFAULT, CHAR_LENGTH, CHAR_USED, CASE WHEN EXISTS (SELECT 1 FROM \"OCILITE$IDENTITY\" i"
      " WHERE i.TABLE_NAME = c.TABLE_NAME AND i.COLUMN_NAME = c.COLUMN_NAME) THEN 'YES' ELSE 'NO' END"
      " AS IDENTITY_COLUMN FROM \"OCILITE$COLUMNS\" c;"
      "CREATE TEMP VIEW USER_TAB_IDENTITY_COLS AS SELECT TABLE_NAME, COLUMN_NAME, GENERATION_TYPE,"
      " SEQUENCE_NAME, IDENTITY_OPTIONS FROM \"OCILITE$IDENTITY\";"
      "CREATE TEMP VIEW USER_SEQUENCES AS SELECT SEQUENCE_NAME, MIN_VALUE, MAX_VALUE, INCREMENT_BY,"
      " CYCLE_FLAG, ORDER_FLAG, CACHE_SIZE, LAST_NUMBER FROM \"OCILITE$SEQUENCES\";"
      "CREATE TEMP VIEW USER_SOURCE AS SELECT NAME, TYPE, LINE, TEXT FROM \"OCILITE$SOURCE\";"
      "CREATE TEMP VIEW USER_IND_EXPRESSIONS AS SELECT INDEX_NAME, TABLE_NAME, COLUMN_EXPRESSION,"
      " COLUMN_POSITION FROM \"OCILITE$IND_EXPRESSIONS\";"
      "CREATE TEMP VIEW USER_TAB_COMMENTS AS"
      " SELECT TABLE_NAME, 'TABLE' AS TABLE_TYPE, (SELECT COMMENTS FROM \"OCILITE$COMMENTS\" m WHERE"
      " m.TABLE_NAME = t.TABLE_NAME AND m.COLUMN_NAME IS NULL) AS COMMENTS FROM \"OCILITE$TABLES\" t"
      " UNION ALL SELECT VIEW_NAME, 'VIEW', (SELECT COMMENTS FROM \"OCILITE$COMMENTS\" m WHERE"
      " m.TABLE_NAME = v.VIEW_NAME AND m.COLUMN_NAME IS NULL) FROM \"OCILITE$VIEWS\" v;"
      "CREATE TEMP VIEW USER_COL_COMMENTS AS SELECT TABLE_NAME, COLUMN_NAME, (SELECT COMMENTS FROM"
      " \"OCILITE$COMMENTS\" m WHERE m.TABLE_NAME = c.TABLE_NAME AND m.COLUMN_NAME = c.COLUMN_NAME)"
      " AS COMMENTS FROM \"OCILITE$COLUMNS\" c;"
      // Every object of the schema; views made with FORCE over what is missing are INVALID.
      "CREATE TEMP VIEW USER_OBJECTS AS"
      " SELECT TABLE_NAME AS OBJECT_NAME, NULL AS SUBOBJECT_NAME, 'TABLE' AS OBJECT_TYPE,"
      " 'VALID' AS STATUS, 'N' AS TEMPORARY, 'N' AS GENERATED FROM \"OCILITE$TABLES\""
      " UNION ALL SELECT VIEW_NAME, NULL, 'VIEW', COALESCE((SELECT STATUS FROM \"OCILITE$OBJECTS\" o"
      " WHERE o.OBJECT_NAME = v.VIEW_NAME AND o.OBJECT_TYPE = 'VIEW'), 'VALID'), 'N', 'N'"
      " FROM \"OCILITE$VIEWS\" v"
      " UNION ALL SELECT INDEX_NAME, NULL, 'INDEX', 'VALID', 'N', GENERATED FROM \"OCILITE$INDEXES\""
      " UNION ALL SELECT SEQUENCE_NAME, NULL, 'SEQUENCE', 'VALID', 'N',"
      " CASE WHEN SEQUENCE_NAME LIKE 'ISEQ$$!_%' ESCAPE '!' THEN 'Y' ELSE 'N' END"
      " FROM \"OCILITE$SEQUENCES\""
      " UNION ALL SELECT OBJECT_NAME, NULL, OBJECT_TYPE, STATUS, 'N', 'N' FROM \"OCILITE$OBJECTS\""
      " WHERE OBJECT_TYPE <> 'VIEW';"
      "CREATE TEMP VIEW USER_CONSTRAINTS AS SELECT " + owner + " AS OWNER, CONSTRAINT_NAME,"
      " CONSTRAINT_TYPE, TABLE_NAME, SEARCH_CONDITION, R_OWNER, R_CONSTRAINT_NAME, DELETE_RULE,"
      " STATUS, \"DEFERRABLE\", DEFERRED, VALIDATED, GENERATED, INDEX_NAME"
      " FROM \"OCILITE$CONSTRAINTS\";"
      "CREATE TEMP VIEW USER_CONS_COLUMNS AS SELECT " + owner + " AS OWNER, CONSTRAINT_NAME,"
      " TABLE_NAME, COLUMN_NAME, POSITION FROM \"OCILITE$CONS_COLUMNS\";"
      "CREATE TEMP VIEW USER_INDEXES AS SELECT INDEX_NAME, INDEX_TYPE, " + owner +
      " AS TABLE_OWNER, TABLE_NAME, TABLE_TYPE, UNIQUENESS, GENERATED FROM \"OCILITE$INDEXES\";"
      "CREATE TEMP VIEW USER_IND_COLUMNS AS SELECT INDEX_NAME, TABLE_NAME, COLUMN_NAME,"
      " COLUMN_POSITION, COLUMN_LENGTH, CHAR_LENGTH, DESCEND FROM \"OCILITE$IND_COLUMNS\";"
      "CREATE TEMP TABLE DUAL(DUMMY VARCHAR2 BYTE(1));"
      "INSERT INTO DUAL VALUES('X');"
      "CREATE TEMP TABLE \"V$VERSION\"(BANNER VARCHAR2 BYTE(80));";
  for (const std::string& line : s.banner)
    sql += "INSERT INTO \"V$VERSION\" VALUES(" + quote_literal(line) + ");";
  return sql;
}

std::unique_ptr<session> open_file(const std::string& path, const std::string& user,
                                   oracle_error& error) {
  error = make_error(1017);
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  auto s = std::make_unique<session>();
  s->user = user;
  if (sqlite3_open_v2(path.c_str(), &s->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
    return nullptr;
  sqlite3_busy_timeout(s->db, 5000);
  // A quoted name that names nothing is an error in Oracle; SQLite would take
  // it for a string.
  sqlite3_db_config(s->db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_stmt* probe = nullptr;
  if (sqlite3_prepare_v2(s->db, "SELECT PASSWORD, LOCKED FROM \"OCILITE$ACCOUNT\"", -1, &probe,
                         nullptr) != SQLITE_OK) {
    sqlite3_finalize(probe);
    return nullptr;  // not a schema file, or a damaged one
  }
  sqlite3_finalize(probe);
  error = oracle_error();
  return s;
}

bool prepare_session(session& s, oracle_error& error) {
  register_functions(s.db, s.user);
  register_sequence_functions(s.db);
  // Oracle's LIKE, unlike SQLite's, tells upper from lower case.
  // A file that cannot be written to (made before these tables, and read
  // only) gets them empty for the session.
  oracle_error ignored;
  if (!run_sql(s, later_catalog, ignored)) {
    std::string temporary = later_catalog;
    for (size_t at; (at = temporary.find("CREATE TABLE")) != std::string::npos;)
      temporary.replace(at, 12, "CREATE TEMP TABLE");
    run_sql(s, temporary, ignored);
  }
  return run_sql(s, "PRAGMA foreign_keys=ON; PRAGMA case_sensitive_like=ON;" + dictionary_views(s), error);
}

}  // namespace

session::~session() {
  if (db) forget_nls(db);
  if (db) sqlite3_close_v2(db);
}

std::string session::next_constraint_name() {
  sqlite3_int64 next = 10001;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT NEXT_SYS_C FROM \"OCILITE$ACCOUNT\"", -1, &st, nullptr) ==
          SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    next = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  sqlite3_exec(db, "UPDATE \"OCILITE$ACCOUNT\" SET NEXT_SYS_C = NEXT_SYS_C + 1", nullptr,
               nullptr, nullptr);
  char name[32];
  std::snprintf(name, sizeof name, "SYS_C%07lld", (long long)next % 10000000);
  return name;
}

std::vector<std::string> default_banner() {
  return {"Oracle Database 11g Release 11.2.0.1.0 - 64bit Production",
          "PL/SQL Release 11.2.0.1.0 - Production",
          "CORE\t11.2.0.1.0\tProduction",
          "TNS for Linux: Version 11.2.0.1.0 - Production",
          "NLSRTL Version 11.2.0.1.0 - Production"};
}

bool normalize_user_name(const std::string& written, std::string& name) {
  name.clear();
  if (written.size() >= 2 && written.front() == '"' && written.back() == '"') {
    name = written.substr(1, written.size() - 2);
  } else {
    for (char c : written) name += (char)((c >= 'a' && c <= 'z') ? c - 32 : c);
  }
  if (name.empty() || name.size() > 128 || name == "." || name == "..") return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == '/' || c == '\\' || c == '"') return false;
  return true;
}

bool run_sql(session& s, const std::string& sql, oracle_error& error) {
  char* message = nullptr;
  if (sqlite3_exec(s.db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = error_from_sqlite(message ? message : "", s.user);
  sqlite3_free(message);
  return false;
}

bool create_user_file(const std::string& path, const std::string& user,
                      const std::string& password, oracle_error& error) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0) {
    error = make_error(1920, user);
    return false;
  }
  session s;
  s.user = user;
  if (sqlite3_open_v2(path.c_str(), &s.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) !=
      SQLITE_OK) {
    error = {1031, "ORA-01031: insufficient privileges (cannot create " + path + ")"};
    return false;
  }
  return run_sql(s, std::string("BEGIN;") + catalog_schema + later_catalog +
                        "INSERT INTO \"OCILITE$ACCOUNT\"(PASSWORD) VALUES(" +
                        quote_literal(password) + ");COMMIT;",
                 error);
}

std::unique_ptr<session> open_session(const std::string& path, const std::string& user,
                                      const std::string& password,
                                      const std::vector<std::string>& banner,
                                      oracle_error& error) {
  auto s = open_file(path, user, error);
  if (!s) return nullptr;
  s->banner = banner;
  sqlite3_stmt* st = nullptr;
  bool known = false, locked = false;
  if (sqlite3_prepare_v2(s->db, "SELECT PASSWORD, LOCKED FROM \"OCILITE$ACCOUNT\"", -1, &st,
                         nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW) {
    const unsigned char* stored = sqlite3_column_text(st, 0);
    known = stored && password == reinterpret_cast<const char*>(stored);
    locked = sqlite3_column_int(st, 1) != 0;
  }
  sqlite3_finalize(st);
  if (!known) {
    error = make_error(1017);
    return nullptr;
  }
  if (locked) {
    error = make_error(28000);
    return nullptr;
  }
  if (!prepare_session(*s, error)) return nullptr;
  return s;
}

std::unique_ptr<session> open_owner_session(const std::string& path, const std::string& user,
                                            oracle_error& error) {
  auto s = open_file(path, user, error);
  if (!s) return nullptr;
  s->banner = default_banner();
  if (!prepare_session(*s, error)) return nullptr;
  return s;
}

}  // namespace ocl
