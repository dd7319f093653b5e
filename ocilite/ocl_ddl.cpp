// CREATE TABLE / INDEX / VIEW and DROP in Oracle's dialect: the schema object
// is made in SQLite and described in ocilite's catalog the way Oracle's
// dictionary shows it (generated constraint names, NOT NULL check
// constraints, one index per primary key or unique constraint).
#include <algorithm>
#include <map>
#include <set>

#include "ocilite/ocl_ddli.h"
#include "ocilite/ocl_exec.h"
#include "ocilite/ocl_xlat.h"

namespace ocl {

namespace ddl {

bool parser::name(std::string& out, oracle_error& error) {
  if (i_ < t_.size() && is_name(t_[i_])) {  // the tokenizer has refused names too long
    out = t_[i_++].text;
    return true;
  }
  if (i_ >= t_.size()) error = make_error(936);
  else if (t_[i_].kind == token_kind::word) error = make_error(904, "\"" + t_[i_].text + "\"");
  else error = make_error(903);
  return false;
}

bool parser::object(std::string& out, const session& s, oracle_error& error) {
  if (!name(out, error)) return false;
  if (!accept(".")) return true;
  if (out != s.user) {  // another user's schema: ocilite serves one user per file
    error = make_error(1031);
    return false;
  }
  return name(out, error);
}

bool parser::name_list(std::vector<std::string>& out, oracle_error& error) {
  if (!expect("(", 906, error)) return false;
  do {
    std::string n;
    if (!name(n, error)) return false;
    accept("ASC");
    accept("DESC");
    out.push_back(n);
  } while (accept(","));
  return expect(")", 907, error);
}

size_t parser::skip_expression(const std::set<std::string>& stops) {
  int depth = 0;
  size_t start = i_;
  while (i_ < t_.size()) {
    const token& k = t_[i_];
    if (depth == 0 && (k.is(",") || k.is(")"))) break;
    if (depth == 0 && k.kind == token_kind::word && stops.count(k.text)) break;
    if (k.is("(")) ++depth;
    if (k.is(")")) --depth;
    ++i_;
  }
  return start;
}

void parser::skip_group() {
  if (!at("(")) return;
  int depth = 0;
  for (; i_ < t_.size(); ++i_) {
    if (t_[i_].is("(")) ++depth;
    if (t_[i_].is(")") && --depth == 0) {
      ++i_;
      return;
    }
  }
}

std::string parser::source(size_t first, size_t last) const {
  if (first >= last) return std::string();
  return sql_.substr(t_[first].begin, t_[last - 1].end - t_[first].begin);
}

namespace {
const std::set<std::string> column_stops = {"CONSTRAINT", "NOT", "NULL", "PRIMARY", "UNIQUE",
                                            "REFERENCES", "CHECK", "DEFAULT", "ENABLE", "DISABLE",
                                            "GENERATED", "COLLATE", "VISIBLE", "INVISIBLE"};
}  // namespace

std::string quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

// Runs the statements of one DDL as a unit: all of them or none.
bool apply(session& s, const std::string& statements, oracle_error& error) {
  if (run_sql(s, "SAVEPOINT ddl;" + statements + "RELEASE ddl;", error)) return true;
  oracle_error ignored;
  run_sql(s, "ROLLBACK TO ddl; RELEASE ddl;", ignored);
  return false;
}

std::string names_sql(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : ",") + sqlite_name(n);
  return out;
}

// One-row lookups in the catalog.
bool exists(session& s, const char* sql, const std::string& a, const std::string& b) {
  sqlite3_stmt* st = nullptr;
  bool found = false;
  if (sqlite3_prepare_v2(s.db, sql, -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, a.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_bind_parameter_count(st) > 1) sqlite3_bind_text(st, 2, b.c_str(), -1, SQLITE_TRANSIENT);
    found = sqlite3_step(st) == SQLITE_ROW;
  }
  sqlite3_finalize(st);
  return found;
}

std::string lookup(session& s, const char* sql, const std::string& a, const std::string& b) {
  sqlite3_stmt* st = nullptr;
  std::string found;
  if (sqlite3_prepare_v2(s.db, sql, -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, a.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_bind_parameter_count(st) > 1) sqlite3_bind_text(st, 2, b.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
      found = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  }
  sqlite3_finalize(st);
  return found;
}

bool object_exists(session& s, const std::string& name) {
  // Tables, views, sequences and stored code share one namespace; triggers and bodies have their own.
  return exists(s, "SELECT 1 FROM \"OCILITE$TABLES\" WHERE TABLE_NAME = ?1 UNION ALL "
                   "SELECT 1 FROM \"OCILITE$VIEWS\" WHERE VIEW_NAME = ?1 UNION ALL "
                   "SELECT 1 FROM \"OCILITE$SEQUENCES\" WHERE SEQUENCE_NAME = ?1 UNION ALL "
                   "SELECT 1 FROM \"OCILITE$OBJECTS\" WHERE OBJECT_NAME = ?1 AND OBJECT_TYPE NOT IN"
                   " ('TRIGGER', 'PACKAGE BODY', 'TYPE BODY')", name);
}

bool table_exists(session& s, const std::string& name) {
  return exists(s, "SELECT 1 FROM \"OCILITE$TABLES\" WHERE TABLE_NAME = ?1", name);
}

// Columns of a table, in order, with their types.
std::vector<std::pair<std::string, otype>> table_columns(session& s, const std::string& table) {
  std::vector<std::pair<std::string, otype>> out;
  sqlite3_stmt* st = nullptr;
  std::string sql = "SELECT * FROM " + sqlite_name(table);
  if (sqlite3_prepare_v2(s.db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      otype type;
      parse_declared(sqlite3_column_decltype(st, i), type);
      out.emplace_back(oracle_name(sqlite3_column_name(st, i)), type);
    }
  }
  sqlite3_finalize(st);
  return out;
}

// The primary or unique key of a table over exactly these columns (all keys when empty: the PK).
std::string find_key(session& s, const std::string& table, const std::vector<std::string>& cols) {
  sqlite3_stmt* st = nullptr;
  const char* sql =
      "SELECT c.CONSTRAINT_NAME, c.CONSTRAINT_TYPE, group_concat(k.COLUMN_NAME, ',') FROM"
      " \"OCILITE$CONSTRAINTS\" c JOIN (SELECT * FROM \"OCILITE$CONS_COLUMNS\" ORDER BY POSITION) k"
      " ON k.CONSTRAINT_NAME = c.CONSTRAINT_NAME WHERE c.TABLE_NAME = ?1 AND"
      " c.CONSTRAINT_TYPE IN ('P','U') GROUP BY c.CONSTRAINT_NAME, c.CONSTRAINT_TYPE";
  std::string wanted, found;
  for (const auto& c : cols) wanted += (wanted.empty() ? "" : ",") + c;
  if (sqlite3_prepare_v2(s.db, sql, -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
      std::string list = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
      if (cols.empty() ? type == "P" : list == wanted) found = name;
    }
  }
  sqlite3_finalize(st);
  return found;
}

std::vector<std::string> key_columns(session& s, const std::string& constraint) {
  std::vector<std::string> out;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(s.db,
                         "SELECT COLUMN_NAME FROM \"OCILITE$CONS_COLUMNS\" WHERE CONSTRAINT_NAME = ?1"
                         " ORDER BY POSITION", -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, constraint.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW)
      out.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  }
  sqlite3_finalize(st);
  return out;
}

// Physical attributes after a table's or index's definition mean nothing to
// ocilite and are passed over, each with what follows it up to the next one;
// anything else there is an error, as in Oracle.
bool physical_clauses(parser& p, oracle_error& error, bool* organization_index) {
  static const std::set<std::string> starters = {
      "TABLESPACE", "PCTFREE", "PCTUSED", "INITRANS", "MAXTRANS", "STORAGE", "LOGGING", "NOLOGGING",
      "COMPRESS", "NOCOMPRESS", "CACHE", "NOCACHE", "PARALLEL", "NOPARALLEL", "MONITORING",
      "NOMONITORING", "SEGMENT", "LOB", "ORGANIZATION", "COMPUTE", "ONLINE", "REVERSE", "OVERFLOW",
      "PCTTHRESHOLD", "INCLUDING", "ENABLE", "DISABLE", "ROW", "FLASHBACK", "RESULT_CACHE",
      "NOSORT", "VISIBLE", "INVISIBLE", "INMEMORY", "NO", "DEFAULT", "COLLATION", "ROWDEPENDENCIES",
      "NOROWDEPENDENCIES", "FILESYSTEM_LIKE_LOGGING", "STORE", "SECUREFILE", "BASICFILE",
      "LOCAL", "GLOBAL", "NOPARALLEL_INDEX", "XMLTYPE", "VARRAY", "NESTED"};
  while (!p.done()) {
    const token& k = p.t_[p.i_];
    if (k.kind != token_kind::word || !starters.count(k.text)) {
      error = make_error(922);
      return false;
    }
    if (k.is("ORGANIZATION") && organization_index) *organization_index = p.at(1, "INDEX");
    ++p.i_;
    while (!p.done()) {
      if (p.at("(")) {
        p.skip_group();
        continue;
      }
      const token& n = p.t_[p.i_];
      if (n.kind == token_kind::word && starters.count(n.text) && !n.is("DEFAULT") && !n.is("STORE") &&
          !n.is("SECUREFILE") && !n.is("BASICFILE") && !n.is("ROW"))
        break;
      ++p.i_;
    }
  }
  return true;
}

void parse_constraint_state(parser& p, constraint_def& c) {
  for (;;) {
    if (p.accept("ENABLE")) {
      c.enabled = true;
    } else if (p.accept("DISABLE")) {
      c.enabled = false;
      if (!c.validate_given) c.validate = false;
    } else if (p.accept("VALIDATE")) {
      c.validate = c.validate_given = true;
    } else if (p.accept("NOVALIDATE")) {
      c.validate = false;
      c.validate_given = true;
    } else if (p.at("NOT") && p.at(1, "DEFERRABLE")) {
      p.i_ += 2;
      c.deferrable = false;
    } else if (p.accept("DEFERRABLE")) {
      c.deferrable = true;
    } else if (p.accept("INITIALLY")) {
      if (p.accept("DEFERRED")) c.deferrable = c.deferred = true;
      else p.accept("IMMEDIATE");
    } else if (p.accept("RELY") || p.accept("NORELY")) {
    } else if (p.at("USING") && p.at(1, "INDEX")) {
      p.i_ += 2;
      if (p.at("(")) {
        p.skip_group();  // (CREATE INDEX ...): the index is made as the key's own
      } else if (!p.done() && is_name(p.t_[p.i_]) && !p.at("TABLESPACE") && !p.at("PCTFREE") &&
                 !p.at("INITRANS") && !p.at("MAXTRANS") && !p.at("STORAGE") && !p.at("LOGGING") &&
                 !p.at("NOLOGGING") && !p.at("COMPUTE") && !p.at("ENABLE") && !p.at("DISABLE") &&
                 !p.at("LOCAL") && !p.at("GLOBAL") && !p.at("REVERSE") && !p.at("COMPRESS") &&
                 !p.at("NOCOMPRESS") && !p.at("PCTUSED")) {
        c.using_index = p.t_[p.i_++].text;
      }
      // Its physical attributes, up to the next state word, "," or ")".
      while (!p.done() && !p.at(",") && !p.at(")") && !p.at("ENABLE") && !p.at("DISABLE") &&
             !p.at("VALIDATE") && !p.at("NOVALIDATE") && !p.at("DEFERRABLE") && !p.at("INITIALLY") &&
             !p.at("RELY") && !p.at("NOT") && !p.at("CONSTRAINT") && !p.at("EXCEPTIONS")) {
        if (p.at("(")) p.skip_group();
        else ++p.i_;
      }
    } else {
      return;
    }
  }
}

bool parse_constraint_body(parser& p, constraint_def& c, bool inline_form, oracle_error& error) {
  if (p.accept("PRIMARY")) {
    if (!p.expect("KEY", 905, error)) return false;
    c.type = 'P';
    if (!inline_form && !p.name_list(c.columns, error)) return false;
  } else if (p.accept("UNIQUE")) {
    c.type = 'U';
    if (!inline_form && !p.name_list(c.columns, error)) return false;
  } else if (p.accept("FOREIGN")) {
    if (inline_form || !p.expect("KEY", 905, error)) {
      if (inline_form) error = make_error(2253);
      return false;
    }
    if (!p.name_list(c.columns, error)) return false;
    if (!p.expect("REFERENCES", 905, error)) return false;
    c.type = 'R';
  } else if (p.accept("REFERENCES")) {
    if (!inline_form) {
      error = make_error(905);
      return false;
    }
    c.type = 'R';
  } else if (p.accept("CHECK")) {
    c.type = 'C';
    if (!p.expect("(", 906, error)) return false;
    size_t start = p.i_;
    p.skip_expression({});
    if (p.i_ == start) {
      error = make_error(936);
      return false;
    }
    c.check_text = p.source(start, p.i_);
    if (!p.expect(")", 907, error)) return false;
  } else {
    error = make_error(902);
    return false;
  }
  if (c.type == 'R') {
    if (!p.name(c.ref_table, error)) return false;
    if (p.at("(") && !p.name_list(c.ref_columns, error)) return false;
    if (p.accept("ON")) {
      if (!p.expect("DELETE", 905, error)) return false;
      if (p.accept("CASCADE")) c.delete_rule = "CASCADE";
      else if (p.accept("SET") && p.expect("NULL", 905, error)) c.delete_rule = "SET NULL";
      else {
        if (!error.number) error = make_error(905);
        return false;
      }
    }
  }
  parse_constraint_state(p, c);
  return true;
}

std::string constraint_catalog(session& s, const std::string& table, const constraint_def& c,
                               const std::string& r_constraint, bool generated_name,
                               const std::string& index_name) {
  std::string r_owner = "NULL", r_name = "NULL", rule = "NULL";
  if (c.type == 'R') {
    r_owner = quote(s.user);
    r_name = quote(r_constraint);
    rule = quote(c.delete_rule);
  }
  std::string sql = "INSERT INTO \"OCILITE$CONSTRAINTS\" VALUES(" + quote(c.name) + ",'" + c.type + "'," +
                    quote(table) + "," + (c.type == 'C' ? quote(c.check_text) : "NULL") + "," + r_owner +
                    "," + r_name + "," + rule + ",'" + (c.enabled ? "ENABLED" : "DISABLED") + "','" +
                    (c.deferrable ? "DEFERRABLE" : "NOT DEFERRABLE") + "','" +
                    (c.deferred ? "DEFERRED" : "IMMEDIATE") + "','" +
                    (c.validate ? "VALIDATED" : "NOT VALIDATED") + "','" +
                    (generated_name ? "GENERATED NAME" : "USER NAME") + "'," +
                    (index_name.empty() ? "NULL" : quote(index_name)) + ");";
  for (size_t k = 0; k < c.columns.size(); ++k)
    sql += "INSERT INTO \"OCILITE$CONS_COLUMNS\" VALUES(" + quote(c.name) + "," + quote(table) + "," +
           quote(c.columns[k]) + "," + (c.type == 'C' ? "NULL" : std::to_string(k + 1)) + ");";
  return sql;
}

// One column's definition after its name: the type (optional when modify),
// DEFAULT, identity, inline constraints and attributes ocilite passes over.
bool parse_column(parser& p, column_def& col, std::vector<constraint_def>& constraints, bool modify,
                  oracle_error& error) {
  bool typed = !p.done() && p.t_[p.i_].kind == token_kind::word && !column_stops.count(p.t_[p.i_].text);
  if ((typed || !modify) && !parse_type(p.t_, p.i_, col.type, error)) return false;
  while (!p.at(",") && !p.at(")") && !p.done()) {
    if (p.accept("DEFAULT")) {
      if (p.at("ON") && p.at(1, "NULL")) {
        p.i_ += 2;
        col.default_on_null = true;
      }
      size_t start = p.skip_expression(column_stops);
      if (p.i_ == start) {
        error = make_error(936);
        return false;
      }
      col.default_text = p.source(start, p.i_);
      if (!translate(p.sql_, p.t_, start, p.i_, col.default_sqlite, error)) return false;
      continue;
    }
    if (p.accept("GENERATED")) {
      if (p.accept("ALWAYS")) {
        col.identity = "ALWAYS";
      } else if (p.accept("BY")) {
        if (!p.expect("DEFAULT", 905, error)) return false;
        col.identity = "BY DEFAULT";
        if (p.accept("ON")) {
          if (!p.expect("NULL", 905, error)) return false;
          col.default_on_null = true;
        }
      } else {
        col.identity = "ALWAYS";
      }
      if (!p.expect("AS", 905, error)) return false;
      if (!p.at("IDENTITY")) {  // virtual columns: GENERATED ALWAYS AS (expression)
        error = make_error(3001);
        return false;
      }
      ++p.i_;
      if (p.at("(")) {
        size_t start = p.i_ + 1;
        p.skip_group();
        col.identity_options = p.source(start, p.i_ - 1);
      }
      col.not_null = true;
      continue;
    }
    if (p.accept("COLLATE")) {
      std::string collation;
      if (!p.name(collation, error)) return false;
      continue;
    }
    if (p.accept("VISIBLE")) continue;
    if (p.at("INVISIBLE")) {  // SQLite cannot leave a column out of SELECT *
      error = make_error(3001);
      return false;
    }
    std::string name;
    if (p.accept("CONSTRAINT") && !p.name(name, error)) return false;
    if (p.accept("NOT")) {
      if (!p.expect("NULL", 905, error)) return false;
      col.not_null = true;
      col.not_null_name = name;
      constraint_def state;
      parse_constraint_state(p, state);
      continue;
    }
    if (p.accept("NULL")) continue;
    constraint_def c;
    c.name = name;
    if (!parse_constraint_body(p, c, true, error)) return false;
    c.columns = {col.name};
    constraints.push_back(std::move(c));
  }
  return true;
}

bool parse_table(parser& p, std::string& table, std::vector<column_def>& columns,
                 std::vector<constraint_def>& constraints, bool& organization_index, oracle_error& error) {
  if (!p.name(table, error)) return false;
  if (!p.expect("(", 906, error)) return false;
  do {
    if (p.at("CONSTRAINT") || p.at("PRIMARY") || p.at("UNIQUE") || p.at("FOREIGN") ||
        p.at("CHECK")) {
      constraint_def c;
      if (p.accept("CONSTRAINT") && !p.name(c.name, error)) return false;
      if (!parse_constraint_body(p, c, false, error)) return false;
      constraints.push_back(std::move(c));
      continue;
    }
    column_def col;
    if (!p.name(col.name, error)) return false;
    if (!parse_column(p, col, constraints, false, error)) return false;
    columns.push_back(std::move(col));
  } while (p.accept(","));
  if (!p.expect(")", 907, error)) return false;
  return physical_clauses(p, error, &organization_index);
}

bool create_table(session& s, parser& p, bool parse_only, oracle_error& error) {
  std::string table;
  std::vector<column_def> columns;
  std::vector<constraint_def> constraints;
  bool organization_index = false;
  if (!parse_table(p, table, columns, constraints, organization_index, error)) return false;
  if (columns.empty()) {
    error = make_error(904, "");
    return false;
  }
  std::set<std::string> names;
  for (const auto& c : columns) {
    if (!names.insert(c.name).second) {
      error = make_error(957);
      return false;
    }
  }
  int longs = 0;
  for (const auto& c : columns)
    if ((c.type.kind == okind::long_ || c.type.kind == okind::long_raw) && ++longs > 1) {
      error = make_error(1754);
      return false;
    }
  int keys = 0;
  for (auto& c : constraints) {
    if (c.type == 'P' && ++keys > 1) {
      error = make_error(2260);
      return false;
    }
    if (c.type == 'P' && organization_index) c.enabled = c.validate = true;  // an IOT's key is its storage
    for (const auto& name : c.columns)
      if (!names.count(name)) {
        error = make_error(904, "\"" + name + "\"");
        return false;
      }
  }
  if (organization_index && keys == 0) {
    error = make_error(25175);
    return false;
  }
  if (parse_only) return true;
  if (object_exists(s, table)) {
    error = make_error(955);
    return false;
  }
  // Identity columns draw from a sequence of their own, named as Oracle names it.
  std::string sequences;
  std::vector<std::pair<std::string, std::string>> identities;  // column, sequence
  for (auto& col : columns) {
    if (col.identity.empty()) continue;
    if (!col.default_text.empty()) {
      error = make_error(30674);
      return false;
    }
    std::string number = s.next_constraint_name().substr(5);
    while (number.size() > 5 && number[0] == '0') number.erase(0, 1);
    std::string sequence = "ISEQ$$_" + number;
    std::vector<token> options;
    if (!tokenize(col.identity_options, options, error)) return false;
    parser op(col.identity_options, options);
    std::string row;
    if (!sequence_sql(sequence, op, row, error)) return false;
    sequences += row;
    col.default_text = "\"" + s.user + "\".\"" + sequence + "\".nextval";
    col.default_sqlite = "OCILITE_NEXTVAL(" + quote(sequence) + ")";
    identities.emplace_back(col.name, sequence);
  }
  // Resolve the foreign keys' referenced keys.
  std::map<const constraint_def*, std::string> referenced;
  for (auto& c : constraints) {
    if (c.type != 'R') continue;
    std::string key;
    if (c.ref_table == table) {
      for (const auto& k : constraints)
        if ((c.ref_columns.empty() ? k.type == 'P' : (k.type == 'P' || k.type == 'U') && k.columns == c.ref_columns))
          key = "*self*";
    } else if (!table_exists(s, c.ref_table)) {
      error = make_error(942);
      return false;
    } else {
      key = find_key(s, c.ref_table, c.ref_columns);
    }
    if (key.empty()) {
      error = make_error(2270);
      return false;
    }
    if (c.ref_columns.empty()) {
      if (key == "*self*") {
        for (const auto& k : constraints) if (k.type == 'P') c.ref_columns = k.columns;
      } else {
        c.ref_columns = key_columns(s, key);
      }
    }
    if (c.ref_columns.size() != c.columns.size()) {
      error = make_error(2256);
      return false;
    }
    referenced[&c] = key;
  }
  // Names for unnamed constraints, in the order Oracle gives them.
  std::set<std::string> used;
  for (auto& col : columns) {
    col.not_null = col.not_null || col.default_on_null;  // DEFAULT ON NULL makes a NOT NULL constraint
    if (col.not_null && col.not_null_name.empty()) col.not_null_name = s.next_constraint_name() + "#";
  }
  for (auto& c : constraints)
    if (c.name.empty()) c.name = s.next_constraint_name() + "#";
  auto generated = [](std::string& n) {
    bool g = !n.empty() && n.back() == '#';
    if (g) n.pop_back();
    return g;
  };
  std::map<std::string, bool> was_generated;
  for (auto& col : columns)
    if (col.not_null) {
      bool g = generated(col.not_null_name);
      was_generated[col.not_null_name] = g;
      if (!used.insert(col.not_null_name).second) { error = make_error(2264); return false; }
    }
  for (auto& c : constraints) {
    bool g = generated(c.name);
    was_generated[c.name] = g;
    if (!used.insert(c.name).second ||
        exists(s, "SELECT 1 FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_NAME = ?1", c.name)) {
      error = make_error(2264);
      return false;
    }
  }
  for (auto& [c, key] : referenced)
    if (key == "*self*") {
      for (const auto& k : constraints)
        if ((k.type == 'P' || k.type == 'U') && k.columns == c->ref_columns) key = k.name;
    }

  // The SQLite table. Constraints made disabled are only described; ENABLE
  // later enforces them the way ALTER TABLE ADD does.
  std::set<std::string> in_key;
  for (const auto& c : constraints)
    if (c.type == 'P' && c.enabled) in_key.insert(c.columns.begin(), c.columns.end());
  std::string ddl = "CREATE TABLE " + sqlite_name(table) + "(";
  for (size_t i = 0; i < columns.size(); ++i) {
    const auto& col = columns[i];
    ddl += (i ? ", " : "") + sqlite_name(col.name) + " " + col.type.declared();
    // A primary key's columns refuse NULL, as Oracle makes them; DEFAULT ON
    // NULL columns take their default for a NULL instead (a trigger below).
    if ((col.not_null || in_key.count(col.name)) && !col.default_on_null) ddl += " NOT NULL";
    if (!col.default_sqlite.empty()) ddl += " DEFAULT (" + col.default_sqlite + ")";
  }
  for (const auto& c : constraints) {
    if (!c.enabled) continue;
    // A single INTEGER key would become SQLite's rowid, which takes a value
    // of its own instead of the column's default (an identity's next value).
    bool rowid_alias = false;
    if (c.type == 'P' && c.columns.size() == 1)
      for (const auto& col : columns)
        if (col.name == c.columns[0] && col.type.declared() == "INTEGER" && !col.default_sqlite.empty())
          rowid_alias = true;
    if (c.type == 'P') ddl += (rowid_alias ? ", UNIQUE(" : ", PRIMARY KEY(") + names_sql(c.columns) + ")";
    if (c.type == 'U') ddl += ", UNIQUE(" + names_sql(c.columns) + ")";
    if (c.type == 'R') {
      ddl += ", FOREIGN KEY(" + names_sql(c.columns) + ") REFERENCES " + sqlite_name(c.ref_table) +
             "(" + names_sql(c.ref_columns) + ")";
      if (c.delete_rule != "NO ACTION") ddl += " ON DELETE " + c.delete_rule;
      if (c.deferred) ddl += " DEFERRABLE INITIALLY DEFERRED";
    }
  }
  // What Oracle checks on every row: lengths, number precision, CHECK conditions.
  for (const auto& col : columns) {
    const otype& t = col.type;
    std::string c = sqlite_name(col.name);
    if (t.is_character() || t.kind == okind::raw) {
      bool bytes = !t.char_semantics || t.kind == okind::raw;
      ddl += ", CONSTRAINT " + sqlite_name("OCILITE$LENGTH$" + col.name) + " CHECK (" +
             (bytes ? "length(CAST(" + c + " AS BLOB))" : "length(" + c + ")") + " <= " +
             std::to_string(bytes ? t.data_length() : t.length) + ")";
    }
    // Two names, not the three allowed ones: SQLite tests a list of two by
    // comparisons, a longer one through a temporary index built per row.
    if (t.is_numeric()) {
      ddl += ", CONSTRAINT " + sqlite_name("OCILITE$NUMBER$" + col.name) + " CHECK (typeof(" + c +
             ") NOT IN ('text','blob'))";
    }
    if (t.kind == okind::number && t.precision > 0) {
      ddl += ", CONSTRAINT " + sqlite_name("OCILITE$PRECISION$" + col.name) + " CHECK (typeof(" + c +
             ") NOT IN ('integer','real') OR abs(ROUND(" + c + ", " + std::to_string(t.scale) + ")) < 1e" +
             std::to_string(t.precision - t.scale) + ")";
    }
  }
  for (const auto& c : constraints) {
    if (c.type != 'C' || !c.enabled) continue;
    std::vector<token> condition;
    std::string translated;
    oracle_error ignored;
    if (tokenize(c.check_text, condition, ignored) &&
        translate(c.check_text, condition, 0, condition.size(), translated, ignored))
      ddl += ", CONSTRAINT " + sqlite_name(c.name) + " CHECK (" + translated + ")";
  }
  ddl += ");";
  // Values take the column's form on every write, as Oracle converts them:
  // NUMBER(p,s) and INTEGER keep only the digits their scale allows, and text
  // written to a DATE or TIMESTAMP column becomes the stored date form.
  auto rewrite = [&](const std::string& column, const std::string& kind, const std::string& when,
                     const std::string& value) {
    std::string c = sqlite_name(column), tab = sqlite_name(table);
    for (const char* event : {"INSERT", "UPDATE OF "}) {
      bool insert = event[0] == 'I';
      ddl += "CREATE TRIGGER " +
             sqlite_name("OCILITE$" + kind + "$" + (insert ? "I$" : "U$") + table + "$" + column) + " AFTER " +
             event + (insert ? "" : c) + " ON " + tab + " WHEN " + when + " BEGIN UPDATE " + tab + " SET " + c +
             " = " + value + " WHERE rowid = NEW.rowid; END;";
    }
  };
  for (const auto& col : columns) {
    const otype& t = col.type;
    std::string v = "NEW." + sqlite_name(col.name);
    if (col.default_on_null) {
      rewrite(col.name, "ONNULL", v + " IS NULL", "(" + col.default_sqlite + ")");
      ddl += "CREATE TRIGGER " + sqlite_name("OCILITE$ONNULL$N$" + table + "$" + col.name) + " BEFORE UPDATE OF " +
             sqlite_name(col.name) + " ON " + sqlite_name(table) + " WHEN " + v + " IS NULL BEGIN SELECT RAISE(ABORT, " +
             quote(make_error(1407, "\"" + s.user + "\".\"" + table + "\".\"" + col.name + "\"").text) + "); END;";
    }
    if (t.kind == okind::integer || (t.kind == okind::number && t.precision > 0)) {
      std::string rounded = "ROUND(" + v + ", " + std::to_string(t.kind == okind::integer ? 0 : t.scale) + ")";
      rewrite(col.name, "ROUND", "typeof(" + v + ") IN ('integer','real') AND " + v + " <> " + rounded, rounded);
    }
    if (t.is_datetime()) {
      int form = t.kind == okind::date ? 0 : t.kind == okind::timestamp_tz ? 2 : 1;
      std::string converted = "OCILITE_DATETIME(" + v + ", " + std::to_string(form) + ")";
      rewrite(col.name, "DATETIME", v + " IS NOT NULL AND " + v + " IS NOT " + converted, converted);
    }
  }

  // The catalog rows.
  std::string catalog = "INSERT INTO \"OCILITE$TABLES\" VALUES(" + quote(table) + ",'N','NO'," +
                        (organization_index ? "'IOT'" : "NULL") + ");" + sequences;
  for (const auto& [column, sequence] : identities) {
    const column_def* col = nullptr;
    for (const auto& c : columns)
      if (c.name == column) col = &c;
    catalog += "INSERT INTO \"OCILITE$IDENTITY\" SELECT " + quote(table) + "," + quote(column) + "," +
               quote(col->identity) + "," + quote(sequence) + ",'START WITH: ' || NEXT_VALUE ||"
               " ', INCREMENT BY: ' || INCREMENT_BY || ', MAX_VALUE: ' || CASE WHEN MAX_VALUE >= 1e28 THEN"
               " '9999999999999999999999999999' ELSE CAST(MAX_VALUE AS INTEGER) END || ', MIN_VALUE: ' ||"
               " MIN_VALUE || ', CYCLE_FLAG: ' || CYCLE_FLAG || ', CACHE_SIZE: ' || CACHE_SIZE ||"
               " ', ORDER_FLAG: ' || ORDER_FLAG FROM \"OCILITE$SEQUENCES\" WHERE SEQUENCE_NAME = " +
               quote(sequence) + ";";
  }
  for (size_t i = 0; i < columns.size(); ++i) {
    const auto& col = columns[i];
    const otype& t = col.type;
    bool nullable = !col.not_null && !col.default_on_null && !in_key.count(col.name);
    auto number_or_null = [](int v, bool present) { return present ? std::to_string(v) : std::string("NULL"); };
    bool has_precision = (t.kind == okind::number && t.precision >= 0) || t.kind == okind::float_ ||
                         t.kind == okind::interval_ym || t.kind == okind::interval_ds;
    int precision = t.kind == okind::float_ ? (t.precision < 0 ? 126 : t.precision)
                    : (t.kind == okind::interval_ym || t.kind == okind::interval_ds) ? t.leading : t.precision;
    bool has_scale = (t.kind == okind::number && t.precision >= 0) || t.kind == okind::integer ||
                     (t.is_datetime() && t.kind != okind::date) || t.kind == okind::interval_ym ||
                     t.kind == okind::interval_ds;
    int scale = t.kind == okind::number ? t.scale : t.kind == okind::integer ? 0
                : t.kind == okind::interval_ym ? 0 : t.fraction;
    catalog += "INSERT INTO \"OCILITE$COLUMNS\" VALUES(" + quote(table) + "," + quote(col.name) +
               "," + quote(t.data_type()) + "," + std::to_string(t.data_length()) + "," +
               number_or_null(precision, has_precision) + "," + number_or_null(scale, has_scale) +
               ",'" + (nullable ? "Y" : "N") + "'," + std::to_string(i + 1) + "," +
               (col.default_text.empty() ? "NULL" : std::to_string(col.default_text.size())) + "," +
               (col.default_text.empty() ? "NULL" : quote(col.default_text)) + "," +
               std::to_string(t.char_length()) + "," +
               (t.is_character() ? (t.char_semantics ? "'C'" : "'B'") : "NULL") + ");";
    if (col.not_null) {
      const std::string& n = col.not_null_name;
      catalog += "INSERT INTO \"OCILITE$CONSTRAINTS\" VALUES(" + quote(n) + ",'C'," + quote(table) +
                 "," + quote("\"" + col.name + "\" IS NOT NULL") + ",NULL,NULL,NULL,'ENABLED',"
                 "'NOT DEFERRABLE','IMMEDIATE','VALIDATED','" +
                 (was_generated[n] ? "GENERATED NAME" : "USER NAME") + "',NULL);" +
                 "INSERT INTO \"OCILITE$CONS_COLUMNS\" VALUES(" + quote(n) + "," + quote(table) + "," +
                 quote(col.name) + ",NULL);";
    }
  }
  for (const auto& c : constraints) {
    std::string r_constraint;
    if (c.type == 'R')
      for (const auto& [rc, key] : referenced)
        if (rc == &c) r_constraint = key;
    bool keyed = (c.type == 'P' || c.type == 'U') && c.enabled;
    catalog += constraint_catalog(s, table, c, r_constraint, was_generated[c.name], keyed ? c.name : "");
    if (keyed) {
      catalog += "INSERT INTO \"OCILITE$INDEXES\" VALUES(" + quote(c.name) + ",'" +
                 (organization_index && c.type == 'P' ? "IOT - TOP" : "NORMAL") + "'," + quote(table) +
                 ",'TABLE','UNIQUE','" + (was_generated[c.name] ? "Y" : "N") + "');";
      for (size_t k = 0; k < c.columns.size(); ++k) {
        otype t;
        for (const auto& col : columns)
          if (col.name == c.columns[k]) t = col.type;
        catalog += "INSERT INTO \"OCILITE$IND_COLUMNS\" VALUES(" + quote(c.name) + "," + quote(table) +
                   "," + quote(c.columns[k]) + "," + std::to_string(k + 1) + "," +
                   std::to_string(t.data_length()) + "," + std::to_string(t.char_length()) + ",'ASC');";
      }
    }
  }
  return apply(s, ddl + catalog, error);
}

// An index expression as Oracle's dictionary writes it: the table's columns
// in double quotes, keywords upper-case, no blanks but between words.
std::string expression_text(const std::vector<token>& t, size_t first, size_t last,
                            const std::vector<std::pair<std::string, otype>>& columns) {
  std::string out;
  bool previous_word = false;
  for (size_t i = first; i < last; ++i) {
    const token& k = t[i];
    bool word = k.kind != token_kind::symbol && k.kind != token_kind::string;
    if (word && previous_word) out += ' ';
    bool column = is_name(k) && !(i + 1 < last && t[i + 1].is("(")) &&
                  std::any_of(columns.begin(), columns.end(), [&](const auto& c) { return c.first == k.text; });
    if (column || k.kind == token_kind::quoted) out += "\"" + k.text + "\"";
    else if (k.kind == token_kind::string) out += quote(k.text);
    else out += k.text;
    previous_word = word;
  }
  return out;
}

bool create_index(session& s, parser& p, bool unique, bool parse_only, oracle_error& error) {
  std::string index, table;
  struct item {
    size_t first, last;
    bool descending;
  };
  std::vector<item> items;
  if (!p.object(index, s, error)) return false;
  if (!p.expect("ON", 969, error)) return false;
  if (!p.object(table, s, error) || !p.expect("(", 906, error)) return false;
  do {
    size_t first = p.skip_expression({"ASC", "DESC"});
    if (p.i_ == first) {
      error = make_error(936);
      return false;
    }
    size_t last = p.i_;
    bool descending = p.accept("DESC");
    if (!descending) p.accept("ASC");
    items.push_back({first, last, descending});
  } while (p.accept(","));
  if (!p.expect(")", 907, error)) return false;
  if (!physical_clauses(p, error)) return false;
  if (parse_only) return true;
  if (!table_exists(s, table)) {
    error = make_error(942);
    return false;
  }
  if (exists(s, "SELECT 1 FROM \"OCILITE$INDEXES\" WHERE INDEX_NAME = ?1", index) ||
      object_exists(s, index)) {
    error = make_error(955);
    return false;
  }
  auto table_cols = table_columns(s, table);
  // Oracle keeps a DESC column or an expression as a hidden column of the
  // table, SYS_NCnnnnn$, numbered after the columns the table has.
  int hidden = (int)table_cols.size() +
               std::atoi(lookup(s, "SELECT count(*) FROM \"OCILITE$IND_EXPRESSIONS\" WHERE TABLE_NAME = ?1", table).c_str());
  bool function_based = false;
  std::string catalog, sqlite_items;
  for (size_t k = 0; k < items.size(); ++k) {
    const item& it = items[k];
    bool plain = it.last - it.first == 1 && is_name(p.t_[it.first]);
    std::string column, expression, translated;
    otype type;
    if (plain) {
      column = p.t_[it.first].text;
      auto found = std::find_if(table_cols.begin(), table_cols.end(), [&](const auto& c) { return c.first == column; });
      if (found == table_cols.end()) {
        error = make_error(904, "\"" + column + "\"");
        return false;
      }
      type = found->second;
      translated = sqlite_name(column);
    } else {
      if (!translate(p.sql_, p.t_, it.first, it.last, translated, error)) return false;
      for (size_t i = it.first; i < it.last; ++i)
        for (const auto& c : table_cols)
          if (is_name(p.t_[i]) && c.first == p.t_[i].text) type = c.second;
    }
    if (!plain || it.descending) {
      function_based = true;
      expression = expression_text(p.t_, it.first, it.last, table_cols);
      char name[32];
      std::snprintf(name, sizeof name, "SYS_NC%05d$", ++hidden);
      column = name;
      catalog += "INSERT INTO \"OCILITE$IND_EXPRESSIONS\" VALUES(" + quote(index) + "," + quote(table) + "," +
                 quote(expression) + "," + std::to_string(k + 1) + ");";
    }
    catalog += "INSERT INTO \"OCILITE$IND_COLUMNS\" VALUES(" + quote(index) + "," + quote(table) + "," +
               quote(column) + "," + std::to_string(k + 1) + "," + std::to_string(type.data_length()) + "," +
               std::to_string(type.char_length()) + ",'" + (it.descending ? "DESC" : "ASC") + "');";
    sqlite_items += (k ? ", " : "") + translated + (it.descending ? " DESC" : "");
  }
  catalog = "INSERT INTO \"OCILITE$INDEXES\" VALUES(" + quote(index) + ",'" +
            (function_based ? "FUNCTION-BASED NORMAL" : "NORMAL") + "'," + quote(table) + ",'TABLE','" +
            (unique ? "UNIQUE" : "NONUNIQUE") + "','N');" + catalog;
  std::string ddl = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " +
                    sqlite_name(index) + " ON " + sqlite_name(table) + "(" + sqlite_items + ");";
  return apply(s, ddl + catalog, error);
}

bool create_view(session& s, parser& p, bool replace, bool force, bool parse_only, oracle_error& error) {
  std::string view;
  std::vector<std::string> aliases;
  if (!p.object(view, s, error)) return false;
  if (p.at("(") && !p.name_list(aliases, error)) return false;
  if (!p.expect("AS", 905, error)) return false;
  size_t start = p.i_;
  if (start >= p.t_.size()) {
    error = make_error(936);
    return false;
  }
  // WITH READ ONLY / WITH CHECK OPTION [CONSTRAINT name] restrict writes
  // through the view, which ocilite's views never take.
  size_t end = p.t_.size();
  const auto& t = p.t_;
  if (end - start > 3 && t[end - 3].is("WITH") && t[end - 2].is("READ") && t[end - 1].is("ONLY")) end -= 3;
  else if (end - start > 3 && t[end - 3].is("WITH") && t[end - 2].is("CHECK") && t[end - 1].is("OPTION")) end -= 3;
  else if (end - start > 5 && t[end - 5].is("WITH") && t[end - 4].is("CHECK") && t[end - 3].is("OPTION") &&
           t[end - 2].is("CONSTRAINT"))
    end -= 5;
  std::string select;
  if (!translate(p.sql_, p.t_, start, end, select, error)) return false;
  if (parse_only) return true;
  bool is_view = exists(s, "SELECT 1 FROM \"OCILITE$VIEWS\" WHERE VIEW_NAME = ?1", view);
  if (object_exists(s, view) && !(replace && is_view)) {
    error = make_error(955);
    return false;
  }
  if (is_view) {  // OR REPLACE: the old definition goes first
    std::string q = quote(view);
    if (!apply(s, "DROP VIEW " + sqlite_name(view) + "; DELETE FROM \"OCILITE$VIEWS\" WHERE VIEW_NAME = " + q +
                      "; DELETE FROM \"OCILITE$COLUMNS\" WHERE TABLE_NAME = " + q +
                      "; DELETE FROM \"OCILITE$OBJECTS\" WHERE OBJECT_NAME = " + q + " AND OBJECT_TYPE = 'VIEW';",
               error))
      return false;
  }
  std::string text = p.source(start, p.t_.size());
  std::string ddl = "CREATE VIEW " + sqlite_name(view) +
                    (aliases.empty() ? "" : "(" + names_sql(aliases) + ")") + " AS " + select + ";";
  // FORCE keeps a view over what cannot be read yet: it is INVALID, and a
  // query of it fails as Oracle's does. A view Oracle would take but whose
  // query ocilite cannot run (SQL it cannot parse, a function or
  // pseudo-column it lacks) is kept as well, valid, and a query of it fails
  // with the error ocilite gives for that query.
  auto keep_failing = [&](const std::string& status, const oracle_error& failure) {
    oracle_error ignored;
    run_sql(s, "DROP VIEW IF EXISTS " + sqlite_name(view), ignored);
    std::string text_of_failure = quote(failure.text), items;
    for (const auto& a : aliases) items += (items.empty() ? "" : ", ") + std::string("OCILITE_FAIL(") + text_of_failure + ") AS " + sqlite_name(a);
    if (items.empty()) items = "OCILITE_FAIL(" + text_of_failure + ") AS " + sqlite_name("ERROR");
    error = oracle_error();
    return apply(s, "CREATE VIEW " + sqlite_name(view) + " AS SELECT " + items + ";INSERT INTO \"OCILITE$VIEWS\" VALUES(" +
                        quote(view) + "," + std::to_string(text.size()) + "," + quote(text) +
                        ");INSERT INTO \"OCILITE$OBJECTS\" VALUES(" + quote(view) + ",'VIEW'," + quote(status) + ",SYSDATE());",
                 error);
  };
  const oracle_error has_errors = make_error(4063, "view \"" + s.user + "." + view + "\"");
  if (!apply(s, ddl, error)) {
    if (error.number == 933 || error.number == 936 || error.number == 900) return keep_failing("VALID", error);
    return force && keep_failing("INVALID", has_errors);
  }
  // The view's columns join the dictionary like a table's; a view over
  // something that does not exist is refused, as Oracle refuses it.
  std::vector<column_desc> view_columns;
  bool described = false;
  {
    cursor probe;  // closed before the schema changes again
    // Oracle's SQL, so the name is quoted as Oracle quotes it (it holds no '"').
    described = probe.prepare(s, "SELECT * FROM \"" + view + "\"", error) && probe.execute(error);
    if (described) view_columns = probe.columns();
  }
  oracle_error ignored;
  if (!described) {
    std::string why;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(s.db, ("SELECT * FROM " + sqlite_name(view)).c_str(), -1, &st, nullptr) != SQLITE_OK)
      why = sqlite3_errmsg(s.db);
    sqlite3_finalize(st);
    bool lacking = why.rfind("no such function: ", 0) == 0 || why.find("syntax error") != std::string::npos ||
                   why == "no such column: ROWNUM" || why == "no such column: ROWID" || why == "no such column: LEVEL";
    run_sql(s, "DROP VIEW " + sqlite_name(view), ignored);
    if (lacking) return keep_failing("VALID", error);
    return force && keep_failing("INVALID", has_errors);
  }
  std::string catalog = "INSERT INTO \"OCILITE$VIEWS\" VALUES(" + quote(view) + "," +
                        std::to_string(text.size()) + "," + quote(text) + ");";
  int id = 0;
  for (const auto& c : view_columns) {
    catalog += "INSERT INTO \"OCILITE$COLUMNS\" VALUES(" + quote(view) + "," + quote(c.name) + "," +
               quote(c.type.data_type()) + "," + std::to_string(c.type.data_length()) +
               ",NULL,NULL,'" + (c.nullable ? "Y" : "N") + "'," + std::to_string(++id) +
               ",NULL,NULL," + std::to_string(c.type.char_length()) + ",NULL);";
  }
  if (apply(s, catalog, error)) return true;
  run_sql(s, "DROP VIEW " + sqlite_name(view), ignored);
  return false;
}

bool drop(session& s, parser& p, bool parse_only, oracle_error& error) {
  std::string kind = p.i_ < p.t_.size() ? p.t_[p.i_].text : "";
  static const std::set<std::string> code = {"PROCEDURE", "FUNCTION", "PACKAGE", "TRIGGER", "TYPE", "SYNONYM"};
  if (kind != "TABLE" && kind != "VIEW" && kind != "INDEX" && kind != "SEQUENCE" && !code.count(kind)) {
    error = make_error(950);
    return false;
  }
  ++p.i_;
  if (kind == "SEQUENCE" || code.count(kind)) {
    if ((kind == "PACKAGE" || kind == "TYPE") && p.accept("BODY")) kind += " BODY";
    std::string name;
    if (!p.object(name, s, error)) return false;
    p.accept("FORCE");
    if (!p.done()) {
      error = make_error(933);
      return false;
    }
    if (parse_only) return true;
    std::string q = quote(name);
    if (kind == "SEQUENCE") {
      if (!exists(s, "SELECT 1 FROM \"OCILITE$SEQUENCES\" WHERE SEQUENCE_NAME = ?1", name)) {
        error = make_error(2289);
        return false;
      }
      return apply(s, "DELETE FROM \"OCILITE$SEQUENCES\" WHERE SEQUENCE_NAME = " + q + ";", error);
    }
    if (!exists(s, "SELECT 1 FROM \"OCILITE$OBJECTS\" WHERE OBJECT_NAME = ?1 AND OBJECT_TYPE = ?2", name, kind)) {
      error = kind == "TRIGGER" ? make_error(4080, name) : make_error(4043, name);
      return false;
    }
    std::string types = quote(kind) + (kind == "PACKAGE" || kind == "TYPE" ? "," + quote(kind + " BODY") : "");
    return apply(s, "DELETE FROM \"OCILITE$OBJECTS\" WHERE OBJECT_NAME = " + q + " AND OBJECT_TYPE IN (" + types +
                        ");DELETE FROM \"OCILITE$SOURCE\" WHERE NAME = " + q + " AND TYPE IN (" + types + ");",
                 error);
  }
  std::string name;
  if (!p.name(name, error)) return false;
  bool cascade = kind == "TABLE" && p.accept("CASCADE");
  if (cascade) p.accept("CONSTRAINTS");
  p.accept("PURGE");
  if (p.i_ != p.t_.size()) {
    error = make_error(933);
    return false;
  }
  if (parse_only) return true;
  std::string q = quote(name), sql;
  if (kind == "TABLE") {
    if (!table_exists(s, name)) { error = make_error(942); return false; }
    // Foreign keys of other tables into this one: refused, or dropped with CASCADE CONSTRAINTS.
    std::vector<std::pair<std::string, std::string>> referencing;
    sqlite3_stmt* r = nullptr;
    if (sqlite3_prepare_v2(s.db, "SELECT TABLE_NAME, CONSTRAINT_NAME FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_TYPE = 'R'"
                           " AND TABLE_NAME <> ?1 AND R_CONSTRAINT_NAME IN (SELECT CONSTRAINT_NAME FROM"
                           " \"OCILITE$CONSTRAINTS\" WHERE TABLE_NAME = ?1)", -1, &r, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(r, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(r) == SQLITE_ROW)
        referencing.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(r, 0)),
                                 reinterpret_cast<const char*>(sqlite3_column_text(r, 1)));
    }
    sqlite3_finalize(r);
    if (!referencing.empty() && !cascade) {
      error = make_error(2449);
      return false;
    }
    for (const auto& [child, key] : referencing)
      if (!drop_constraint(s, child, key, error)) return false;
    // Keys ocilite keeps with triggers go with the table, on both sides.
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(s.db, "SELECT CONSTRAINT_NAME FROM \"OCILITE$ENFORCED\" WHERE CONSTRAINT_NAME IN (SELECT"
                           " CONSTRAINT_NAME FROM \"OCILITE$CONSTRAINTS\" WHERE TABLE_NAME = ?1 OR R_CONSTRAINT_NAME IN"
                           " (SELECT CONSTRAINT_NAME FROM \"OCILITE$CONSTRAINTS\" WHERE TABLE_NAME = ?1))",
                           -1, &st, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      std::vector<std::string> enforced;
      while (sqlite3_step(st) == SQLITE_ROW) enforced.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      sqlite3_finalize(st);
      for (const auto& c : enforced) sql += unenforce_constraint(s, c);
    }
    sql += "DROP TABLE " + sqlite_name(name) + ";"
          "DELETE FROM \"OCILITE$SEQUENCES\" WHERE SEQUENCE_NAME IN (SELECT SEQUENCE_NAME FROM"
          " \"OCILITE$IDENTITY\" WHERE TABLE_NAME = " + q + ");"
          "DELETE FROM \"OCILITE$IDENTITY\" WHERE TABLE_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$COMMENTS\" WHERE TABLE_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$IND_EXPRESSIONS\" WHERE TABLE_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$TABLES\" WHERE TABLE_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$COLUMNS\" WHERE TABLE_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$CONSTRAINTS\" WHERE TABLE_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$CONS_COLUMNS\" WHERE TABLE_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$INDEXES\" WHERE TABLE_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$IND_COLUMNS\" WHERE TABLE_NAME = " + q + ";";
  } else if (kind == "VIEW") {
    if (!exists(s, "SELECT 1 FROM \"OCILITE$VIEWS\" WHERE VIEW_NAME = ?1", name)) { error = make_error(942); return false; }
    sql = "DROP VIEW " + sqlite_name(name) + ";"
          "DELETE FROM \"OCILITE$OBJECTS\" WHERE OBJECT_NAME = " + q + " AND OBJECT_TYPE = 'VIEW';"
          "DELETE FROM \"OCILITE$COMMENTS\" WHERE TABLE_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$VIEWS\" WHERE VIEW_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$COLUMNS\" WHERE TABLE_NAME = " + q + ";";
  } else {
    if (!exists(s, "SELECT 1 FROM \"OCILITE$INDEXES\" WHERE INDEX_NAME = ?1", name) ||
        exists(s, "SELECT 1 FROM \"OCILITE$CONSTRAINTS\" WHERE INDEX_NAME = ?1", name)) {
      error = make_error(1418);
      return false;
    }
    sql = "DROP INDEX " + sqlite_name(name) + ";"
          "DELETE FROM \"OCILITE$IND_EXPRESSIONS\" WHERE INDEX_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$INDEXES\" WHERE INDEX_NAME = " + q + ";"
          "DELETE FROM \"OCILITE$IND_COLUMNS\" WHERE INDEX_NAME = " + q + ";";
  }
  return apply(s, sql, error);
}

}  // namespace ddl

using namespace ddl;

bool run_ddl(session& s, const std::string& sql, const std::vector<token>& tokens,
             bool parse_only, oracle_error& error) {
  parser p(sql, tokens);
  if (p.accept("DROP")) return drop(s, p, parse_only, error);
  if (p.accept("RENAME")) return rename_object(s, p, parse_only, error);
  if (p.accept("COMMENT")) {
    if (!p.expect("ON", 969, error)) return false;
    return comment_on(s, p, parse_only, error);
  }
  if (p.accept("ALTER")) {
    if (p.accept("TABLE")) return alter_table(s, p, parse_only, error);
    if (p.accept("SESSION")) return alter_session(s, p, parse_only, error);
    error = make_error(p.at("SEQUENCE") || p.at("INDEX") || p.at("VIEW") || p.at("TRIGGER") ? 3001 : 940);
    return false;
  }
  p.accept("CREATE");
  bool replace = false;
  if (p.accept("OR")) {
    if (!p.expect("REPLACE", 922, error)) return false;
    replace = true;
  }
  bool force = p.accept("FORCE");
  if (!force && p.at("NO") && p.at(1, "FORCE")) p.i_ += 2;
  if (p.accept("EDITIONABLE")) p.accept("EDITIONING");
  else p.accept("NONEDITIONABLE") || p.accept("EDITIONING");
  if (!replace && p.accept("SEQUENCE")) return create_sequence(s, p, parse_only, error);
  if (!replace && p.accept("TABLE")) return create_table(s, p, parse_only, error);
  if (p.accept("VIEW")) return create_view(s, p, replace, force, parse_only, error);
  if (replace) {
    error = make_error(922);
    return false;
  }
  bool unique = p.accept("UNIQUE");
  if (p.accept("INDEX")) return create_index(s, p, unique, parse_only, error);
  error = make_error(901);
  return false;
}

}  // namespace ocl
