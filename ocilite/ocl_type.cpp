#include "ocilite/ocl_type.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>

namespace ocl {

namespace {

bool read_int(const std::vector<token>& t, size_t& i, int& value) {
  if (i >= t.size() || t[i].kind != token_kind::number) return false;
  // Lengths and precisions are small; anything longer is no valid type.
  const std::string& digits = t[i].text;
  if (digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::atoi(digits.c_str());
  ++i;
  return true;
}

bool accept(const std::vector<token>& t, size_t& i, const char* text) {
  if (i < t.size() && t[i].is(text)) { ++i; return true; }
  return false;
}

// "(n [BYTE|CHAR])"; the parenthesis is optional when optional_length holds.
bool read_length(const std::vector<token>& t, size_t& i, otype& type, bool optional_length,
                 bool semantics) {
  if (!accept(t, i, "(")) {
    if (!optional_length) return false;
    type.length = 1;
    return true;
  }
  if (!read_int(t, i, type.length)) return false;
  if (semantics) {
    if (accept(t, i, "CHAR")) type.char_semantics = true;
    else accept(t, i, "BYTE");
  }
  return accept(t, i, ")");
}

std::string num(int v) { return std::to_string(v); }

}  // namespace

bool otype::is_character() const {
  return kind == okind::varchar2 || kind == okind::nvarchar2 || kind == okind::char_ ||
         kind == okind::nchar;
}
bool otype::is_national() const {
  return kind == okind::nvarchar2 || kind == okind::nchar || kind == okind::nclob;
}
bool otype::is_datetime() const {
  return kind == okind::date || kind == okind::timestamp || kind == okind::timestamp_tz ||
         kind == okind::timestamp_ltz;
}
bool otype::is_numeric() const {
  return kind == okind::number || kind == okind::integer || kind == okind::float_ ||
         kind == okind::binary_float || kind == okind::binary_double;
}

// SQLite's type grammar is words and at most two numbers in parentheses, so
// the declared form moves Oracle's inner words before the parentheses.
std::string otype::declared() const {
  switch (kind) {
    case okind::number:
      if (precision < 0) return "NUMBER";
      return "NUMBER(" + num(precision) + "," + num(scale) + ")";
    case okind::integer: return "INTEGER";
    case okind::float_: return "FLOAT(" + num(precision < 0 ? 126 : precision) + ")";
    case okind::binary_float: return "BINARY_FLOAT";
    case okind::binary_double: return "BINARY_DOUBLE";
    case okind::varchar2: return std::string("VARCHAR2 ") + (char_semantics ? "CHAR(" : "BYTE(") + num(length) + ")";
    case okind::nvarchar2: return "NVARCHAR2(" + num(length) + ")";
    case okind::char_: return std::string("CHAR ") + (char_semantics ? "CHAR(" : "BYTE(") + num(length) + ")";
    case okind::nchar: return "NCHAR(" + num(length) + ")";
    case okind::long_: return "LONG TEXT";  // TEXT keeps SQLite from turning "12" into 12
    case okind::long_raw: return "LONG RAW";
    case okind::date: return "DATE";
    case okind::timestamp: return "TIMESTAMP(" + num(fraction) + ")";
    case okind::timestamp_tz: return "TIMESTAMP WITH TIME ZONE(" + num(fraction) + ")";
    case okind::timestamp_ltz: return "TIMESTAMP WITH LOCAL TIME ZONE(" + num(fraction) + ")";
    case okind::interval_ym: return "INTERVAL YEAR_TO_MONTH(" + num(leading) + ")";
    case okind::interval_ds: return "INTERVAL DAY_TO_SECOND(" + num(leading) + "," + num(fraction) + ")";
    case okind::raw: return "RAW(" + num(length) + ")";
    default: return data_type();
  }
}

std::string otype::data_type() const {
  switch (kind) {
    case okind::number: case okind::integer: return "NUMBER";
    case okind::float_: return "FLOAT";
    case okind::binary_float: return "BINARY_FLOAT";
    case okind::binary_double: return "BINARY_DOUBLE";
    case okind::varchar2: return "VARCHAR2";
    case okind::nvarchar2: return "NVARCHAR2";
    case okind::char_: return "CHAR";
    case okind::nchar: return "NCHAR";
    case okind::long_: return "LONG";
    case okind::date: return "DATE";
    case okind::timestamp: return "TIMESTAMP(" + num(fraction) + ")";
    case okind::timestamp_tz: return "TIMESTAMP(" + num(fraction) + ") WITH TIME ZONE";
    case okind::timestamp_ltz: return "TIMESTAMP(" + num(fraction) + ") WITH LOCAL TIME ZONE";
    case okind::interval_ym: return "INTERVAL YEAR(" + num(leading) + ") TO MONTH";
    case okind::interval_ds:
      return "INTERVAL DAY(" + num(leading) + ") TO SECOND(" + num(fraction) + ")";
    case okind::raw: return "RAW";
    case okind::long_raw: return "LONG RAW";
    case okind::clob: return "CLOB";
    case okind::nclob: return "NCLOB";
    case okind::blob: return "BLOB";
    case okind::bfile: return "BFILE";
    case okind::rowid: return "ROWID";
  }
  return "UNDEFINED";
}

int otype::data_length() const {
  switch (kind) {
    case okind::number: case okind::integer: case okind::float_: return 22;
    case okind::binary_float: return 4;
    case okind::binary_double: return 8;
    case okind::varchar2: case okind::char_:
      return char_semantics ? std::min(length * 4, kind == okind::char_ ? 2000 : 4000) : length;
    case okind::nvarchar2: case okind::nchar: return length * 2;
    case okind::long_: case okind::long_raw: return 0;
    case okind::date: return 7;
    case okind::timestamp: case okind::timestamp_ltz: return 11;
    case okind::timestamp_tz: return 13;
    case okind::interval_ym: return 5;
    case okind::interval_ds: return 11;
    case okind::raw: return length;
    case okind::clob: case okind::nclob: case okind::blob: return 4000;
    case okind::bfile: return 530;
    case okind::rowid: return 10;
  }
  return 0;
}

int otype::char_length() const { return is_character() ? length : 0; }

ub2 otype::sqlt() const {
  switch (kind) {
    case okind::number: case okind::integer: case okind::float_: return SQLT_NUM;
    case okind::binary_float: return SQLT_IBFLOAT;
    case okind::binary_double: return SQLT_IBDOUBLE;
    case okind::varchar2: case okind::nvarchar2: return SQLT_CHR;
    case okind::char_: case okind::nchar: return SQLT_AFC;
    case okind::long_: return SQLT_LNG;
    case okind::date: return SQLT_DAT;
    case okind::timestamp: return SQLT_TIMESTAMP;
    case okind::timestamp_tz: return SQLT_TIMESTAMP_TZ;
    case okind::timestamp_ltz: return SQLT_TIMESTAMP_LTZ;
    case okind::interval_ym: return SQLT_INTERVAL_YM;
    case okind::interval_ds: return SQLT_INTERVAL_DS;
    case okind::raw: return SQLT_BIN;
    case okind::long_raw: return SQLT_LBI;
    case okind::clob: case okind::nclob: return SQLT_CLOB;
    case okind::blob: return SQLT_BLOB;
    case okind::bfile: return SQLT_BFILEE;
    case okind::rowid: return SQLT_RDD;
  }
  return SQLT_CHR;
}

sb2 otype::describe_precision() const {
  switch (kind) {
    case okind::number: return (sb2)(precision < 0 ? 0 : precision);
    case okind::integer: return 38;
    case okind::float_: return (sb2)(precision < 0 ? 126 : precision);
    case okind::interval_ym: case okind::interval_ds: return (sb2)leading;
    default: return 0;
  }
}

sb1 otype::describe_scale() const {
  switch (kind) {
    case okind::number: return (sb1)(precision < 0 ? -127 : scale);
    case okind::float_: return -127;
    case okind::timestamp: case okind::timestamp_tz: case okind::timestamp_ltz:
    case okind::interval_ds: return (sb1)fraction;
    default: return 0;
  }
}

ub1 otype::charset_form() const {
  if (is_national()) return SQLCS_NCHAR;
  if (is_character() || kind == okind::long_ || kind == okind::clob) return SQLCS_IMPLICIT;
  return 0;
}

bool parse_type(const std::vector<token>& t, size_t& i, otype& type, oracle_error& error) {
  type = otype();
  error = make_error(902);
  if (i >= t.size() || t[i].kind != token_kind::word) return false;
  const std::string w = t[i++].text;
  if (w == "NUMBER" || w == "DECIMAL" || w == "NUMERIC" || w == "DEC") {
    type.kind = okind::number;
    if (accept(t, i, "(")) {
      if (accept(t, i, "*")) type.precision = 38;
      else if (!read_int(t, i, type.precision)) return false;
      type.scale = 0;
      if (accept(t, i, ",")) {
        bool negative = accept(t, i, "-");
        if (!read_int(t, i, type.scale)) return false;
        if (negative) type.scale = -type.scale;
      }
      if (!accept(t, i, ")")) return false;
      if (type.precision < 1 || type.precision > 38 || type.scale < -84 || type.scale > 127)
        return false;
    } else if (w != "NUMBER") {
      type.precision = 38;
      type.scale = 0;
    }
  } else if (w == "INTEGER" || w == "INT" || w == "SMALLINT") {
    type.kind = okind::integer;
  } else if (w == "FLOAT") {
    type.kind = okind::float_;
    if (accept(t, i, "(")) {
      if (!read_int(t, i, type.precision) || !accept(t, i, ")")) return false;
      if (type.precision < 1 || type.precision > 126) return false;
    }
  } else if (w == "REAL") {
    type.kind = okind::float_;
    type.precision = 63;
  } else if (w == "DOUBLE" && accept(t, i, "PRECISION")) {
    type.kind = okind::float_;
  } else if (w == "BINARY_FLOAT") {
    type.kind = okind::binary_float;
  } else if (w == "BINARY_DOUBLE") {
    type.kind = okind::binary_double;
  } else if (w == "VARCHAR2" || w == "VARCHAR") {
    type.kind = okind::varchar2;
    if (!read_length(t, i, type, false, true) || type.length < 1 || type.length > 4000) return false;
  } else if (w == "NVARCHAR2") {
    type.kind = okind::nvarchar2;
    type.char_semantics = true;
    if (!read_length(t, i, type, false, false) || type.length < 1 || type.length > 2000) return false;
  } else if (w == "CHAR" || w == "CHARACTER") {
    type.kind = okind::char_;
    if (!read_length(t, i, type, true, true) || type.length < 1 || type.length > 2000) return false;
  } else if (w == "NCHAR") {
    type.kind = okind::nchar;
    type.char_semantics = true;
    if (!read_length(t, i, type, true, false) || type.length < 1 || type.length > 1000) return false;
  } else if (w == "LONG") {
    type.kind = accept(t, i, "RAW") ? okind::long_raw : okind::long_;
    accept(t, i, "TEXT");
  } else if (w == "DATE") {
    type.kind = okind::date;
  } else if (w == "TIMESTAMP") {
    type.kind = okind::timestamp;
    if (accept(t, i, "(")) {
      if (!read_int(t, i, type.fraction) || !accept(t, i, ")") || type.fraction > 9) return false;
    }
    if (accept(t, i, "WITH")) {
      type.kind = accept(t, i, "LOCAL") ? okind::timestamp_ltz : okind::timestamp_tz;
      if (!accept(t, i, "TIME") || !accept(t, i, "ZONE")) return false;
    }
  } else if (w == "INTERVAL") {
    if (accept(t, i, "YEAR")) {
      type.kind = okind::interval_ym;
      if (accept(t, i, "(") && (!read_int(t, i, type.leading) || !accept(t, i, ")"))) return false;
      if (!accept(t, i, "TO") || !accept(t, i, "MONTH")) return false;
    } else if (accept(t, i, "DAY")) {
      type.kind = okind::interval_ds;
      if (accept(t, i, "(") && (!read_int(t, i, type.leading) || !accept(t, i, ")"))) return false;
      if (!accept(t, i, "TO") || !accept(t, i, "SECOND")) return false;
      if (accept(t, i, "(") && (!read_int(t, i, type.fraction) || !accept(t, i, ")"))) return false;
    } else {
      return false;
    }
    if (type.leading > 9 || type.fraction > 9) return false;
  } else if (w == "RAW") {
    type.kind = okind::raw;
    if (!read_length(t, i, type, false, false) || type.length < 1 || type.length > 2000) return false;
  } else if (w == "CLOB") {
    type.kind = okind::clob;
  } else if (w == "NCLOB") {
    type.kind = okind::nclob;
  } else if (w == "BLOB") {
    type.kind = okind::blob;
  } else if (w == "BFILE") {
    type.kind = okind::bfile;
  } else if (w == "ROWID" || w == "UROWID") {
    type.kind = okind::rowid;
  } else {
    return false;
  }
  error = oracle_error();
  return true;
}

bool parse_declared(const char* declared, otype& type) {
  type = otype();
  if (!declared) return false;
  std::vector<token> t;
  oracle_error ignored;
  if (!tokenize(declared, t, ignored)) return false;
  std::string name;
  size_t i = 0;
  while (i < t.size() && t[i].kind == token_kind::word) name += (name.empty() ? "" : " ") + t[i++].text;
  std::vector<int> numbers;
  if (accept(t, i, "(")) {
    do {
      bool negative = accept(t, i, "-");
      int value = 0;
      if (!read_int(t, i, value)) return false;
      numbers.push_back(negative ? -value : value);
    } while (accept(t, i, ","));
    if (!accept(t, i, ")")) return false;
  }
  if (i != t.size()) return false;
  auto n = [&](size_t k, int fallback) { return k < numbers.size() ? numbers[k] : fallback; };
  static const std::pair<const char*, okind> names[] = {
      {"NUMBER", okind::number}, {"INTEGER", okind::integer}, {"FLOAT", okind::float_},
      {"BINARY_FLOAT", okind::binary_float}, {"BINARY_DOUBLE", okind::binary_double},
      {"VARCHAR2 BYTE", okind::varchar2}, {"VARCHAR2 CHAR", okind::varchar2},
      {"NVARCHAR2", okind::nvarchar2}, {"CHAR BYTE", okind::char_}, {"CHAR CHAR", okind::char_},
      {"NCHAR", okind::nchar}, {"LONG TEXT", okind::long_}, {"LONG RAW", okind::long_raw},
      {"DATE", okind::date}, {"TIMESTAMP", okind::timestamp},
      {"TIMESTAMP WITH TIME ZONE", okind::timestamp_tz},
      {"TIMESTAMP WITH LOCAL TIME ZONE", okind::timestamp_ltz},
      {"INTERVAL YEAR_TO_MONTH", okind::interval_ym}, {"INTERVAL DAY_TO_SECOND", okind::interval_ds},
      {"RAW", okind::raw}, {"CLOB", okind::clob}, {"NCLOB", okind::nclob}, {"BLOB", okind::blob},
      {"BFILE", okind::bfile}, {"ROWID", okind::rowid}};
  bool known = false;
  for (const auto& [text, kind] : names)
    if (name == text) {
      type.kind = kind;
      known = true;
    }
  if (!known) return false;
  switch (type.kind) {
    case okind::number:
      if (!numbers.empty()) {
        type.precision = n(0, 38);
        type.scale = n(1, 0);
      }
      break;
    case okind::float_: type.precision = n(0, 126); break;
    case okind::varchar2: case okind::char_:
      type.char_semantics = name.size() > 5 && name.substr(name.size() - 4) == "CHAR";
      type.length = n(0, 1);
      break;
    case okind::nvarchar2: case okind::nchar:
      type.char_semantics = true;
      type.length = n(0, 1);
      break;
    case okind::raw: type.length = n(0, 1); break;
    case okind::timestamp: case okind::timestamp_tz: case okind::timestamp_ltz:
      type.fraction = n(0, 6);
      break;
    case okind::interval_ym: type.leading = n(0, 2); break;
    case okind::interval_ds:
      type.leading = n(0, 2);
      type.fraction = n(1, 6);
      break;
    default: break;
  }
  return true;
}

otype type_of_value(int sqlite_type) {
  otype type;
  switch (sqlite_type) {
    case SQLITE_INTEGER: case SQLITE_FLOAT: type.kind = okind::number; break;
    case SQLITE_BLOB: type.kind = okind::raw; type.length = 2000; break;
    default: type.kind = okind::varchar2; type.length = 4000; break;
  }
  return type;
}

}  // namespace ocl
