// Sequences: CREATE SEQUENCE's options kept in the catalog, NEXTVAL and
// CURRVAL as SQLite functions that draw from it. A value once drawn is not
// given again, as in Oracle; CURRVAL is the session's own last value.
#include <cmath>
#include <map>

#include "ocilite/ocl_ddli.h"
#include "ocilite/ocl_seq.h"

namespace ocl {

namespace ddl {

namespace {

// A signed integer option value.
bool option_number(parser& p, double& value, oracle_error& error) {
  bool negative = p.accept("-");
  if (!negative) p.accept("+");
  if (p.done() || p.t_[p.i_].kind != token_kind::number) {
    error = make_error(p.done() ? 936 : 1722);
    return false;
  }
  value = std::strtod(p.t_[p.i_++].text.c_str(), nullptr);
  if (negative) value = -value;
  return true;
}

std::string integer_text(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.0f", v);
  return b;
}

}  // namespace

bool sequence_sql(const std::string& name, parser& p, std::string& sql, oracle_error& error) {
  double start = 0, increment = 1, min = 0, max = 0, cache = 20;
  bool has_start = false, has_min = false, has_max = false, cycle = false, order = false;
  while (!p.done()) {
    if (p.accept("START")) {
      if (!p.expect("WITH", 905, error) || !option_number(p, start, error)) return false;
      has_start = true;
    } else if (p.accept("INCREMENT")) {
      if (!p.expect("BY", 905, error) || !option_number(p, increment, error)) return false;
    } else if (p.accept("MINVALUE")) {
      if (!option_number(p, min, error)) return false;
      has_min = true;
    } else if (p.accept("MAXVALUE")) {
      if (!option_number(p, max, error)) return false;
      has_max = true;
    } else if (p.accept("CACHE")) {
      if (!option_number(p, cache, error)) return false;
      if (cache < 2) {
        error = make_error(4010);
        return false;
      }
    } else if (p.accept("NOCACHE")) {
      cache = 0;
    } else if (p.accept("CYCLE")) {
      cycle = true;
    } else if (p.accept("ORDER")) {
      order = true;
    } else if (p.accept("NOMINVALUE") || p.accept("NOMAXVALUE") || p.accept("NOCYCLE") ||
               p.accept("NOORDER") || p.accept("KEEP") || p.accept("NOKEEP") || p.accept("NOSCALE") ||
               p.accept("GLOBAL") || p.accept("SESSION") || p.accept(",")) {
    } else {
      error = make_error(933);
      return false;
    }
  }
  if (increment == 0 || increment != std::trunc(increment)) {
    error = make_error(4002);
    return false;
  }
  // Oracle's defaults: an ascending sequence runs from 1 up to 28 nines, a
  // descending one from -1 down to -(27 nines).
  if (!has_min) min = increment > 0 ? 1 : -999999999999999999999999999.0;
  if (!has_max) max = increment > 0 ? 9999999999999999999999999999.0 : -1;
  if (!has_start) start = increment > 0 ? min : max;
  if (min >= max) {
    error = make_error(4004);
    return false;
  }
  if (start < min) {
    error = make_error(4006);
    return false;
  }
  if (start > max) {
    error = make_error(4008);
    return false;
  }
  if (cycle && cache > 0 && cache > std::ceil((max - min) / std::fabs(increment))) {
    error = make_error(4013);
    return false;
  }
  sql = "INSERT INTO \"OCILITE$SEQUENCES\" VALUES(" + quote(name) + "," + integer_text(min) + "," +
        integer_text(max) + "," + integer_text(increment) + ",'" + (cycle ? "Y" : "N") + "','" +
        (order ? "Y" : "N") + "'," + integer_text(cache) + "," + integer_text(start) + "," +
        integer_text(start) + ");";
  return true;
}

bool create_sequence(session& s, parser& p, bool parse_only, oracle_error& error) {
  std::string name, sql;
  if (!p.object(name, s, error) || !sequence_sql(name, p, sql, error)) return false;
  if (parse_only) return true;
  if (object_exists(s, name)) {
    error = make_error(955);
    return false;
  }
  return apply(s, sql, error);
}

}  // namespace ddl

namespace {

struct sequence_state {
  std::map<std::string, sqlite3_int64> current;  // CURRVAL per sequence, this session's
};

void fail(sqlite3_context* ctx, const oracle_error& e) { sqlite3_result_error(ctx, e.text.c_str(), -1); }

void fn_nextval(sqlite3_context* ctx, int, sqlite3_value** a) {
  auto* state = static_cast<sequence_state*>(sqlite3_user_data(ctx));
  sqlite3* db = sqlite3_context_db_handle(ctx);
  const unsigned char* text = sqlite3_value_text(a[0]);
  std::string name = text ? reinterpret_cast<const char*>(text) : "";
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT NEXT_VALUE, INCREMENT_BY, MIN_VALUE, MAX_VALUE, CYCLE_FLAG FROM"
                     " \"OCILITE$SEQUENCES\" WHERE SEQUENCE_NAME = ?1",
                     -1, &st, nullptr);
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(st) != SQLITE_ROW) {
    sqlite3_finalize(st);
    fail(ctx, make_error(2289));
    return;
  }
  double value = sqlite3_column_double(st, 0), increment = sqlite3_column_double(st, 1);
  double min = sqlite3_column_double(st, 2), max = sqlite3_column_double(st, 3);
  bool cycle = std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 4))) == "Y";
  sqlite3_finalize(st);
  if (value > max || value < min) {
    if (!cycle) {
      oracle_error e = make_error(8004, name);
      if (increment < 0) e.text.replace(e.text.find("exceeds MAXVALUE"), 16, "goes below MINVALUE");
      fail(ctx, e);
      return;
    }
    value = increment > 0 ? min : max;
  }
  sqlite3_prepare_v2(db,
                     "UPDATE \"OCILITE$SEQUENCES\" SET NEXT_VALUE = ?2, LAST_NUMBER = ?2 WHERE SEQUENCE_NAME = ?1",
                     -1, &st, nullptr);
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_double(st, 2, value + increment);
  int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) {
    sqlite3_result_error(ctx, sqlite3_errmsg(db), -1);
    return;
  }
  state->current[name] = (sqlite3_int64)value;
  sqlite3_result_int64(ctx, (sqlite3_int64)value);
}

void fn_currval(sqlite3_context* ctx, int, sqlite3_value** a) {
  auto* state = static_cast<sequence_state*>(sqlite3_user_data(ctx));
  const unsigned char* text = sqlite3_value_text(a[0]);
  std::string name = text ? reinterpret_cast<const char*>(text) : "";
  auto found = state->current.find(name);
  if (found != state->current.end()) {
    sqlite3_result_int64(ctx, found->second);
    return;
  }
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(sqlite3_context_db_handle(ctx),
                     "SELECT 1 FROM \"OCILITE$SEQUENCES\" WHERE SEQUENCE_NAME = ?1", -1, &st, nullptr);
  sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  bool known = sqlite3_step(st) == SQLITE_ROW;
  sqlite3_finalize(st);
  fail(ctx, known ? make_error(8002, name) : make_error(2289));
}

}  // namespace

void register_sequence_functions(sqlite3* db) {
  auto* state = new sequence_state;
  // CURRVAL is registered first, without a destructor: NEXTVAL's frees the shared state.
  sqlite3_create_function_v2(db, "OCILITE_CURRVAL", 1, SQLITE_UTF8, state, fn_currval, nullptr, nullptr, nullptr);
  sqlite3_create_function_v2(db, "OCILITE_NEXTVAL", 1, SQLITE_UTF8, state, fn_nextval, nullptr, nullptr,
                             [](void* p) { delete static_cast<sequence_state*>(p); });
}

}  // namespace ocl
