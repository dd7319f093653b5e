#include "ocilite/ocl_trans.h"

#include "ocilite/ocl_value.h"

namespace ocl {

namespace {

std::string literal(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

bool followed_by(const std::vector<token>& t, size_t i, size_t last, const char* what) {
  return i + 1 < last && t[i + 1].is(what);
}

bool preceded_by_dot(const std::vector<token>& t, size_t i, size_t first) {
  return i > first && t[i - 1].is(".");
}

// INTERVAL 'text' unit[(p)] [TO unit[(f)]] starting at t[i] (the word INTERVAL).
bool interval_literal(const std::vector<token>& t, size_t& i, size_t last, std::string& out,
                      oracle_error& error) {
  size_t k = i + 1;
  if (k >= last || t[k].kind != token_kind::string) return false;
  const std::string text = t[k++].text;
  auto skip_precision = [&] {
    if (k < last && t[k].is("(")) {
      while (k < last && !t[k].is(")")) ++k;
      if (k < last) ++k;
    }
  };
  if (k >= last || t[k].kind != token_kind::word) return false;
  std::string from = t[k++].text, to;
  skip_precision();
  if (k < last && t[k].is("TO") && k + 1 < last) {
    to = t[k + 1].text;
    k += 2;
    skip_precision();
  }
  std::string canonical;
  int failure = normalize_interval(text, from, to, canonical);
  if (failure) {
    error = make_error(failure);
    return true;
  }
  out += literal(canonical);
  i = k;
  return true;
}

}  // namespace

bool translate(const std::string& sql, const std::vector<token>& t, size_t first, size_t last,
               std::string& out, oracle_error& error) {
  out.clear();
  error = oracle_error();
  size_t previous_end = std::string::npos;
  for (size_t i = first; i < last;) {
    const token& tok = t[i];
    if (previous_end != std::string::npos && tok.begin > previous_end) out += ' ';
    size_t next = i + 1;
    switch (tok.kind) {
      case token_kind::quoted:
        out += sqlite_name(tok.text);
        break;
      case token_kind::string:
        out += tok.text.empty() ? "NULL" : literal(tok.text);
        break;
      case token_kind::number:
        out += tok.text;
        break;
      case token_kind::symbol:
        out += tok.is("!=") || tok.is("^=") ? "<>" : tok.text;
        break;
      case token_kind::word: {
        const std::string& w = tok.text;
        bool plain = !preceded_by_dot(t, i, first) && !followed_by(t, i, last, "(") &&
                     !followed_by(t, i, last, ".");
        if ((w == "DATE" || w == "TIMESTAMP") && i + 1 < last &&
            t[i + 1].kind == token_kind::string) {
          datetime when;
          if (!parse_stored_datetime(t[i + 1].text, when)) {
            error = make_error(1861);
            return false;
          }
          out += literal(w == "DATE" ? stored_date(when) : stored_timestamp(when));
          next = i + 2;
        } else if (w == "INTERVAL" && i + 1 < last && t[i + 1].kind == token_kind::string) {
          size_t k = i;
          if (!interval_literal(t, k, last, out, error)) {
            error = make_error(1867);
            return false;
          }
          if (error.number) return false;
          next = k;
        } else if (plain && (w == "SYSDATE" || w == "SYSTIMESTAMP")) {
          out += w + "()";
        } else if (plain && w == "USER") {
          out += "OCILITE_USER()";
        } else if (w == "MINUS") {
          out += "EXCEPT";
        } else if (w.find('#') != std::string::npos || w == "DEFERRABLE") {
          // '#' is not an SQLite name character; DEFERRABLE is an SQLite keyword.
          out += sqlite_name(w);
        } else {
          out += w;
        }
        break;
      }
    }
    previous_end = t[next - 1].end;
    i = next;
  }
  (void)sql;
  return true;
}

}  // namespace ocl
