#include "ocilite/ocl_load.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ocilite/ocl_exec.h"
#include "ocilite/ocl_val.h"
#include "ocilite/ocl_xlat.h"

namespace ocl {

namespace {

// A placeholder word in the token list handed to the translator; it comes out
// unchanged and is then turned into SQLite's ?N.
const char bind_marker[] = "OCILITE$BIND$";

// Functions whose translation does not depend on their arguments' text, so a
// statement using them can be run again with other literals bound.
bool plain_function(const std::string& w) {
  static const char* names[] = {"TO_DATE", "TO_TIMESTAMP", "TO_NUMBER", "TO_CHAR", "HEXTORAW",
                                "EMPTY_CLOB", "EMPTY_BLOB", "NVL", "UPPER", "LOWER", "SUBSTR",
                                "TRUNC", "ROUND", "RPAD", "LPAD", "CONCAT", "CHR", "NULL"};
  for (const char* n : names)
    if (w == n) return true;
  return false;
}

// INSERT INTO name [(columns)] VALUES (literals, operators, plain functions):
// the statement's shape (its tokens with the literals taken out) as key, and
// the literals. False for any other statement.
bool insert_shape(const std::vector<token>& t, std::string& key,
                  std::vector<std::pair<char, std::string>>& literals) {
  key.clear();
  literals.clear();
  const size_t n = t.size();
  if (n < 6 || !t[0].is("INSERT") || !t[1].is("INTO")) return false;
  size_t values = 0;
  for (size_t i = 2; i < n && !values; ++i) {
    if (t[i].is("VALUES")) values = i;
    else if (t[i].kind == token_kind::string || t[i].kind == token_kind::number || t[i].is("SELECT"))
      return false;
  }
  if (!values || !t[values + 1].is("(") || !t[n - 1].is(")")) return false;
  int depth = 0;
  for (size_t i = 0; i < n; ++i) {
    const token& k = t[i];
    if (i > values) {
      if (k.is("(")) ++depth;
      if (k.is(")") && --depth == 0 && i != n - 1) return false;
    }
    char literal = 0;
    if (i > values && k.kind == token_kind::word) {
      if ((k.text == "DATE" || k.text == "TIMESTAMP") && i + 1 < n && t[i + 1].kind == token_kind::string) {
        literal = k.text == "DATE" ? 'd' : 't';
        literals.emplace_back(literal, t[++i].text);
      } else if (!plain_function(k.text)) {
        return false;
      }
    } else if (k.kind == token_kind::string) {
      literal = 's';
      literals.emplace_back(literal, k.text);
    } else if (k.kind == token_kind::number) {
      // 1.5d and 2f are BINARY_DOUBLE / BINARY_FLOAT literals.
      if (i + 1 < n && t[i + 1].kind == token_kind::word && t[i + 1].begin == k.end) return false;
      literal = 'n';
      literals.emplace_back(literal, k.text);
    } else if (i > values && k.kind == token_kind::quoted) {
      return false;
    }
    key += (char)('0' + (int)k.kind);
    key += literal ? std::string(1, literal) : k.text;
    key += i > 0 && k.begin == t[i - 1].end ? '\1' : '\2';
  }
  return true;
}

bool statement_is_dml(const token& first) {
  return first.is("SELECT") || first.is("WITH") || first.is("(") || first.is("INSERT") ||
         first.is("UPDATE") || first.is("DELETE") || first.is("MERGE") || first.is("LOCK");
}

std::string savepoint_name(const std::string& name) { return sqlite_name("OCILITE$SP$" + name); }

oracle_error pls_error(const std::string& text, const token* at, int first_line) {
  int line = at ? at->line - first_line + 1 : 1, column = 1;
  if (at) {
    size_t nl = text.rfind('\n', at->begin);
    column = (int)(at->begin - (nl == std::string::npos ? 0 : nl + 1)) + 1;
  }
  std::string symbol = at ? at->text : "end-of-file";
  return {6550, "ORA-06550: line " + std::to_string(line) + ", column " + std::to_string(column) +
                    ":\nPLS-00103: Encountered the symbol \"" + symbol + "\""};
}

}  // namespace

script_runner::script_runner(session& s) : s_(s) {
  oracle_error ignored;
  open_ = run_sql(s_, "BEGIN; SAVEPOINT ocl_work;", ignored);
}

script_runner::~script_runner() {
  forget_shapes();
  if (open_) {
    oracle_error ignored;
    run_sql(s_, "ROLLBACK", ignored);
  }
}

void script_runner::forget_shapes() {
  for (auto& entry : shapes_) sqlite3_finalize(entry.second);
  shapes_.clear();
}

void script_runner::mark_block() {
  oracle_error ignored;
  if (in_block_) run_sql(s_, "SAVEPOINT ocl_block", ignored);
}

bool script_runner::commit(oracle_error& error) {
  if (!run_sql(s_, "COMMIT", error)) return false;
  open_ = run_sql(s_, "BEGIN; SAVEPOINT ocl_work;", error);
  mark_block();
  return open_;
}

void script_runner::rollback() {
  oracle_error ignored;
  run_sql(s_, "ROLLBACK TO ocl_work", ignored);
  mark_block();
}

void script_runner::rollback_all() {
  oracle_error ignored;
  run_sql(s_, "ROLLBACK", ignored);
  open_ = run_sql(s_, "BEGIN; SAVEPOINT ocl_work;", ignored);
}

bool script_runner::finish(oracle_error& error) {
  forget_shapes();
  if (!open_) return true;
  open_ = false;
  return run_sql(s_, "COMMIT", error);
}

void script_runner::ddl_done() {
  // Oracle commits before and after DDL: a later ROLLBACK stops here.
  forget_shapes();
  oracle_error ignored;
  run_sql(s_, "RELEASE ocl_work; SAVEPOINT ocl_work;", ignored);
}

bool script_runner::run_cached(const std::vector<token>& tokens, bool& handled) {
  handled = false;
  if (!insert_shape(tokens, key_, literals_)) return false;
  auto found = shapes_.find(key_);
  if (found == shapes_.end()) return true;
  sqlite3_stmt* st = found->second;
  sqlite3_reset(st);
  for (size_t k = 0; k < literals_.size(); ++k) {
    const std::string& v = literals_[k].second;
    const int at = (int)k + 1;
    switch (literals_[k].first) {
      case 's':
        if (v.empty()) sqlite3_bind_null(st, at);
        else sqlite3_bind_text(st, at, v.data(), (int)v.size(), SQLITE_STATIC);
        break;
      case 'n': {
        double d = std::strtod(v.c_str(), nullptr);
        if (std::fabs(d) >= 1e126) return true;  // ORA-01426 comes from the full path
        if (v.size() <= 18 && v.find_first_not_of("0123456789") == std::string::npos)
          sqlite3_bind_int64(st, at, std::strtoll(v.c_str(), nullptr, 10));
        else
          sqlite3_bind_double(st, at, d);
        break;
      }
      default: {
        datetime when;
        if (!parse_stored_datetime(v, when)) return true;
        std::string stored = literals_[k].first == 'd' ? stored_date(when) : stored_timestamp(when);
        sqlite3_bind_text(st, at, stored.data(), (int)stored.size(), SQLITE_TRANSIENT);
      }
    }
  }
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  // A failure is run again on the full path, which names it as Oracle would.
  handled = rc == SQLITE_DONE;
  return true;
}

void script_runner::remember(const std::string& sql, const std::vector<token>& tokens) {
  if (shapes_.size() >= 64) forget_shapes();  // bounded: a script has few shapes
  std::vector<token> model;
  model.reserve(tokens.size());
  size_t literal = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    token k = tokens[i];
    bool datetime_word = k.kind == token_kind::word && (k.text == "DATE" || k.text == "TIMESTAMP") &&
                         i + 1 < tokens.size() && tokens[i + 1].kind == token_kind::string;
    if (datetime_word) k = tokens[++i];
    if (datetime_word || k.kind == token_kind::string || k.kind == token_kind::number) {
      k.kind = token_kind::word;
      k.text = bind_marker + std::to_string(++literal);
    }
    model.push_back(std::move(k));
  }
  std::string translated;
  oracle_error error;
  if (literal != literals_.size() || !translate(sql, model, 0, model.size(), translated, error)) return;
  std::string out;
  size_t at = 0, found, replaced = 0;
  const size_t marker = std::strlen(bind_marker);
  while ((found = translated.find(bind_marker, at)) != std::string::npos) {
    out += translated.substr(at, found - at) + "?";
    at = found + marker;
    ++replaced;
  }
  out += translated.substr(at);
  if (replaced != literal) return;
  sqlite3_stmt* st = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v3(s_.db, out.c_str(), (int)out.size(), SQLITE_PREPARE_PERSISTENT, &st, &tail) !=
          SQLITE_OK ||
      !st || (tail && *tail) || sqlite3_bind_parameter_count(st) != (int)literal) {
    sqlite3_finalize(st);
    return;
  }
  shapes_[key_] = st;
}

bool script_runner::run(const std::string& sql, const std::vector<token>& t, oracle_error& error) {
  const token& first = t[0];
  auto word_at = [&](size_t i, const char* w) { return i < t.size() && t[i].is(w); };
  if (first.is("COMMIT")) return commit(error);
  if (first.is("ROLLBACK")) {
    size_t i = word_at(1, "WORK") ? 2 : 1;
    if (!word_at(i, "TO")) {
      rollback();
      return true;
    }
    i += word_at(i + 1, "SAVEPOINT") ? 2 : 1;
    if (i >= t.size() || !is_name(t[i])) {
      error = make_error(933);
      return false;
    }
    if (!run_sql(s_, "ROLLBACK TO " + savepoint_name(t[i].text), error)) {
      error = {1086, "ORA-01086: savepoint '" + t[i].text + "' never established in this session or is invalid"};
      return false;
    }
    return true;
  }
  if (first.is("SAVEPOINT")) {
    if (t.size() != 2 || !is_name(t[1])) {
      error = make_error(t.size() < 2 ? 936 : 933);
      return false;
    }
    return run_sql(s_, "SAVEPOINT " + savepoint_name(t[1].text), error);
  }
  bool handled = false;
  bool shaped = first.is("INSERT") && run_cached(t, handled);
  if (handled) return true;
  cursor c;
  if (!c.prepare(s_, sql, error) || !c.execute(error)) return false;
  if (c.is_query())
    while (c.next_row(error) > 0) {
    }
  if (shaped && !shapes_.count(key_)) remember(sql, t);
  if (!statement_is_dml(first)) ddl_done();
  return true;
}

bool script_runner::execute(const std::string& sql, int line, oracle_error& error) {
  if (!tokenize(sql, tokens_, error, line)) return false;
  if (tokens_.empty()) {
    error = make_error(900);
    return false;
  }
  return run(sql, tokens_, error);
}

bool script_runner::execute_block(const std::string& text, int line, oracle_error& error,
                                  int& error_line) {
  error_line = line;
  std::vector<token> t;
  if (!tokenize(text, t, error, line)) return false;
  const size_t n = t.size();
  size_t i = 0;
  auto refuse = [&](size_t at) {
    error = {3001, "ORA-03001: unimplemented feature"};
    error_line = t[at].line;
    return false;
  };
  auto syntax = [&](size_t at) {
    error = pls_error(text, at < n ? &t[at] : nullptr, line);
    if (at < n) error_line = t[at].line;
    return false;
  };
  if (i < n && t[i].is("DECLARE")) {
    ++i;
    // Declarations mean variables, cursors or types, none of which ocilite has.
    if (i < n && !t[i].is("BEGIN")) return refuse(i);
  }
  if (i >= n || !t[i].is("BEGIN")) return i < n && t[i].is("<") ? refuse(i) : syntax(i);
  ++i;
  struct part {
    size_t first, last;  // tokens [first, last) without the ";"
  };
  std::vector<part> parts;
  for (;;) {
    if (i >= n) return syntax(i);
    if (t[i].is("END")) {
      ++i;
      if (i < n && is_name(t[i])) ++i;
      if (i >= n || !t[i].is(";")) return syntax(i);
      if (++i != n) return syntax(i);
      break;
    }
    const token& w = t[i];
    if (!(w.is("INSERT") || w.is("UPDATE") || w.is("DELETE") || w.is("COMMIT") || w.is("ROLLBACK") ||
          w.is("NULL")))
      return t[i].kind == token_kind::word || t[i].is("<") ? refuse(i) : syntax(i);
    size_t j = i;
    int depth = 0;
    for (; j < n && !(depth == 0 && t[j].is(";")); ++j) {
      if (t[j].is("(")) ++depth;
      if (t[j].is(")")) --depth;
      // RETURNING ... INTO and bind variables need PL/SQL variables.
      if (j > i && (t[j].is("RETURNING") || t[j].is("RETURN") || t[j].is(":") || t[j].is(":=")))
        return refuse(j);
    }
    if (j >= n) return syntax(j);
    if (w.is("NULL") && j != i + 1) return syntax(i + 1);
    parts.push_back({i, j});
    i = j + 1;
  }
  if (parts.empty()) return syntax(n - 1);
  oracle_error ignored;
  run_sql(s_, "SAVEPOINT ocl_block", ignored);
  in_block_ = true;
  bool ok = true;
  for (const part& p : parts) {
    if (t[p.first].is("NULL")) continue;
    std::vector<token> statement(t.begin() + (long)p.first, t.begin() + (long)p.last);
    const size_t begin = t[p.first].begin;
    std::string sql = text.substr(begin, t[p.last - 1].end - begin);
    for (token& k : statement) {
      k.begin -= begin;
      k.end -= begin;
    }
    if (!run(sql, statement, error)) {
      // An unhandled exception undoes the block's work since its start (or its last COMMIT).
      run_sql(s_, "ROLLBACK TO ocl_block", ignored);
      error.text += "\nORA-06512: at line " + std::to_string(t[p.first].line - line + 1);
      error_line = t[p.first].line;
      ok = false;
      break;
    }
  }
  in_block_ = false;
  run_sql(s_, "RELEASE ocl_block", ignored);
  return ok;
}

}  // namespace ocl
