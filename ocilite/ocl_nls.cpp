#include "ocilite/ocl_nls.h"

#include <map>
#include <mutex>

namespace ocl {

namespace {

struct formats {
  std::string date, timestamp;
};

std::mutex& guard() {
  static std::mutex m;
  return m;
}

std::map<sqlite3*, formats>& settings() {
  static std::map<sqlite3*, formats> m;
  return m;
}

}  // namespace

void set_nls_format(sqlite3* db, bool timestamp, const std::string& format) {
  std::lock_guard<std::mutex> lock(guard());
  (timestamp ? settings()[db].timestamp : settings()[db].date) = format;
}

std::string nls_format(sqlite3* db, bool timestamp) {
  std::lock_guard<std::mutex> lock(guard());
  auto found = settings().find(db);
  if (found == settings().end()) return std::string();
  return timestamp ? found->second.timestamp : found->second.date;
}

void forget_nls(sqlite3* db) {
  std::lock_guard<std::mutex> lock(guard());
  settings().erase(db);
}

}  // namespace ocl
