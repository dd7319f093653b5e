#include "ocilite/ocl_func.h"

#include <locale.h>
#include <wctype.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "ocilite/ocl_err.h"
#include "ocilite/ocl_nls.h"
#include "ocilite/ocl_val.h"

namespace ocl {

namespace {

void fail(sqlite3_context* ctx, int number) {
  sqlite3_result_error(ctx, make_error(number).text.c_str(), -1);
}

std::string text_arg(sqlite3_value* v) {
  const unsigned char* t = sqlite3_value_text(v);
  return t ? std::string(reinterpret_cast<const char*>(t), sqlite3_value_bytes(v)) : std::string();
}

void result_text(sqlite3_context* ctx, const std::string& text) {
  sqlite3_result_text(ctx, text.data(), (int)text.size(), SQLITE_TRANSIENT);
}

bool is_null(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

void fn_nvl(sqlite3_context* ctx, int, sqlite3_value** a) {
  sqlite3_result_value(ctx, is_null(a[0]) ? a[1] : a[0]);
}

void fn_nvl2(sqlite3_context* ctx, int, sqlite3_value** a) {
  sqlite3_result_value(ctx, is_null(a[0]) ? a[2] : a[1]);
}

bool same_value(sqlite3_value* x, sqlite3_value* y) {
  if (is_null(x) || is_null(y)) return is_null(x) && is_null(y);  // DECODE treats NULLs as equal
  int tx = sqlite3_value_numeric_type(x), ty = sqlite3_value_numeric_type(y);
  if ((tx == SQLITE_INTEGER || tx == SQLITE_FLOAT) && (ty == SQLITE_INTEGER || ty == SQLITE_FLOAT))
    return sqlite3_value_double(x) == sqlite3_value_double(y);
  return text_arg(x) == text_arg(y);
}

void fn_decode(sqlite3_context* ctx, int argc, sqlite3_value** a) {
  if (argc < 3) { fail(ctx, 938); return; }
  for (int i = 1; i + 1 < argc; i += 2) {
    if (same_value(a[0], a[i])) { sqlite3_result_value(ctx, a[i + 1]); return; }
  }
  if (argc % 2 == 0) sqlite3_result_value(ctx, a[argc - 1]);
  else sqlite3_result_null(ctx);
}

void fn_to_char(sqlite3_context* ctx, int argc, sqlite3_value** a) {
  int type = sqlite3_value_type(a[0]);
  if (type == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
  if ((type == SQLITE_INTEGER || type == SQLITE_FLOAT) && argc > 1 && !is_null(a[1])) {
    std::string text;
    if (!format_number(sqlite3_value_double(a[0]), text_arg(a[1]), text)) { fail(ctx, 1481); return; }
    result_text(ctx, text);
    return;
  }
  switch (type) {
    case SQLITE_INTEGER: result_text(ctx, number_text((int64_t)sqlite3_value_int64(a[0]))); return;
    case SQLITE_FLOAT: result_text(ctx, number_text(sqlite3_value_double(a[0]))); return;
    default: break;
  }
  std::string text = text_arg(a[0]);
  datetime when;
  if (parse_stored_datetime(text, when)) {
    std::string format = argc > 1 ? text_arg(a[1]) : std::string();
    bool timestamp = text.size() > 19;
    if (format.empty()) format = nls_format(sqlite3_context_db_handle(ctx), timestamp);
    result_text(ctx, format.empty() && timestamp ? default_timestamp_text(when, 6)
                                                 : format_datetime(when, format));
    return;
  }
  result_text(ctx, text);
}

void fn_to_number(sqlite3_context* ctx, int, sqlite3_value** a) {
  int type = sqlite3_value_type(a[0]);
  if (type == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) { sqlite3_result_value(ctx, a[0]); return; }
  double value = 0;
  if (!parse_number(text_arg(a[0]), value)) { fail(ctx, 1722); return; }
  if (value == std::trunc(value) && std::fabs(value) < 9e18) sqlite3_result_int64(ctx, (sqlite3_int64)value);
  else sqlite3_result_double(ctx, value);
}

void convert_datetime(sqlite3_context* ctx, int argc, sqlite3_value** a, bool timestamp) {
  if (is_null(a[0])) { sqlite3_result_null(ctx); return; }
  std::string text = text_arg(a[0]);
  datetime when;
  int failure = 0;
  if (argc > 1) {
    failure = parse_with_format(text, text_arg(a[1]), when);
  } else if (!parse_stored_datetime(text, when)) {
    std::string session = nls_format(sqlite3_context_db_handle(ctx), timestamp);
    failure = parse_with_format(text, !session.empty() ? session : timestamp ? "DD-MON-RR HH.MI.SS.FF AM" : "DD-MON-RR",
                                when);
  }
  if (failure) { fail(ctx, failure); return; }
  result_text(ctx, timestamp ? stored_timestamp(when) : stored_date(when));
}

void fn_to_date(sqlite3_context* ctx, int argc, sqlite3_value** a) { convert_datetime(ctx, argc, a, false); }
void fn_to_timestamp(sqlite3_context* ctx, int argc, sqlite3_value** a) { convert_datetime(ctx, argc, a, true); }

void fn_hextoraw(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (is_null(a[0])) { sqlite3_result_null(ctx); return; }
  std::string bytes;
  if (!parse_hex(text_arg(a[0]), bytes)) { fail(ctx, 1465); return; }
  sqlite3_result_blob(ctx, bytes.data(), (int)bytes.size(), SQLITE_TRANSIENT);
}

void fn_rawtohex(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (is_null(a[0])) { sqlite3_result_null(ctx); return; }
  result_text(ctx, hex_text(sqlite3_value_blob(a[0]), sqlite3_value_bytes(a[0])));
}

void fn_empty_clob(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_text(ctx, "", 0, SQLITE_STATIC); }
void fn_empty_blob(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_zeroblob(ctx, 0); }

datetime now(bool with_zone) {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm local;
  localtime_r(&ts.tv_sec, &local);
  datetime v;
  v.year = local.tm_year + 1900;
  v.month = local.tm_mon + 1;
  v.day = local.tm_mday;
  v.hour = local.tm_hour;
  v.minute = local.tm_min;
  v.second = local.tm_sec;
  if (with_zone) {
    v.nanos = (int)(ts.tv_nsec / 1000) * 1000;
    v.has_zone = true;
    v.zone_minutes = (int)(local.tm_gmtoff / 60);
  }
  return v;
}

void fn_sysdate(sqlite3_context* ctx, int, sqlite3_value**) { result_text(ctx, stored_date(now(false))); }
void fn_systimestamp(sqlite3_context* ctx, int, sqlite3_value**) { result_text(ctx, stored_timestamp(now(true))); }

void fn_sys_guid(sqlite3_context* ctx, int, sqlite3_value**) {
  static std::mt19937_64 generator{std::random_device{}()};
  unsigned char bytes[16];
  for (int i = 0; i < 16; i += 8) {
    uint64_t r = generator();
    std::memcpy(bytes + i, &r, 8);
  }
  sqlite3_result_blob(ctx, bytes, 16, SQLITE_TRANSIENT);
}

std::u32string to_u32(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    out += cp;
    i += n;
  }
  return out;
}

std::string to_utf8(const std::u32string& s) {
  std::string out;
  for (char32_t cp : s) {
    if (cp < 0x80) out += (char)cp;
    else if (cp < 0x800) { out += (char)(0xC0 | (cp >> 6)); out += (char)(0x80 | (cp & 0x3F)); }
    else if (cp < 0x10000) { out += (char)(0xE0 | (cp >> 12)); out += (char)(0x80 | ((cp >> 6) & 0x3F)); out += (char)(0x80 | (cp & 0x3F)); }
    else { out += (char)(0xF0 | (cp >> 18)); out += (char)(0x80 | ((cp >> 12) & 0x3F)); out += (char)(0x80 | ((cp >> 6) & 0x3F)); out += (char)(0x80 | (cp & 0x3F)); }
  }
  return out;
}

locale_t unicode_locale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
    return l ? l : newlocale(LC_CTYPE_MASK, "C", (locale_t)0);
  }();
  return loc;
}

void change_case(sqlite3_context* ctx, sqlite3_value* v, bool upper) {
  if (is_null(v)) { sqlite3_result_null(ctx); return; }
  std::u32string text = to_u32(text_arg(v));
  for (char32_t& c : text)
    c = (char32_t)(upper ? towupper_l((wint_t)c, unicode_locale()) : towlower_l((wint_t)c, unicode_locale()));
  result_text(ctx, to_utf8(text));
}

void fn_upper(sqlite3_context* ctx, int, sqlite3_value** a) { change_case(ctx, a[0], true); }
void fn_lower(sqlite3_context* ctx, int, sqlite3_value** a) { change_case(ctx, a[0], false); }

void fn_substr(sqlite3_context* ctx, int argc, sqlite3_value** a) {
  if (is_null(a[0]) || is_null(a[1]) || (argc > 2 && is_null(a[2]))) { sqlite3_result_null(ctx); return; }
  std::u32string text = to_u32(text_arg(a[0]));
  long long n = (long long)text.size();
  long long start = (long long)sqlite3_value_double(a[1]);
  if (start == 0) start = 1;
  if (start < 0) start = n + start + 1;
  if (start < 1 || start > n) { sqlite3_result_null(ctx); return; }
  long long length = argc > 2 ? (long long)sqlite3_value_double(a[2]) : n;
  if (length < 1) { sqlite3_result_null(ctx); return; }
  result_text(ctx, to_utf8(text.substr(start - 1, length)));
}

void round_or_trunc(sqlite3_context* ctx, int argc, sqlite3_value** a, bool round) {
  if (is_null(a[0])) { sqlite3_result_null(ctx); return; }
  int type = sqlite3_value_numeric_type(a[0]);
  if (type == SQLITE_TEXT) {
    datetime when;
    if (!parse_stored_datetime(text_arg(a[0]), when)) { fail(ctx, 1722); return; }
    bool up = round && when.hour >= 12;
    when.hour = when.minute = when.second = 0;
    when.nanos = 0;
    std::string day = stored_date(when);
    if (up) {
      struct tm t = {};
      t.tm_year = when.year - 1900; t.tm_mon = when.month - 1; t.tm_mday = when.day + 1; t.tm_hour = 12;
      timegm(&t);
      when.year = t.tm_year + 1900; when.month = t.tm_mon + 1; when.day = t.tm_mday;
      day = stored_date(when);
    }
    result_text(ctx, day);
    return;
  }
  double value = sqlite3_value_double(a[0]);
  int places = argc > 1 ? sqlite3_value_int(a[1]) : 0;
  double result = decimal_round(value, places, round);
  if (places <= 0 && std::fabs(result) < 9e18) sqlite3_result_int64(ctx, (sqlite3_int64)result);
  else sqlite3_result_double(ctx, result);
}

void fn_round(sqlite3_context* ctx, int argc, sqlite3_value** a) { round_or_trunc(ctx, argc, a, true); }
void fn_trunc(sqlite3_context* ctx, int argc, sqlite3_value** a) { round_or_trunc(ctx, argc, a, false); }

void fn_concat(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (is_null(a[0]) && is_null(a[1])) { sqlite3_result_null(ctx); return; }
  result_text(ctx, text_arg(a[0]) + text_arg(a[1]));
}

void fn_mod(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (is_null(a[0]) || is_null(a[1])) { sqlite3_result_null(ctx); return; }
  double m = sqlite3_value_double(a[0]), n = sqlite3_value_double(a[1]);
  double r = n == 0 ? m : std::fmod(m, n);
  if (r == std::trunc(r)) sqlite3_result_int64(ctx, (sqlite3_int64)r);
  else sqlite3_result_double(ctx, r);
}

void pad(sqlite3_context* ctx, int argc, sqlite3_value** a, bool right) {
  if (is_null(a[0]) || is_null(a[1])) { sqlite3_result_null(ctx); return; }
  std::u32string text = to_u32(text_arg(a[0]));
  std::u32string filler = argc > 2 ? to_u32(text_arg(a[2])) : std::u32string(U" ");
  long long length = sqlite3_value_int64(a[1]);
  if (length < 1 || filler.empty()) { sqlite3_result_null(ctx); return; }
  if (length > 10000000) { sqlite3_result_error_toobig(ctx); return; }  // ten million characters
  if ((long long)text.size() >= length) { result_text(ctx, to_utf8(text.substr(0, length))); return; }
  std::u32string fill;
  while ((long long)(fill.size() + text.size()) < length) fill += filler;
  fill.resize(length - text.size());
  result_text(ctx, to_utf8(right ? text + fill : fill + text));
}

void fn_rpad(sqlite3_context* ctx, int argc, sqlite3_value** a) { pad(ctx, argc, a, true); }
void fn_lpad(sqlite3_context* ctx, int argc, sqlite3_value** a) { pad(ctx, argc, a, false); }

// A value written to a DATE (form 0), TIMESTAMP (1) or TIMESTAMP WITH TIME
// ZONE (2) column, in the stored form: from the stored form itself, ISO text,
// or the session's default format (DD-MON-RR, with the time for timestamps).
void fn_ocilite_datetime(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (is_null(a[0])) { sqlite3_result_null(ctx); return; }
  int type = sqlite3_value_type(a[0]);
  if (type != SQLITE_TEXT) {
    sqlite3_result_error(ctx, make_error(932, type == SQLITE_BLOB ? "expected DATE got BINARY"
                                                                  : "expected DATE got NUMBER").text.c_str(), -1);
    return;
  }
  int form = sqlite3_value_int(a[1]);
  std::string text = text_arg(a[0]);
  datetime when;
  if (!parse_stored_datetime(text, when)) {
    sqlite3* db = sqlite3_context_db_handle(ctx);
    std::string date_format = nls_format(db, false), timestamp_format = nls_format(db, true);
    int failure = 1861;
    if (form != 0 && !timestamp_format.empty()) failure = parse_with_format(text, timestamp_format, when);
    if (failure && !date_format.empty()) failure = parse_with_format(text, date_format, when);
    if (failure && (date_format.empty() || timestamp_format.empty())) {
      failure = parse_with_format(text, "DD-MON-RR HH.MI.SS.FF AM", when);
      if (failure) failure = parse_with_format(text, "DD-MON-RR", when);
    }
    if (failure) { fail(ctx, failure); return; }
  }
  if (form == 0) {
    result_text(ctx, stored_date(when));
    return;
  }
  if (form == 1) when.has_zone = false;
  result_text(ctx, stored_timestamp(when));
}

// A BFILE locator names a directory object and a file; ocilite keeps the pair as text.
void fn_bfilename(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (is_null(a[0]) || is_null(a[1])) { sqlite3_result_null(ctx); return; }
  result_text(ctx, text_arg(a[0]) + "/" + text_arg(a[1]));
}

// UTL_RAW.CAST_TO_RAW and CAST_TO_VARCHAR2: the same bytes as RAW or as text.
void fn_cast_to_raw(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (is_null(a[0])) { sqlite3_result_null(ctx); return; }
  std::string text = text_arg(a[0]);
  sqlite3_result_blob(ctx, text.data(), (int)text.size(), SQLITE_TRANSIENT);
}

void fn_cast_to_varchar2(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (is_null(a[0])) { sqlite3_result_null(ctx); return; }
  const void* bytes = sqlite3_value_blob(a[0]);
  sqlite3_result_text(ctx, static_cast<const char*>(bytes), sqlite3_value_bytes(a[0]), SQLITE_TRANSIENT);
}

// Well-formed JSON text (RFC 8259), as IS JSON asks.
class json_reader {
 public:
  explicit json_reader(const std::string& text) : s_(text) {}
  bool document() {
    if (!value(0)) return false;
    blanks();
    return i_ == s_.size();
  }

 private:
  void blanks() { while (i_ < s_.size() && std::strchr(" \t\r\n", s_[i_]) && s_[i_]) ++i_; }
  bool word(const char* w) {
    size_t n = std::strlen(w);
    if (s_.compare(i_, n, w) != 0) return false;
    i_ += n;
    return true;
  }
  bool string() {
    if (i_ >= s_.size() || s_[i_] != '"') return false;
    for (++i_; i_ < s_.size(); ++i_) {
      unsigned char c = (unsigned char)s_[i_];
      if (c == '"') { ++i_; return true; }
      if (c < 0x20) return false;
      if (c == '\\') {
        if (++i_ >= s_.size() || !std::strchr("\"\\/bfnrtu", s_[i_])) return false;
        if (s_[i_] == 'u')
          for (int k = 0; k < 4; ++k)
            if (++i_ >= s_.size() || !std::isxdigit((unsigned char)s_[i_])) return false;
      }
    }
    return false;
  }
  bool number() {
    size_t start = i_;
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    auto digits = [&] { size_t b = i_; while (i_ < s_.size() && std::isdigit((unsigned char)s_[i_])) ++i_; return i_ > b; };
    if (i_ < s_.size() && s_[i_] == '0') ++i_;
    else if (!digits()) return false;
    if (i_ < s_.size() && s_[i_] == '.') { ++i_; if (!digits()) return false; }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      ++i_;
      if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
      if (!digits()) return false;
    }
    return i_ > start;
  }
  bool value(int depth) {
    if (depth > 500) return false;
    blanks();
    if (i_ >= s_.size()) return false;
    char c = s_[i_];
    if (c == '"') return string();
    if (c == '{' || c == '[') {
      char close = c == '{' ? '}' : ']';
      ++i_;
      blanks();
      if (i_ < s_.size() && s_[i_] == close) { ++i_; return true; }
      for (;;) {
        if (c == '{') {
          blanks();
          if (!string()) return false;
          blanks();
          if (i_ >= s_.size() || s_[i_++] != ':') return false;
        }
        if (!value(depth + 1)) return false;
        blanks();
        if (i_ >= s_.size()) return false;
        if (s_[i_] == ',') { ++i_; continue; }
        if (s_[i_] == close) { ++i_; return true; }
        return false;
      }
    }
    return word("true") || word("false") || word("null") || number();
  }

  const std::string& s_;
  size_t i_ = 0;
};

// x IS JSON: NULL for NULL (a CHECK lets it pass), else 1 or 0.
void fn_is_json(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (is_null(a[0])) { sqlite3_result_null(ctx); return; }
  std::string text = sqlite3_value_type(a[0]) == SQLITE_BLOB
                         ? std::string(static_cast<const char*>(sqlite3_value_blob(a[0])), sqlite3_value_bytes(a[0]))
                         : text_arg(a[0]);
  sqlite3_result_int(ctx, json_reader(text).document() ? 1 : 0);
}

// The error a view made with errors gives when it is read.
void fn_fail(sqlite3_context* ctx, int, sqlite3_value** a) {
  const unsigned char* text = sqlite3_value_text(a[0]);
  sqlite3_result_error(ctx, text ? reinterpret_cast<const char*>(text) : "", -1);
}

void fn_user(sqlite3_context* ctx, int, sqlite3_value**) {
  const char* user = static_cast<const char*>(sqlite3_user_data(ctx));
  sqlite3_result_text(ctx, user, -1, SQLITE_TRANSIENT);
}

}  // namespace

void register_functions(sqlite3* db, const std::string& user) {
  struct entry {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
  };
  static const entry entries[] = {
      {"NVL", 2, fn_nvl}, {"NVL2", 3, fn_nvl2}, {"DECODE", -1, fn_decode},
      {"TO_CHAR", 1, fn_to_char}, {"TO_CHAR", 2, fn_to_char}, {"TO_NUMBER", 1, fn_to_number},
      {"TO_DATE", 1, fn_to_date}, {"TO_DATE", 2, fn_to_date},
      {"TO_TIMESTAMP", 1, fn_to_timestamp}, {"TO_TIMESTAMP", 2, fn_to_timestamp},
      {"HEXTORAW", 1, fn_hextoraw}, {"RAWTOHEX", 1, fn_rawtohex},
      {"EMPTY_CLOB", 0, fn_empty_clob}, {"EMPTY_BLOB", 0, fn_empty_blob},
      {"SYSDATE", 0, fn_sysdate}, {"SYSTIMESTAMP", 0, fn_systimestamp}, {"SYS_GUID", 0, fn_sys_guid},
      {"UPPER", 1, fn_upper}, {"LOWER", 1, fn_lower}, {"SUBSTR", 2, fn_substr}, {"SUBSTR", 3, fn_substr},
      {"TRUNC", 1, fn_trunc}, {"TRUNC", 2, fn_trunc}, {"ROUND", 1, fn_round}, {"ROUND", 2, fn_round},
      {"CONCAT", 2, fn_concat}, {"MOD", 2, fn_mod},
      {"BFILENAME", 2, fn_bfilename}, {"OCILITE_DATETIME", 2, fn_ocilite_datetime},
      {"OCILITE_FAIL", 1, fn_fail}, {"OCILITE_IS_JSON", 1, fn_is_json}, {"OCILITE_CAST_TO_RAW", 1, fn_cast_to_raw},
      {"OCILITE_CAST_TO_VARCHAR2", 1, fn_cast_to_varchar2}, {"RPAD", 2, fn_rpad}, {"RPAD", 3, fn_rpad}, {"LPAD", 2, fn_lpad}, {"LPAD", 3, fn_lpad},
  };
  // Functions of their arguments only may serve in CHECK constraints.
  static const std::string varying = "SYSDATE SYSTIMESTAMP SYS_GUID";
  for (const entry& e : entries) {
    int flags = SQLITE_UTF8;
    if (varying.find(e.name) == std::string::npos) flags |= SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, e.name, e.args, flags, nullptr, e.fn, nullptr, nullptr);
  }
  // The user name lives as long as the connection: kept in a copy SQLite frees.
  char* name = static_cast<char*>(sqlite3_malloc((int)user.size() + 1));
  std::memcpy(name, user.c_str(), user.size() + 1);
  sqlite3_create_function_v2(db, "OCILITE_USER", 0, SQLITE_UTF8, name, fn_user, nullptr, nullptr,
                             sqlite3_free);
}

}  // namespace ocl
