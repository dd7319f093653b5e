#pragma once
// One Oracle statement run on a session: classified, translated to SQLite
// (or, for DDL, carried out on the schema and its catalog), executed, and for
// a query described column by column in Oracle's terms and read row by row.
#include <sqlite3.h>

#include <string>
#include <vector>

#include "ORA/ora_oci.h"
#include "ocilite/ocl_sess.h"
#include "ocilite/ocl_type.h"

namespace ocl {

struct column_desc {
  std::string name;
  otype type;
  bool nullable = true;
};

class cursor {
 public:
  cursor() = default;
  cursor(const cursor&) = delete;
  cursor& operator=(const cursor&) = delete;
  ~cursor();

  // Parses the statement against the session's schema (nothing runs).
  bool prepare(session& s, const std::string& oracle_sql, oracle_error& error);
  // Runs it: a query is opened and described, DML and DDL are carried out.
  bool execute(oracle_error& error);
  // Query rows: 1 when a row is current (read it with the column accessors), 0 at the end.
  int next_row(oracle_error& error);

  ub2 statement_type() const { return statement_type_; }
  bool is_query() const { return statement_type_ == OCI_STMT_SELECT; }
  const std::vector<column_desc>& columns() const { return columns_; }
  sqlite3_stmt* row() const { return stmt_; }  // valid while next_row answered 1
  ub4 row_count() const { return row_count_; }

 private:
  void close();
  void describe();
  oracle_error map_error(const char* message) const;
  std::string target_table() const;  // the table an INSERT, UPDATE or DELETE writes
  std::string first_name(const char* sql, const std::string& argument) const;

  session* session_ = nullptr;
  std::string sql_;
  std::vector<token> tokens_;
  ub2 statement_type_ = 0;
  sqlite3_stmt* stmt_ = nullptr;
  std::vector<column_desc> columns_;
  bool row_pending_ = false;
  bool done_ = false;
  ub4 row_count_ = 0;
  bool ddl_ = false;                  // carried out by run_ddl
  bool stored_code_ = false;          // CREATE PROCEDURE / TRIGGER / ...: kept as text
  std::vector<std::string> inserts_;  // INSERT ALL: one INSERT ... SELECT per INTO
};

// INSERT ALL INTO t [(cols)] VALUES (...) ... subquery: one INSERT INTO t
// [(cols)] SELECT values FROM (subquery) per INTO clause. False with an
// Oracle error when the statement is not of that form.
bool split_insert_all(const std::string& sql, const std::vector<token>& t, std::vector<std::string>& inserts,
                      oracle_error& error);

// Parses (parse_only) or carries out a DDL statement (CREATE, DROP, ALTER, RENAME, COMMENT).
bool run_ddl(session& s, const std::string& sql, const std::vector<token>& tokens,
             bool parse_only, oracle_error& error);

}  // namespace ocl
