#pragma once
// What the DDL files share: a token parser for Oracle's DDL, the definitions
// it reads, and lookups and writes on ocilite's catalog.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ocilite/ocl_lex.h"
#include "ocilite/ocl_sess.h"
#include "ocilite/ocl_type.h"

namespace ocl::ddl {

struct column_def {
  std::string name;
  otype type;
  std::string default_text;     // as written; empty when none
  std::string default_sqlite;   // translated for SQLite
  bool default_on_null = false; // DEFAULT ON NULL, or an identity BY DEFAULT ON NULL
  bool not_null = false;
  std::string not_null_name;    // empty: generated
  std::string identity;         // "ALWAYS" or "BY DEFAULT"; empty when not an identity column
  std::string identity_options; // START WITH / INCREMENT BY ... as written
};

struct constraint_def {
  std::string name;             // empty: generated
  char type = 0;                // P, U, R, C
  std::vector<std::string> columns;
  std::string ref_table;
  std::vector<std::string> ref_columns;
  std::string delete_rule = "NO ACTION";
  std::string check_text;
  // The state clauses: ENABLE/DISABLE, VALIDATE/NOVALIDATE, DEFERRABLE, INITIALLY.
  bool enabled = true;
  bool validate = true;         // what ENABLE means without NOVALIDATE
  bool validate_given = false;
  bool deferrable = false;
  bool deferred = false;
  std::string using_index;      // USING INDEX name
};

class parser {
 public:
  parser(const std::string& sql, const std::vector<token>& t) : sql_(sql), t_(t) {}

  bool done() const { return i_ >= t_.size(); }
  bool at(const char* w) const { return i_ < t_.size() && t_[i_].is(w); }
  bool at(size_t ahead, const char* w) const { return i_ + ahead < t_.size() && t_[i_ + ahead].is(w); }
  bool accept(const char* w) {
    if (!at(w)) return false;
    ++i_;
    return true;
  }
  bool expect(const char* w, int error_number, oracle_error& error) {
    if (accept(w)) return true;
    error = make_error(error_number);
    return false;
  }
  bool name(std::string& out, oracle_error& error);
  // A name, with an owner in front ("SCOTT.T") taken as the own schema's.
  bool object(std::string& out, const session& s, oracle_error& error);
  // ( name [ASC|DESC], ... )
  bool name_list(std::vector<std::string>& out, oracle_error& error);
  // Skips a balanced expression up to (not including) a stop word, "," or ")" at depth 0.
  size_t skip_expression(const std::set<std::string>& stops);
  // Skips one balanced ( ... ) group when one follows.
  void skip_group();
  std::string source(size_t first, size_t last) const;

  const std::string& sql_;
  const std::vector<token>& t_;
  size_t i_ = 0;
};

std::string quote(const std::string& text);
// Runs the statements of one DDL as a unit: all of them or none.
bool apply(session& s, const std::string& statements, oracle_error& error);
std::string names_sql(const std::vector<std::string>& names);
// One-row lookups in the catalog: whether the query with ?1 (and ?2) finds a row.
bool exists(session& s, const char* sql, const std::string& a, const std::string& b = "");
// The first column of the first row, or empty.
std::string lookup(session& s, const char* sql, const std::string& a, const std::string& b = "");
bool object_exists(session& s, const std::string& name);
bool table_exists(session& s, const std::string& name);
std::vector<std::pair<std::string, otype>> table_columns(session& s, const std::string& table);
std::string find_key(session& s, const std::string& table, const std::vector<std::string>& cols);
std::vector<std::string> key_columns(session& s, const std::string& constraint);

// The constraint states after a constraint's body (ENABLE, NOVALIDATE, DEFERRABLE, USING INDEX ...).
void parse_constraint_state(parser& p, constraint_def& c);
bool parse_constraint_body(parser& p, constraint_def& c, bool inline_form, oracle_error& error);
// Physical attributes (TABLESPACE, STORAGE (...), LOB (...) STORE AS ...) to the end of the
// statement; ORA-00922 for anything else. organization_index tells ORGANIZATION INDEX.
bool physical_clauses(parser& p, oracle_error& error, bool* organization_index = nullptr);

// One column's definition after its name (modify: the type may be left out).
bool parse_column(parser& p, column_def& col, std::vector<constraint_def>& constraints, bool modify,
                  oracle_error& error);

// Stored PL/SQL units and types (never run): the whole statement's text.
bool stored_code_kind(const std::string& sql, std::string& kind);
bool create_stored_code(session& s, const std::string& sql, bool parse_only, oracle_error& error);

// The catalog rows of a constraint of table (its index rows not included).
std::string constraint_catalog(session& s, const std::string& table, const constraint_def& c,
                               const std::string& r_constraint, bool generated_name,
                               const std::string& index_name);

// Sequences: the catalog row for a sequence with the options that follow in
// p (START WITH, INCREMENT BY, ...); false with an Oracle error.
bool sequence_sql(const std::string& name, parser& p, std::string& sql, oracle_error& error);
bool create_sequence(session& s, parser& p, bool parse_only, oracle_error& error);

// ALTER TABLE, RENAME, COMMENT ON, ALTER SESSION.
bool alter_table(session& s, parser& p, bool parse_only, oracle_error& error);
bool rename_object(session& s, parser& p, bool parse_only, oracle_error& error);
bool comment_on(session& s, parser& p, bool parse_only, oracle_error& error);
bool alter_session(session& s, parser& p, bool parse_only, oracle_error& error);

// The statements that make SQLite enforce a constraint added after its
// table was made (triggers, and a unique index for a key, with its catalog
// rows when the key makes its own index), after checking the table's rows
// against it when validate is set.
bool enforce_constraint(session& s, const std::string& table, const constraint_def& c,
                        const std::string& index_name, bool validate, std::string& sql,
                        oracle_error& error);
// ALTER TABLE table DROP CONSTRAINT name.
bool drop_constraint(session& s, const std::string& table, const std::string& name, oracle_error& error);
// Drops what enforce_constraint made.
std::string unenforce_constraint(session& s, const std::string& name);

}  // namespace ocl::ddl
