// The Access engine's bulk append: rows of 10 mixed columns (one Text column
// with a unique index, another with a non-unique one) written through
// jet_table_writer into a new Access 2000 file, and in the same run the same
// rows inserted into SQLite in one transaction. A second run writes Memo and
// OLE values of several sizes up to a total byte count. Peak RSS is printed
// after each step, so growth with the row count shows.
// usage: bench_jet_bulk WORKDIR [ROWS...] [--lv-mib=N]
//        (defaults: 100000 300000 1000000, 50 MiB of long values)
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/database/new_table.h"
#include "jet/database/table_writer.h"
#include "jet/format/column_type.h"
#include "jet/tool/check.h"

namespace {

double peak_rss_mib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;  // Linux reports KiB
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const char* const cities[] = {"Oslo", "Bergen", "Zurich", "Lyon", "Porto", "Tromso", "Krakow", "Gent"};

// One row's values, varying with its number, in the column order of `columns()`.
struct bench_row {
  int32_t id;
  double weight;
  std::string name;   // Text(50), non-unique index
  std::string note;   // Text(255)
  double created;     // OLE date
  int64_t price;      // Currency units
  bool active;
  std::string memo;   // short Memo
  int16_t qty;
  std::string code;   // Text(20), unique index
};

bench_row make_row(long i) {
  bench_row r;
  r.id = int32_t(i);
  r.weight = double(i) / 7.0;
  r.name = std::string("item ") + cities[i % 8] + " " + std::to_string(i % 5000);
  r.note = "Note for row " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog, twice over, " +
           "and once more for good measure.";
  r.created = 32874.0 + double(i % 12000) + double(i % 86400) / 86400.0;
  r.price = int64_t(i % 100000) * 10000 + (i % 100) * 100;
  r.active = i % 3 == 0;
  r.memo = "memo " + std::to_string(i);
  r.qty = int16_t(i % 10000);
  char code[16];
  std::snprintf(code, sizeof code, "C%09ld", i * 7919 % 1000000007L);
  r.code = code;
  return r;
}

std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

jet_value value_of(uint8_t type) {
  jet_value v = jet_value::null(type);
  v.is_null = false;
  return v;
}

std::vector<jet_new_column> columns() {
  auto column = [](const char16_t* name, uint8_t type, uint16_t size = 0) {
    jet_new_column c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
  };
  return {column(u"ID", jet_type::long_integer),  column(u"WEIGHT", jet_type::double_),
          column(u"NAME", jet_type::text, 50),    column(u"NOTE", jet_type::text, 255),
          column(u"CREATED", jet_type::date_time), column(u"PRICE", jet_type::currency),
          column(u"ACTIVE", jet_type::boolean),   column(u"MEMO", jet_type::memo),
          column(u"QTY", jet_type::integer),      column(u"CODE", jet_type::text, 20)};
}

void fill(std::vector<jet_value>& values, const bench_row& r) {
  values[0].integer = r.id;
  values[1].real = r.weight;
  values[2].text = wide(r.name);
  values[3].text = wide(r.note);
  values[4].real = r.created;
  values[5].integer = r.price;
  values[6].integer = r.active ? -1 : 0;
  values[7].text = wide(r.memo);
  values[8].integer = r.qty;
  values[9].text = wide(r.code);
}

// Seconds for the whole run; `closing` gets those of close() (the index rebuild).
double jet_run(const std::string& path, long rows, double& closing) {
  std::filesystem::remove(path);
  jet_create_database(path);
  jet_database db(path, false);
  jet_new_index unique_code;
  unique_code.name = u"CODE_UK";
  unique_code.columns = {{u"CODE", true}};
  unique_code.unique = true;
  jet_new_index by_name;
  by_name.name = u"NAME_IX";
  by_name.columns = {{u"NAME", true}};
  jet_create_table(db, u"BIG", columns(), {unique_code, by_name});
  db.reload_catalog();

  auto start = std::chrono::steady_clock::now();
  jet_table_writer writer(db, *db.find_table(u"BIG"));
  std::vector<jet_value> values;
  for (const jet_column& column : writer.def().columns) values.push_back(value_of(column.type));
  for (long i = 1; i <= rows; ++i) {
    fill(values, make_row(i));
    writer.append(values);
  }
  auto close_start = std::chrono::steady_clock::now();
  writer.close();
  closing = seconds_since(close_start);
  return seconds_since(start);
}

struct sqlite_closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

void exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
}

double sqlite_run(const std::string& path, long rows) {
  std::filesystem::remove(path);
  sqlite3* raw = nullptr;
  if (sqlite3_open(path.c_str(), &raw) != SQLITE_OK) throw std::runtime_error("cannot create " + path);
  std::unique_ptr<sqlite3, sqlite_closer> db(raw);
  exec(db.get(),
       "CREATE TABLE BIG (ID INTEGER, WEIGHT REAL, NAME TEXT, NOTE TEXT, CREATED REAL, PRICE INTEGER, "
       "ACTIVE INTEGER, MEMO TEXT, QTY INTEGER, CODE TEXT UNIQUE)");
  exec(db.get(), "CREATE INDEX NAME_IX ON BIG (NAME)");
  sqlite3_stmt* raw_statement = nullptr;
  if (sqlite3_prepare_v2(db.get(), "INSERT INTO BIG VALUES (?,?,?,?,?,?,?,?,?,?)", -1, &raw_statement, nullptr) !=
      SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db.get()));
  std::unique_ptr<sqlite3_stmt, sqlite_closer> insert(raw_statement);
  auto start = std::chrono::steady_clock::now();
  exec(db.get(), "BEGIN");
  sqlite3_stmt* s = insert.get();
  for (long i = 1; i <= rows; ++i) {
    bench_row r = make_row(i);
    sqlite3_bind_int(s, 1, r.id);
    sqlite3_bind_double(s, 2, r.weight);
    sqlite3_bind_text(s, 3, r.name.c_str(), int(r.name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 4, r.note.c_str(), int(r.note.size()), SQLITE_TRANSIENT);
    sqlite3_bind_double(s, 5, r.created);
    sqlite3_bind_int64(s, 6, r.price);
    sqlite3_bind_int(s, 7, r.active);
    sqlite3_bind_text(s, 8, r.memo.c_str(), int(r.memo.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 9, r.qty);
    sqlite3_bind_text(s, 10, r.code.c_str(), int(r.code.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(s) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db.get()));
    sqlite3_reset(s);
  }
  exec(db.get(), "COMMIT");
  return seconds_since(start);
}

// Memo and OLE values of 100 bytes to 200 KB until `total` bytes are written.
void long_value_run(const std::string& path, size_t total) {
  std::filesystem::remove(path);
  jet_create_database(path);
  jet_database db(path, false);
  jet_new_column id;
  id.name = u"ID";
  id.type = jet_type::long_integer;
  jet_new_column memo;
  memo.name = u"BODY";
  memo.type = jet_type::memo;
  jet_new_column ole;
  ole.name = u"BLOB";
  ole.type = jet_type::long_binary;
  jet_create_table(db, u"DOCS", {id, memo, ole}, {});
  db.reload_catalog();

  const size_t sizes[] = {100, 900, 5000, 30000, 200000};
  auto start = std::chrono::steady_clock::now();
  jet_table_writer writer(db, *db.find_table(u"DOCS"));
  std::vector<jet_value> values = {value_of(jet_type::long_integer), value_of(jet_type::memo),
                                   value_of(jet_type::long_binary)};
  size_t written = 0;
  long rows = 0;
  while (written < total) {
    size_t size = sizes[rows % 5];
    values[0].integer = rows;
    values[1].text.assign(size / 4, char16_t(u'a' + rows % 26));  // stored as UTF-16, compressed or not
    values[2].bytes.assign(size, uint8_t(rows));
    writer.append(values);
    written += size / 4 * 2 + size;
    ++rows;
  }
  writer.close();
  double seconds = seconds_since(start);
  std::printf("long values: %ld rows, %.1f MiB in %.2f s = %.1f MiB/s; peak RSS %.1f MiB\n", rows,
              double(written) / 1048576.0, seconds, double(written) / 1048576.0 / seconds, peak_rss_mib());
}

void check(const std::string& path) {
  jet_database db(path, true);
  jet_check_report report = jet_check_database(db);
  if (!report.problems.empty()) throw std::runtime_error(path + ": " + report.problems.front());
}

// Runs `step` in a child process, so its peak RSS is its own; false when it failed.
bool in_child(const std::function<void()>& step) {
  std::fflush(stdout);
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    int status = 0;
    try {
      step();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "bench_jet_bulk: %s\n", e.what());
      status = 1;
    }
    std::fflush(stdout);
    _exit(status);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) try {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_jet_bulk WORKDIR [ROWS...] [--lv-mib=N]\n");
    return 2;
  }
  std::string work = argv[1];
  std::filesystem::create_directories(work);
  std::vector<long> counts;
  size_t lv_mib = 50;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--lv-mib=", 0) == 0) lv_mib = std::strtoul(arg.c_str() + 9, nullptr, 10);
    else counts.push_back(std::atol(argv[i]));
  }
  if (counts.empty()) counts = {100000, 300000, 1000000};

  std::printf("%10s %10s %10s %12s %12s %10s %12s\n", "rows", "jet_s", "close_s", "jet_rows/s", "jet_peak_MiB",
              "sqlite_s", "sqlite_rows/s");
  bool ok = true;
  for (long rows : counts) {
    std::string mdb = work + "/bulk-" + std::to_string(rows) + ".mdb";
    ok = in_child([&] {
           double closing = 0;
           double jet_s = jet_run(mdb, rows, closing);
           double peak = peak_rss_mib();
           double sqlite_s = sqlite_run(work + "/bulk-" + std::to_string(rows) + ".sqlite", rows);
           std::printf("%10ld %10.2f %10.2f %12.0f %12.1f %10.2f %12.0f\n", rows, jet_s, closing,
                       double(rows) / jet_s, peak, sqlite_s, double(rows) / sqlite_s);
         }) && ok;
    ok = in_child([&] { check(mdb); }) && ok;
  }
  if (lv_mib > 0) {
    std::string mdb = work + "/long-values.mdb";
    ok = in_child([&] { long_value_run(mdb, lv_mib << 20); }) && ok;
    ok = in_child([&] { check(mdb); }) && ok;
  }
  if (!ok) return 1;
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_jet_bulk: %s\n", e.what());
  return 1;
}
