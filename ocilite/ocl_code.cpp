// Stored PL/SQL and types are kept, never run: CREATE PROCEDURE, FUNCTION,
// PACKAGE [BODY], TRIGGER and TYPE [BODY] store their text as USER_SOURCE
// lines and an object in USER_OBJECTS. ALTER SESSION takes the settings
// ocilite already works with.
#include <cctype>

#include "ocilite/ocl_ddli.h"
#include "ocilite/ocl_nls.h"
#include "ocilite/ocl_val.h"

namespace ocl::ddl {

namespace {

// The words of the statement's head, upper-cased, with the offset of each.
std::vector<std::pair<std::string, size_t>> head_words(const std::string& sql, size_t count) {
  std::vector<std::pair<std::string, size_t>> out;
  size_t i = 0;
  while (i < sql.size() && out.size() < count) {
    char c = sql[i];
    if (std::isspace((unsigned char)c)) { ++i; continue; }
    if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      while (i < sql.size() && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      size_t end = sql.find("*/", i + 2);
      i = end == std::string::npos ? sql.size() : end + 2;
      continue;
    }
    size_t start = i;
    std::string word;
    if (c == '"') {
      size_t end = sql.find('"', i + 1);
      if (end == std::string::npos) end = sql.size() - 1;
      word = sql.substr(i, end - i + 1);
      i = end + 1;
    } else if (std::isalnum((unsigned char)c) || c == '_' || c == '$' || c == '#') {
      while (i < sql.size() && (std::isalnum((unsigned char)sql[i]) || sql[i] == '_' || sql[i] == '$' || sql[i] == '#'))
        word += (char)std::toupper((unsigned char)sql[i++]);
    } else {
      word = std::string(1, c);
      ++i;
    }
    out.emplace_back(word, start);
  }
  return out;
}

}  // namespace

bool stored_code_kind(const std::string& sql, std::string& kind) {
  auto w = head_words(sql, 8);
  size_t k = 0;
  if (k >= w.size() || w[k].first != "CREATE") return false;
  ++k;
  if (k + 1 < w.size() && w[k].first == "OR" && w[k + 1].first == "REPLACE") k += 2;
  if (k < w.size() && (w[k].first == "EDITIONABLE" || w[k].first == "NONEDITIONABLE")) ++k;
  if (k >= w.size()) return false;
  const std::string& what = w[k].first;
  if (what != "PROCEDURE" && what != "FUNCTION" && what != "PACKAGE" && what != "TRIGGER" && what != "TYPE")
    return false;
  kind = what;
  if ((what == "PACKAGE" || what == "TYPE") && k + 1 < w.size() && w[k + 1].first == "BODY") kind += " BODY";
  return true;
}

bool create_stored_code(session& s, const std::string& sql, bool parse_only, oracle_error& error) {
  auto w = head_words(sql, 12);
  size_t k = 1;
  bool replace = false;
  if (k + 1 < w.size() && w[k].first == "OR" && w[k + 1].first == "REPLACE") k += 2, replace = true;
  if (k < w.size() && (w[k].first == "EDITIONABLE" || w[k].first == "NONEDITIONABLE")) ++k;
  std::string kind;
  stored_code_kind(sql, kind);
  size_t text_start = w[k].second;
  k += kind.find(' ') == std::string::npos ? 1 : 2;
  if (k >= w.size()) {
    error = make_error(936);
    return false;
  }
  std::string name = w[k].first;
  if (k + 2 < w.size() && w[k + 1].first == ".") {
    if (name != s.user && name != "\"" + s.user + "\"") {
      error = make_error(1031);
      return false;
    }
    name = w[k + 2].first;
  }
  if (name.size() >= 2 && name.front() == '"') name = name.substr(1, name.size() - 2);
  if (name.empty() || !(std::isalpha((unsigned char)name[0]) || w[k].first[0] == '"')) {
    error = make_error(936);
    return false;
  }
  if (parse_only) return true;
  bool same = exists(s, "SELECT 1 FROM \"OCILITE$OBJECTS\" WHERE OBJECT_NAME = ?1 AND OBJECT_TYPE = ?2", name, kind);
  if (same && !replace) {
    error = make_error(955);
    return false;
  }
  if (!same && kind != "TRIGGER" && kind.find("BODY") == std::string::npos && object_exists(s, name)) {
    error = make_error(955);
    return false;
  }
  // USER_SOURCE holds the text from the unit's kind on, one row a line, each with its line end.
  std::string text = sql.substr(text_start);
  while (!text.empty() && std::isspace((unsigned char)text.back())) text.pop_back();
  std::string q = quote(name), rows;
  int line = 0;
  for (size_t at = 0; at <= text.size();) {
    size_t end = text.find('\n', at);
    std::string piece = text.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
    if (end == std::string::npos) piece += "\n";
    rows += "INSERT INTO \"OCILITE$SOURCE\" VALUES(" + q + "," + quote(kind) + "," + std::to_string(++line) + "," +
            quote(piece) + ");";
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return apply(s, "DELETE FROM \"OCILITE$OBJECTS\" WHERE OBJECT_NAME = " + q + " AND OBJECT_TYPE = " + quote(kind) +
                      ";DELETE FROM \"OCILITE$SOURCE\" WHERE NAME = " + q + " AND TYPE = " + quote(kind) +
                      ";INSERT INTO \"OCILITE$OBJECTS\" VALUES(" + q + "," + quote(kind) + ",'VALID',SYSDATE());" + rows,
               error);
}

bool alter_session(session& s, parser& p, bool parse_only, oracle_error& error) {
  if (!p.expect("SET", 922, error)) return false;
  while (!p.done()) {
    std::string parameter;
    if (!p.name(parameter, error)) return false;
    if (!p.expect("=", 922, error)) return false;
    if (p.done()) {
      error = make_error(922);
      return false;
    }
    const token& v = p.t_[p.i_++];
    std::string value = v.text;
    for (char& c : value) c = (char)std::toupper((unsigned char)c);
    if (parameter == "CURRENT_SCHEMA") {
      if (!parse_only && value != s.user && v.text != s.user) {  // one user per schema file
        error = make_error(1435);
        return false;
      }
      continue;
    }
    if (parameter == "NLS_DATE_FORMAT" || parameter == "NLS_TIMESTAMP_FORMAT") {
      if (v.kind != token_kind::string) {
        error = make_error(922);
        return false;
      }
      // A format that cannot read back what it writes is no format.
      datetime sample;
      sample.year = 2001, sample.month = 2, sample.day = 3, sample.hour = 14, sample.minute = 5, sample.second = 6;
      datetime read;
      int failure = parse_with_format(format_datetime(sample, v.text), v.text, read);
      if (failure == 1821) {
        error = make_error(1821);
        return false;
      }
      if (!parse_only) set_nls_format(s.db, parameter == "NLS_TIMESTAMP_FORMAT", v.text);
      continue;
    }
    // The language and numeric characters ocilite's conversions use are
    // accepted; others would change them, which ocilite does not do.
    bool current = (parameter == "NLS_LANGUAGE" && (value == "AMERICAN" || value == "ENGLISH")) ||
                   (parameter == "NLS_TERRITORY" && value == "AMERICA") ||
                   (parameter == "NLS_NUMERIC_CHARACTERS" && value == ".,");
    if (!current) {
      bool known = parameter.rfind("NLS_", 0) == 0 || parameter == "TIME_ZONE" || parameter == "OPTIMIZER_MODE" ||
                   parameter == "CURSOR_SHARING" || parameter == "DDL_LOCK_TIMEOUT" || parameter == "EDITION" ||
                   parameter == "CONTAINER" || parameter == "PLSQL_WARNINGS" || parameter == "STATISTICS_LEVEL";
      error = make_error(known ? 3001 : 2248);
      return false;
    }
  }
  return true;
}

}  // namespace ocl::ddl
