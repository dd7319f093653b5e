#include "ocilite/ocl_xlat.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "ocilite/ocl_val.h"

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

// "1.5d" or "2f": a number written for BINARY_DOUBLE or BINARY_FLOAT.
bool binary_suffix_follows(const std::vector<token>& t, size_t i, size_t last) {
  if (i + 1 >= last || t[i + 1].kind != token_kind::word || t[i + 1].begin != t[i].end)
    return false;
  const std::string& suffix = t[i + 1].text;
  return suffix == "d" || suffix == "D" || suffix == "f" || suffix == "F";
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

// Operand spans around "||": a literal, a (dotted) name, a function call or
// a parenthesized group, with an optional sign in front. Answers the first
// and last token of the operand, or false when there is none.
bool operand_after(const std::vector<token>& t, size_t k, size_t last, size_t& from, size_t& to) {
  size_t i = k + 1;
  if (i >= last) return false;
  from = i;
  if ((t[i].is("-") || t[i].is("+")) && i + 1 < last) ++i;
  if (t[i].kind == token_kind::word && i + 1 < last && t[i + 1].is("(")) ++i;
  if (t[i].is("(")) {
    int depth = 0;
    for (; i < last; ++i) {
      if (t[i].is("(")) ++depth;
      if (t[i].is(")") && --depth == 0) break;
    }
    if (i >= last) return false;
  } else if (t[i].kind == token_kind::symbol) {
    return false;
  }
  while (i + 2 < last && t[i + 1].is(".") && is_name(t[i + 2])) i += 2;
  to = i;
  return true;
}

bool operand_before(const std::vector<token>& t, size_t k, size_t first, size_t& from, size_t& to) {
  if (k == first) return false;
  size_t i = k - 1;
  to = i;
  if (t[i].is(")")) {
    int depth = 0;
    for (;; --i) {
      if (t[i].is(")")) ++depth;
      if (t[i].is("(") && --depth == 0) break;
      if (i == first) return false;
    }
    if (i > first && t[i - 1].kind == token_kind::word) --i;
  } else if (t[i].kind == token_kind::symbol) {
    return false;
  } else {
    while (i >= first + 2 && t[i - 1].is(".") && is_name(t[i - 2])) i -= 2;
  }
  from = i;
  return true;
}

// Oracle's concatenation treats NULL as empty text (and an empty result is
// NULL): each chain a || b || c becomes NULLIF(IFNULL(a,'')||IFNULL(b,'')||..., '').
void mark_concatenations(const std::vector<token>& t, size_t first, size_t last,
                         std::vector<std::string>& before, std::vector<std::string>& after) {
  for (size_t k = first; k < last; ++k) {
    if (!t[k].is("||")) continue;
    size_t lf = 0, lt = 0, rf = 0, rt = 0;
    if (!operand_before(t, k, first, lf, lt) || !operand_after(t, k, last, rf, rt)) continue;
    bool chain_continues_left = lf > first && t[lf - 1].is("||");
    if (!chain_continues_left) {
      before[lf] = "NULLIF(IFNULL(" + before[lf];
      after[lt] += ",'')";
    }
    before[rf] = "IFNULL(" + before[rf];
    after[rt] += ",'')";
    bool chain_continues_right = rt + 1 < last && t[rt + 1].is("||");
    if (!chain_continues_right) after[rt] += ",'')";
  }
}

// Oracle names an unaliased expression column by its text, upper-cased with
// blanks removed; SQLite would name it by the rewritten text, so each such
// item of the outer select list gets that name as an alias.
void name_select_items(const std::string& sql, const std::vector<token>& t, size_t first, size_t last,
                       std::vector<std::string>& after) {
  if (first >= last || !t[first].is("SELECT")) return;
  size_t i = first + 1;
  while (i < last && (t[i].is("DISTINCT") || t[i].is("ALL") || t[i].is("UNIQUE"))) ++i;
  int depth = 0;
  size_t item = i;
  for (; i <= last; ++i) {
    bool end = i == last || (depth == 0 && (t[i].is(",") || t[i].is("FROM")));
    if (!end) {
      if (t[i].is("(")) ++depth;
      if (t[i].is(")")) --depth;
      continue;
    }
    size_t n = i - item;
    const token& tail = t[i - 1];
    bool single = n == 1 || (n == 3 && t[item + 1].is("."));
    bool star = tail.is("*");
    bool aliased = n >= 2 && is_name(tail) &&
                   (t[i - 2].is("AS") || t[i - 2].is(")") || t[i - 2].kind == token_kind::string ||
                    t[i - 2].kind == token_kind::number || is_name(t[i - 2]));
    if (n > 0 && !single && !star && !aliased) {
      std::string name;
      char quote = 0;
      for (size_t c = t[item].begin; c < tail.end; ++c) {
        char ch = sql[c];
        if (quote) { if (ch == quote) quote = 0; }
        else if (ch == '\'' || ch == '"') quote = ch;
        else if (std::isspace((unsigned char)ch)) continue;
        name += (char)std::toupper((unsigned char)ch);
      }
      after[i - 1] += " AS " + sqlite_name(name.substr(0, 128));
    }
    if (i == last || t[i].is("FROM")) break;
    item = i + 1;
  }
}

// x IS [NOT] JSON: ocilite's OCILITE_IS_JSON of the value (text or bytes).
void mark_json_conditions(const std::vector<token>& t, size_t first, size_t last,
                          std::vector<std::string>& before) {
  for (size_t k = first; k + 1 < last; ++k) {
    if (!t[k].is("IS")) continue;
    bool json = t[k + 1].is("JSON") || (k + 2 < last && t[k + 1].is("NOT") && t[k + 2].is("JSON"));
    size_t from = 0, to = 0;
    if (json && operand_before(t, k, first, from, to)) before[from] = "(OCILITE_IS_JSON(" + before[from];
  }
}

// seq.NEXTVAL, seq.CURRVAL, owner.seq.NEXTVAL starting at t[i]: the tokens it spans, or 0.
size_t sequence_reference(const std::vector<token>& t, size_t i, size_t last, std::string& out) {
  auto pseudo = [&](size_t k) { return k < last && (t[k].is("NEXTVAL") || t[k].is("CURRVAL")); };
  if (!is_name(t[i]) || (i > 0 && t[i - 1].is("."))) return 0;
  size_t seq = i, n = 0;
  if (i + 2 < last && t[i + 1].is(".") && pseudo(i + 2)) n = 3;
  else if (i + 4 < last && t[i + 1].is(".") && is_name(t[i + 2]) && t[i + 3].is(".") && pseudo(i + 4)) seq = i + 2, n = 5;
  if (!n) return 0;
  out += std::string(t[i + n - 1].is("NEXTVAL") ? "OCILITE_NEXTVAL(" : "OCILITE_CURRVAL(") + literal(t[seq].text) + ")";
  return n;
}

}  // namespace

bool translate(const std::string& sql, const std::vector<token>& t, size_t first, size_t last,
               std::string& out, oracle_error& error) {
  out.clear();
  error = oracle_error();
  std::vector<std::string> before(t.size()), after(t.size());
  mark_concatenations(t, first, last, before, after);
  mark_json_conditions(t, first, last, before);
  name_select_items(sql, t, first, last, after);
  size_t previous_end = std::string::npos;
  for (size_t i = first; i < last;) {
    const token& tok = t[i];
    if (previous_end != std::string::npos && tok.begin > previous_end) out += ' ';
    out += before[i];
    size_t next = i + 1;
    switch (tok.kind) {
      case token_kind::quoted:
        if (size_t n = sequence_reference(t, i, last, out)) {
          next = i + n;
          break;
        }
        out += sqlite_name(tok.text);
        break;
      case token_kind::string:
        out += tok.text.empty() ? "NULL" : literal(tok.text);
        break;
      case token_kind::number:
        // Oracle's NUMBER stops short of 1.0E126: a larger literal overflows
        // (SQLite would keep it as infinity). A BINARY_DOUBLE literal, with
        // its d or f suffix, goes further.
        if (std::fabs(std::strtod(tok.text.c_str(), nullptr)) >= 1e126 && !binary_suffix_follows(t, i, last)) {
          error = make_error(1426);
          return false;
        }
        out += tok.text;
        break;
      case token_kind::symbol:
        out += tok.is("!=") || tok.is("^=") ? "<>" : tok.text;
        break;
      case token_kind::word: {
        const std::string& w = tok.text;
        bool plain = !preceded_by_dot(t, i, first) && !followed_by(t, i, last, "(") &&
                     !followed_by(t, i, last, ".");
        if (size_t n = sequence_reference(t, i, last, out)) {
          next = i + n;
        } else if (w == "UTL_RAW" && i + 3 < last && t[i + 1].is(".") && t[i + 3].is("(") &&
                   (t[i + 2].is("CAST_TO_RAW") || t[i + 2].is("CAST_TO_VARCHAR2"))) {
          out += "OCILITE_" + t[i + 2].text;  // the package's two conversions between text and bytes
          next = i + 3;
        } else if (w == "IS" && i + 1 < last && (t[i + 1].is("JSON") || t[i + 1].is("NOT"))) {
          size_t k = i + 1;
          bool negated = t[k].is("NOT");
          if (negated) ++k;
          if (k < last && t[k].is("JSON")) {
            ++k;
            if (k < last && (t[k].is("STRICT") || t[k].is("LAX"))) ++k;
            out += std::string(") = ") + (negated ? "0)" : "1)");
            next = k;
          } else {
            out += w;
          }
        } else if ((w == "DATE" || w == "TIMESTAMP") && i + 1 < last &&
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
    for (size_t k = i; k < next; ++k) out += after[k];
    previous_end = t[next - 1].end;
    i = next;
  }
  return true;
}

}  // namespace ocl
