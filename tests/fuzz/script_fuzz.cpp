// ocilite's script loader over arbitrary text, run into a fresh schema file
// each time. A script that fails is an answer, not a fault; a crash, a
// sanitizer report or an exception is.
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ocilite/ocl_load.h"
#include "ocilite/ocl_sess.h"
#include "scratch_folder.h"

namespace {

// SQL can loop or grow without end (a recursive query, a huge repeat); such
// a script says nothing about the loader, so SQLite is stopped early.
constexpr int kProgressCallsAllowed = 20000;  // each call is 1000 virtual-machine steps
constexpr int kLongestValue = 1 << 20;

int stop_when_spent(void* calls) { return ++*static_cast<int*>(calls) > kProgressCallsAllowed; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz_scratch_folder folder;
  static const std::string empty_schema = [] {
    std::string path = folder.file("empty.db");
    ocl::oracle_error error;
    if (!ocl::create_user_file(path, "FUZZ", "fuzz", error)) std::abort();
    return path;
  }();
  static const std::string schema = folder.file("schema.db");
  std::filesystem::copy_file(empty_schema, schema, std::filesystem::copy_options::overwrite_existing);

  ocl::oracle_error error;
  auto session = ocl::open_owner_session(schema, "FUZZ", error);
  if (!session) std::abort();
  int calls = 0;
  sqlite3_progress_handler(session->db, 1000, stop_when_spent, &calls);
  sqlite3_limit(session->db, SQLITE_LIMIT_LENGTH, kLongestValue);

  std::string message;
  ocl::run_script(*session, std::string(reinterpret_cast<const char*>(data), size), message);
  return 0;
}
