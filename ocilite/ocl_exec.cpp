#include "ocilite/ocl_exec.h"

#include <strings.h>

#include <cstring>

#include "ocilite/ocl_ddli.h"
#include "ocilite/ocl_xlat.h"

namespace ocl {

namespace {

// Oracle names an expression column by its text, upper-cased, blanks removed.
std::string expression_name(const char* sqlite_name) {
  std::string name;
  bool in_quote = false;
  for (const char* p = sqlite_name ? sqlite_name : ""; *p; ++p) {
    if (*p == '\'' || *p == '"') in_quote = !in_quote;
    if (!in_quote && *p == ' ') continue;
    name += in_quote ? *p : (char)((*p >= 'a' && *p <= 'z') ? *p - 32 : *p);
  }
  return name;
}

// SQLite's list of the columns a key failed on, "T.A, T.B", as "A,B" in
// Oracle's names. The table's own name may hold ". " or ", ", so it is cut
// off where it is known.
std::string column_list(const std::string& failed_columns, const std::string& table) {
  const std::string prefix = sqlite_identifier(table) + ".";
  if (failed_columns.rfind(prefix, 0) == 0) {
    std::string out;
    size_t at = prefix.size();
    for (;;) {
      size_t next = failed_columns.find(", " + prefix, at);
      out += oracle_name(failed_columns.substr(at, next == std::string::npos ? next : next - at));
      if (next == std::string::npos) return out;
      out += ',';
      at = next + 2 + prefix.size();
    }
  }
  std::string out, part;
  auto flush = [&] {
    auto dot = part.rfind('.');
    if (!out.empty()) out += ',';
    out += oracle_name(dot == std::string::npos ? part : part.substr(dot + 1));
    part.clear();
  };
  for (char c : failed_columns) {
    if (c == ',') flush();
    else if (c != ' ') part += c;
  }
  if (!part.empty()) flush();
  return out;
}

// INSERT ... VALUES (..., DEFAULT, ...): SQLite has no DEFAULT in a values
// list, so each one is replaced by the column's default as the dictionary
// keeps it (or NULL). Answers the statement unchanged when there is none.
std::string expand_insert_defaults(session& s, const std::string& sql, const std::vector<token>& t) {
  size_t i = 0;
  if (t.size() < 4 || !t[0].is("INSERT") || !t[1].is("INTO") || !is_name(t[2])) return sql;
  const std::string table = t[2].text;
  i = 3;
  std::vector<std::string> columns;
  if (i < t.size() && t[i].is("(")) {
    for (++i; i < t.size() && !t[i].is(")"); ++i)
      if (is_name(t[i])) columns.push_back(t[i].text);
    ++i;
  }
  if (i >= t.size() || !t[i].is("VALUES") || i + 1 >= t.size() || !t[i + 1].is("(")) return sql;
  // Defaults of the table's columns, in column order.
  std::vector<std::pair<std::string, std::string>> defaults;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(s.db,
                         "SELECT COLUMN_NAME, DATA_DEFAULT FROM \"OCILITE$COLUMNS\" WHERE TABLE_NAME = ?1"
                         " ORDER BY COLUMN_ID", -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW) {
      const unsigned char* d = sqlite3_column_text(st, 1);
      defaults.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                            d ? reinterpret_cast<const char*>(d) : "");
    }
  }
  sqlite3_finalize(st);
  if (columns.empty())
    for (const auto& d : defaults) columns.push_back(d.first);
  std::string out;
  size_t copied = 0;
  int depth = 0;
  size_t item = 0;
  for (size_t k = i + 2; k < t.size(); ++k) {
    if (t[k].is("(")) ++depth;
    else if (t[k].is(")")) {
      if (depth-- == 0) break;
    } else if (depth == 0 && t[k].is(",")) {
      ++item;
    } else if (depth == 0 && t[k].is("DEFAULT") && (t[k - 1].is("(") || t[k - 1].is(",")) &&
               k + 1 < t.size() && (t[k + 1].is(",") || t[k + 1].is(")"))) {
      std::string value = "NULL";
      if (item < columns.size())
        for (const auto& d : defaults)
          if (d.first == columns[item] && !d.second.empty()) value = "(" + d.second + ")";
      out += sql.substr(copied, t[k].begin - copied) + value;
      copied = t[k].end;
    }
  }
  return copied ? out + sql.substr(copied) : sql;
}

// Oracle refuses a value for a GENERATED ALWAYS identity column.
bool writes_identity(session& s, const std::vector<token>& t, ub2 type, oracle_error& error) {
  size_t at = type == OCI_STMT_UPDATE ? 1 : 2;
  if (at >= t.size() || !is_name(t[at])) return true;
  const std::string table = t[at].text;
  std::string column = ddl::lookup(s, "SELECT COLUMN_NAME FROM \"OCILITE$IDENTITY\" WHERE TABLE_NAME = ?1 AND"
                                      " GENERATION_TYPE = 'ALWAYS'", table);
  if (column.empty()) return true;
  if (type == OCI_STMT_INSERT) {
    bool listed = at + 1 < t.size() && t[at + 1].is("(");
    bool named = false;
    if (listed)
      for (size_t k = at + 2; k < t.size() && !t[k].is(")"); ++k) named = named || (is_name(t[k]) && t[k].text == column);
    if (!listed || named) {
      error = make_error(32795);
      return false;
    }
    return true;
  }
  int depth = 0;
  for (size_t k = at + 1; k + 1 < t.size(); ++k) {
    if (t[k].is("(")) ++depth;
    if (t[k].is(")")) --depth;
    if (depth == 0 && t[k].is("WHERE")) break;
    if (depth == 0 && is_name(t[k]) && t[k].text == column && t[k + 1].is("=") && !(k > 0 && t[k - 1].is("."))) {
      error = make_error(32796);
      return false;
    }
  }
  return true;
}

}  // namespace

bool split_insert_all(const std::string& sql, const std::vector<token>& t, std::vector<std::string>& inserts,
                      oracle_error& error) {
  inserts.clear();
  size_t i = 2;  // after INSERT ALL
  std::vector<std::pair<std::string, std::string>> targets;  // "t (cols)", "values"
  while (i < t.size() && t[i].is("INTO")) {
    size_t start = ++i;
    if (i >= t.size() || !is_name(t[i])) {
      error = make_error(903);
      return false;
    }
    ++i;
    if (i < t.size() && t[i].is("(")) {
      int depth = 0;
      for (; i < t.size(); ++i) {
        if (t[i].is("(")) ++depth;
        if (t[i].is(")") && --depth == 0) break;
      }
      ++i;
    }
    std::string target = sql.substr(t[start].begin, t[i - 1].end - t[start].begin);
    std::string values;
    if (i < t.size() && t[i].is("VALUES")) {
      ++i;
      if (i >= t.size() || !t[i].is("(")) {
        error = make_error(906);
        return false;
      }
      size_t open = i;
      int depth = 0;
      for (; i < t.size(); ++i) {
        if (t[i].is("(")) ++depth;
        if (t[i].is(")") && --depth == 0) break;
      }
      if (i >= t.size()) {
        error = make_error(907);
        return false;
      }
      values = sql.substr(t[open + 1].begin, t[i].begin - t[open + 1].begin);
      ++i;
    } else {
      values = "*";
    }
    targets.emplace_back(target, values);
  }
  if (targets.empty() || i >= t.size() || !(t[i].is("SELECT") || t[i].is("WITH") || t[i].is("("))) {
    error = make_error(targets.empty() ? 926 : 928);
    return false;
  }
  std::string subquery = sql.substr(t[i].begin);
  for (const auto& [target, values] : targets)
    inserts.push_back("INSERT INTO " + target + " SELECT " + values + " FROM (" + subquery + ")");
  return true;
}

cursor::~cursor() { close(); }

void cursor::close() {
  if (stmt_) {
    // A statement may be freed by another thread than the one using the connection.
    std::lock_guard<std::recursive_mutex> guard(session_->lock);
    sqlite3_finalize(stmt_);
  }
  stmt_ = nullptr;
  columns_.clear();
  row_pending_ = false;
  done_ = false;
  row_count_ = 0;
}

oracle_error cursor::map_error(const char* message) const {
  std::string text = message ? message : "";
  if (text.rfind("ORA-", 0) == 0) return {std::atoi(text.c_str() + 4), text};
  if (text.rfind("UNIQUE constraint failed: ", 0) == 0 ||
      text.rfind("PRIMARY KEY constraint failed: ", 0) == 0) {
    // Name the Oracle constraint (or unique index) over the same columns.
    std::string failed = text.substr(text.find(": ") + 2);
    std::string table = target_table();
    std::string wanted = column_list(failed, table), name = "?";
    sqlite3_stmt* st = nullptr;
    const char* sql =
        "SELECT INDEX_NAME, group_concat(COLUMN_NAME, ',') FROM (SELECT INDEX_NAME, COLUMN_NAME"
        " FROM \"OCILITE$IND_COLUMNS\" WHERE TABLE_NAME = ?1 ORDER BY INDEX_NAME, COLUMN_POSITION)"
        " GROUP BY INDEX_NAME";
    if (sqlite3_prepare_v2(session_->db, sql, -1, &st, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(st) == SQLITE_ROW) {
        const char* cols = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        if (cols && wanted == cols) name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      }
    }
    sqlite3_finalize(st);
    return make_error(1, session_->user + "." + name);
  }
  if (text.rfind("CHECK constraint failed: ", 0) == 0) {
    std::string name = oracle_name(text.substr(25));
    auto column_of = [&](const char* prefix) {
      return name.rfind(prefix, 0) == 0 ? name.substr(std::strlen(prefix)) : std::string();
    };
    std::string column = column_of("OCILITE$LENGTH$");
    if (!column.empty())
      return make_error(12899, "\"" + session_->user + "\".\"" + target_table() + "\".\"" + column + "\"");
    if (!column_of("OCILITE$PRECISION$").empty()) return make_error(1438);
    if (!column_of("OCILITE$NUMBER$").empty()) return make_error(1722);
    return make_error(2290, session_->user + "." + name);
  }
  if (text.rfind("NOT NULL constraint failed: ", 0) == 0) {
    const std::string table = target_table();
    const std::string prefix = "NOT NULL constraint failed: " + sqlite_identifier(table) + ".";
    if (text.rfind(prefix, 0) == 0)
      return make_error(1400, "\"" + session_->user + "\".\"" + table + "\".\"" +
                                  oracle_name(text.substr(prefix.size())) + "\"");
  }
  if (text.rfind("FOREIGN KEY constraint failed", 0) == 0) {
    // SQLite does not say which key; name the table's own foreign key when it
    // has one (a missing parent), else one that points at it (a child row).
    const std::string table = target_table();
    std::string child = first_name(
        "SELECT CONSTRAINT_NAME FROM \"OCILITE$CONSTRAINTS\" WHERE TABLE_NAME = ?1 AND CONSTRAINT_TYPE = 'R'", table);
    if (!child.empty() && statement_type_ != OCI_STMT_DELETE)
      return make_error(2291, session_->user + "." + child);
    std::string parent = first_name(
        "SELECT c.CONSTRAINT_NAME FROM \"OCILITE$CONSTRAINTS\" c, \"OCILITE$CONSTRAINTS\" k WHERE"
        " c.R_CONSTRAINT_NAME = k.CONSTRAINT_NAME AND k.TABLE_NAME = ?1 AND c.CONSTRAINT_TYPE = 'R'", table);
    return make_error(2292, session_->user + "." + parent);
  }
  return error_from_sqlite(text, session_->user);
}

std::string cursor::target_table() const {
  size_t at = statement_type_ == OCI_STMT_UPDATE ? 1 : 2;  // INSERT INTO t, DELETE FROM t, UPDATE t
  if (statement_type_ == OCI_STMT_DELETE && tokens_.size() > 1 && !tokens_[1].is("FROM")) at = 1;
  return at < tokens_.size() && is_name(tokens_[at]) ? tokens_[at].text : "?";
}

std::string cursor::first_name(const char* sql, const std::string& argument) const {
  std::string name;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(session_->db, sql, -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, argument.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
      name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  }
  sqlite3_finalize(st);
  return name;
}

bool cursor::prepare(session& s, const std::string& oracle_sql, oracle_error& error) {
  close();
  session_ = &s;
  sql_ = oracle_sql;
  statement_type_ = 0;
  ddl_ = stored_code_ = false;
  inserts_.clear();
  // Stored code is kept as written: its body is PL/SQL, not SQL.
  std::string kind;
  if (ddl::stored_code_kind(sql_, kind)) {
    statement_type_ = OCI_STMT_CREATE;
    stored_code_ = true;
    return ddl::create_stored_code(s, sql_, true, error);
  }
  if (!tokenize(sql_, tokens_, error)) return false;
  if (tokens_.empty()) {
    error = make_error(900);
    return false;
  }
  const std::string& first = tokens_[0].text;
  if (first == "SELECT" || first == "WITH" || tokens_[0].is("(")) statement_type_ = OCI_STMT_SELECT;
  else if (first == "INSERT") statement_type_ = OCI_STMT_INSERT;
  else if (first == "UPDATE") statement_type_ = OCI_STMT_UPDATE;
  else if (first == "DELETE") statement_type_ = OCI_STMT_DELETE;
  else if (first == "CREATE") statement_type_ = OCI_STMT_CREATE;
  else if (first == "DROP") statement_type_ = OCI_STMT_DROP;
  else if (first == "ALTER" || first == "RENAME" || first == "COMMENT") statement_type_ = OCI_STMT_ALTER;
  else if (first == "COMMIT" || first == "ROLLBACK") statement_type_ = OCI_STMT_ALTER;
  else {
    error = make_error(900);
    return false;
  }
  // A ";" belongs to scripts; Oracle rejects it inside a statement.
  for (const token& t : tokens_)
    if (t.is(";")) {
      error = make_error(911);
      return false;
    }
  ddl_ = statement_type_ == OCI_STMT_CREATE || statement_type_ == OCI_STMT_DROP ||
         (statement_type_ == OCI_STMT_ALTER && first != "COMMIT" && first != "ROLLBACK");
  if (ddl_) return run_ddl(s, sql_, tokens_, true, error);
  if (statement_type_ == OCI_STMT_ALTER) return true;
  if (statement_type_ == OCI_STMT_INSERT && tokens_.size() > 1 && (tokens_[1].is("ALL") || tokens_[1].is("FIRST"))) {
    if (tokens_[1].is("FIRST") || !split_insert_all(sql_, tokens_, inserts_, error)) {
      if (!error.number) error = make_error(3001);  // INSERT FIRST / conditional WHEN clauses
      return false;
    }
    return true;
  }
  if ((statement_type_ == OCI_STMT_INSERT || statement_type_ == OCI_STMT_UPDATE) &&
      !writes_identity(s, tokens_, statement_type_, error))
    return false;
  if (statement_type_ == OCI_STMT_INSERT) {
    std::string expanded = expand_insert_defaults(s, sql_, tokens_);
    if (expanded != sql_) {
      sql_ = expanded;
      if (!tokenize(sql_, tokens_, error)) return false;
    }
  }
  std::string translated;
  if (!translate(sql_, tokens_, 0, tokens_.size(), translated, error)) return false;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(s.db, translated.c_str(), (int)translated.size(), &stmt_, &tail) !=
      SQLITE_OK) {
    error = map_error(sqlite3_errmsg(s.db));
    close();
    return false;
  }
  if (!stmt_ || (tail && *tail)) {
    error = make_error(933);
    close();
    return false;
  }
  if (is_query() && !sqlite3_stmt_readonly(stmt_)) {
    error = make_error(933);
    close();
    return false;
  }
  return true;
}

bool cursor::execute(oracle_error& error) {
  if (!session_) {
    error = make_error(24337);
    return false;
  }
  if (stored_code_) return ddl::create_stored_code(*session_, sql_, false, error);
  if (ddl_) return run_ddl(*session_, sql_, tokens_, false, error);
  if (statement_type_ == OCI_STMT_ALTER) return true;
  if (!inserts_.empty()) {
    ub4 rows = 0;
    for (const auto& insert : inserts_) {
      cursor part;
      if (!part.prepare(*session_, insert, error) || !part.execute(error)) return false;
      rows += part.row_count();
    }
    row_count_ = rows;
    return true;
  }
  if (!stmt_) {
    error = make_error(24337);
    return false;
  }
  sqlite3_reset(stmt_);
  row_pending_ = done_ = false;
  row_count_ = 0;
  int rc = sqlite3_step(stmt_);
  if (is_query()) {
    if (rc == SQLITE_ROW) row_pending_ = true;
    else if (rc == SQLITE_DONE) done_ = true;
    else {
      error = map_error(sqlite3_errmsg(session_->db));
      return false;
    }
    describe();
    return true;
  }
  while (rc == SQLITE_ROW) rc = sqlite3_step(stmt_);
  if (rc != SQLITE_DONE) {
    error = map_error(sqlite3_errmsg(session_->db));
    sqlite3_reset(stmt_);
    return false;
  }
  row_count_ = (ub4)sqlite3_changes(session_->db);
  return true;
}

void cursor::describe() {
  columns_.clear();
  int count = sqlite3_column_count(stmt_);
  for (int i = 0; i < count; ++i) {
    column_desc column;
    const char* declared = sqlite3_column_decltype(stmt_, i);
    const char* origin = sqlite3_column_origin_name(stmt_, i);
    const char* alias = sqlite3_column_name(stmt_, i);
    if (declared && parse_declared(declared, column.type)) {
      const char* table = sqlite3_column_table_name(stmt_, i);
      const char* database = sqlite3_column_database_name(stmt_, i);
      int not_null = 0;
      if (table && origin &&
          sqlite3_table_column_metadata(session_->db, database, table, origin, nullptr, nullptr,
                                        &not_null, nullptr, nullptr) == SQLITE_OK)
        column.nullable = !not_null;
      column.name = oracle_name(alias ? alias : "");
      // SQLite names an unaliased column as written; Oracle gives the stored name.
      if (origin && alias && strcasecmp(origin, alias) == 0) column.name = oracle_name(origin);
    } else {
      column.type = type_of_value(row_pending_ ? sqlite3_column_type(stmt_, i) : SQLITE_TEXT);
      const char* given = alias ? alias : "";
      column.name = origin || is_sqlite_name(given) ? oracle_name(given) : expression_name(given);
    }
    columns_.push_back(std::move(column));
  }
}

int cursor::next_row(oracle_error& error) {
  if (!stmt_ || !is_query()) {
    error = make_error(24338);
    return -1;
  }
  if (row_pending_) {
    row_pending_ = false;
    ++row_count_;
    return 1;
  }
  if (done_) return 0;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) {
    ++row_count_;
    return 1;
  }
  if (rc == SQLITE_DONE) {
    done_ = true;
    return 0;
  }
  error = map_error(sqlite3_errmsg(session_->db));
  return -1;
}

}  // namespace ocl
