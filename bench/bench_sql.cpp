// Reads every row of one table of an SQLite file and inserts it into a new
// SQLite file in a single transaction, with one prepared statement: the rate
// a plain embedded database ingests rows at, to set the agent's beside. The
// target declares the source's primary key, as the Access table gets one.
// usage: bench_sqlite SOURCE.db TABLE TARGET.db
//   prints "ROWS SECONDS CPU_SECONDS": wall and user+system time of the ingest
#include <sqlite3.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace {
struct db_closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct statement_closer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using db_ptr = std::unique_ptr<sqlite3, db_closer>;
using statement_ptr = std::unique_ptr<sqlite3_stmt, statement_closer>;

db_ptr open(const std::string& path, int flags) {
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  db_ptr owner(db);
  if (rc != SQLITE_OK) throw std::runtime_error(path + ": " + sqlite3_errstr(rc));
  return owner;
}

statement_ptr prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
    throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
  return statement_ptr(s);
}

void exec(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
}

std::string quote(const std::string& name) { return "\"" + name + "\""; }

// User and system time of this process so far, as the agent's side is
// measured (/usr/bin/time's %U + %S).
double cpu_seconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
}  // namespace

int main(int argc, char** argv) try {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_sqlite SOURCE.db TABLE TARGET.db\n");
    return 2;
  }
  const std::string table = argv[2];
  db_ptr source = open(argv[1], SQLITE_OPEN_READONLY);
  std::remove(argv[3]);
  db_ptr target = open(argv[3], SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);

  statement_ptr read = prepare(source.get(), "SELECT * FROM " + quote(table));
  const int columns = sqlite3_column_count(read.get());
  std::string create = "CREATE TABLE " + quote(table) + " (", insert = "INSERT INTO " + quote(table) + " VALUES (";
  for (int i = 0; i < columns; ++i) {
    create += std::string(i ? ", " : "") + quote(sqlite3_column_name(read.get(), i));
    insert += i ? ", ?" : "?";
  }
  // The source's primary key columns, in key order.
  statement_ptr info = prepare(source.get(), "SELECT name FROM pragma_table_info(?) WHERE pk > 0 ORDER BY pk");
  sqlite3_bind_text(info.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
  std::string key;
  while (sqlite3_step(info.get()) == SQLITE_ROW)
    key += (key.empty() ? "" : ", ") + quote(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 0)));
  if (!key.empty()) create += ", PRIMARY KEY (" + key + ")";
  exec(target.get(), create + ")");
  statement_ptr write = prepare(target.get(), insert + ")");

  const auto start = std::chrono::steady_clock::now();
  const double cpu_start = cpu_seconds();
  exec(target.get(), "BEGIN");
  long rows = 0;
  int rc;
  while ((rc = sqlite3_step(read.get())) == SQLITE_ROW) {
    for (int i = 0; i < columns; ++i) sqlite3_bind_value(write.get(), i + 1, sqlite3_column_value(read.get(), i));
    if (sqlite3_step(write.get()) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(target.get()));
    sqlite3_reset(write.get());
    ++rows;
  }
  if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(source.get()));
  exec(target.get(), "COMMIT");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%ld %.3f %.3f\n", rows, seconds, cpu_seconds() - cpu_start);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_sqlite: %s\n", e.what());
  return 1;
}
