#include "ocilite/ocl_lex.h"

#include <cctype>

namespace ocl {

namespace {

bool word_start(unsigned char c) { return std::isalpha(c) || c >= 0x80; }
bool word_char(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

}  // namespace

bool is_name(const token& t) { return t.kind == token_kind::word || t.kind == token_kind::quoted; }

std::string sqlite_identifier(const std::string& name) {
  std::string identifier;
  for (char c : name) {
    if (c == '~' || (c >= 'a' && c <= 'z')) identifier += '~';
    identifier += c;
  }
  return identifier;
}

std::string sqlite_name(const std::string& name) {
  std::string quoted = "\"";
  for (char c : sqlite_identifier(name)) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string oracle_name(std::string_view identifier) {
  std::string name;
  for (size_t i = 0; i < identifier.size(); ++i) {
    if (identifier[i] == '~' && i + 1 < identifier.size()) ++i;
    name += identifier[i];
  }
  return name;
}

bool is_sqlite_name(std::string_view identifier) {
  for (size_t i = 0; i < identifier.size(); ++i) {
    char c = identifier[i];
    if (c == '~') {
      if (i + 1 == identifier.size()) return false;
      char next = identifier[++i];
      if (next != '~' && !(next >= 'a' && next <= 'z')) return false;
    } else if (c >= 'a' && c <= 'z') {
      return false;
    }
  }
  return true;
}

bool tokenize(std::string_view sql, std::vector<token>& tokens, oracle_error& error,
              int first_line) {
  tokens.clear();
  int line = first_line;
  size_t i = 0;
  const size_t n = sql.size();
  while (i < n) {
    unsigned char c = sql[i];
    if (c == '\n') { ++line; ++i; continue; }
    if (std::isspace(c)) { ++i; continue; }
    if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      i += 2;
      while (i + 1 < n && !(sql[i] == '*' && sql[i + 1] == '/')) {
        if (sql[i] == '\n') ++line;
        ++i;
      }
      i = i + 2 <= n ? i + 2 : n;
      continue;
    }
    token t{token_kind::symbol, "", i, i, line};
    // N'...' is a national literal, Q'[...]' (NQ'...') one quoted with delimiters.
    size_t prefix = 0;
    if ((c == 'n' || c == 'N') && i + 1 < n && sql[i + 1] == '\'') prefix = 1;
    size_t q = (c == 'n' || c == 'N') ? i + 1 : i;
    bool delimited = q + 2 < n && (sql[q] == 'q' || sql[q] == 'Q') && sql[q + 1] == '\'' &&
                     (q == i || q == i + 1);
    if (delimited) {
      char open = sql[q + 2];
      char close = open == '[' ? ']' : open == '(' ? ')' : open == '{' ? '}' : open == '<' ? '>' : open;
      if (std::isspace((unsigned char)open)) { error = make_error(1756); return false; }
      size_t end = q + 3;
      while (end + 1 < n && !(sql[end] == close && sql[end + 1] == '\'')) ++end;
      if (end + 1 >= n) { error = make_error(1756); return false; }
      t.kind = token_kind::string;
      t.text = std::string(sql.substr(q + 3, end - q - 3));
      for (char ch : t.text) line += ch == '\n';
      i = end + 2;
      t.end = i;
      tokens.push_back(std::move(t));
      continue;
    }
    if (prefix) c = sql[++i];
    if (c == '\'') {
      std::string value;
      size_t j = i + 1;
      bool closed = false;
      while (j < n) {
        if (sql[j] == '\'') {
          if (j + 1 < n && sql[j + 1] == '\'') { value += '\''; j += 2; continue; }
          closed = true;
          ++j;
          break;
        }
        if (sql[j] == '\n') ++line;
        value += sql[j++];
      }
      if (!closed) { error = make_error(1756); return false; }
      t.kind = token_kind::string;
      t.text = value;
      i = j;
    } else if (c == '"') {
      size_t close = sql.find('"', i + 1);
      if (close == std::string_view::npos || close == i + 1) {
        error = make_error(close == i + 1 ? 1741 : 1740);
        return false;
      }
      t.kind = token_kind::quoted;
      t.text = std::string(sql.substr(i + 1, close - i - 1));
      for (char ch : t.text) line += ch == '\n';
      i = close + 1;
    } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit((unsigned char)sql[i + 1]))) {
      size_t j = i;
      while (j < n && std::isdigit((unsigned char)sql[j])) ++j;
      if (j < n && sql[j] == '.' && !(j + 1 < n && sql[j + 1] == '.')) {
        ++j;
        while (j < n && std::isdigit((unsigned char)sql[j])) ++j;
      }
      if (j < n && (sql[j] == 'e' || sql[j] == 'E')) {
        size_t k = j + 1;
        if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
        if (k < n && std::isdigit((unsigned char)sql[k])) {
          while (k < n && std::isdigit((unsigned char)sql[k])) ++k;
          j = k;
        }
      }
      t.kind = token_kind::number;
      t.text = std::string(sql.substr(i, j - i));
      i = j;
    } else if (word_start(c)) {
      size_t j = i;
      while (j < n && word_char(sql[j])) ++j;
      t.kind = token_kind::word;
      t.text = std::string(sql.substr(i, j - i));
      for (char& ch : t.text) ch = (char)std::toupper((unsigned char)ch);
      i = j;
    } else {
      static const char* pairs[] = {"||", "<=", ">=", "<>", "!=", "^=", ":="};
      std::string sym(1, (char)c);
      for (const char* p : pairs)
        if (i + 1 < n && sql[i] == p[0] && sql[i + 1] == p[1]) sym = p;
      if (std::string("(),.;*+-/=<>|!^:%@[]?&").find(sym[0]) == std::string::npos) {
        error = make_error(911);
        return false;
      }
      t.text = sym;
      i += sym.size();
    }
    if ((t.kind == token_kind::word || t.kind == token_kind::quoted) && t.text.size() > max_identifier_bytes) {
      error = make_error(972);
      return false;
    }
    t.end = i;
    tokens.push_back(std::move(t));
  }
  return true;
}

}  // namespace ocl
