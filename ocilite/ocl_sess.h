#pragma once
// A user's schema file: one SQLite database per Oracle user, holding the
// user's tables under their Oracle names, ocilite's own catalog tables (named
// "OCILITE$...", never shown by the dictionary) and the account row with the
// password and the locked flag. A session is one open schema file with the
// dictionary views, DUAL and V$VERSION made for it.
#include <sqlite3.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ocilite/ocl_err.h"

namespace ocl {

struct session {
  // The connection is opened without SQLite's own per-call locking: every OCI
  // call that works on it holds this lock for the whole call instead (calls on
  // one connection run one after another, as OCI promises in threaded mode).
  std::recursive_mutex lock;
  sqlite3* db = nullptr;
  std::string user;
  std::vector<std::string> banner;  // V$VERSION rows

  session() = default;
  session(const session&) = delete;
  session& operator=(const session&) = delete;
  ~session();

  // Next name for an unnamed constraint: SYS_C followed by seven digits.
  std::string next_constraint_name();
};

// The default V$VERSION rows when a service has no "banner" file.
std::vector<std::string> default_banner();

// A user name as Oracle matches it: unquoted names are upper-cased, a name in
// double quotes keeps its case. False for names that cannot be a user (empty,
// path characters, control characters).
bool normalize_user_name(const std::string& written, std::string& name);

// Creates the schema file of a new user. False with an Oracle error.
bool create_user_file(const std::string& path, const std::string& user,
                      const std::string& password, oracle_error& error);

// Opens a schema file and checks the password: ORA-01017 for a missing or
// unreadable file or a wrong password, ORA-28000 for a locked account.
std::unique_ptr<session> open_session(const std::string& path, const std::string& user,
                                      const std::string& password,
                                      const std::vector<std::string>& banner,
                                      oracle_error& error);

// Opens a schema file without a password (the loader tool works on files).
std::unique_ptr<session> open_owner_session(const std::string& path, const std::string& user,
                                            oracle_error& error);

// Runs SQL on the session's database; false with the SQLite message in error.text.
bool run_sql(session& s, const std::string& sql, oracle_error& error);

}  // namespace ocl
