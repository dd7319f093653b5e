#pragma once
// Tokens of Oracle's SQL dialect. Unquoted identifiers and keywords carry
// their upper-cased text (Oracle folds them); quoted identifiers keep their
// case; string literals carry their value with '' already undoubled.
// Comments ("--" to the end of the line, /* ... */) are skipped.
#include <string>
#include <string_view>
#include <vector>

#include "ocilite/ocl_err.h"

namespace ocl {

enum class token_kind { word, quoted, string, number, symbol };

struct token {
  token_kind kind;
  std::string text;
  size_t begin = 0;  // byte offsets of the token in the statement text
  size_t end = 0;
  int line = 1;

  bool is(const char* word_or_symbol) const {
    return (kind == token_kind::word || kind == token_kind::symbol) && text == word_or_symbol;
  }
};

// False with ORA-01756 (or ORA-00911) in error on an unterminated literal or
// a character Oracle does not accept, ORA-00972 on a name beyond 128 bytes.
bool tokenize(std::string_view sql, std::vector<token>& tokens, oracle_error& error,
              int first_line = 1);

// A name as Oracle stores it: an unquoted word upper-cased, a quoted one as is.
inline const std::string& object_name(const token& t) { return t.text; }

bool is_name(const token& t);

// The longest identifier, in bytes, as Oracle 12.2 and later allow.
constexpr size_t max_identifier_bytes = 128;

// The identifier written for SQLite, quoted. SQLite matches names without
// regard to ASCII case, Oracle exactly, so each lower-case ASCII letter is
// written after a '~' and a '~' is doubled: "Mixed" is M~i~x~e~d and no
// longer meets MIXED. A name without lower case or '~' (every unquoted
// one) is stored as it is written, as schema files made before have it.
std::string sqlite_name(const std::string& name);
// The same without the quotes, as SQLite names it in its messages.
std::string sqlite_identifier(const std::string& name);
// The Oracle name of an identifier SQLite reports (a column, a constraint).
std::string oracle_name(std::string_view identifier);
// Whether SQLite's name for a column is one that sqlite_name wrote (rather
// than the text of an expression SQLite named the column by).
bool is_sqlite_name(std::string_view identifier);

}  // namespace ocl
