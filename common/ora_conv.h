#pragma once
// The converter's Oracle part: the connection settings the user gave, the
// Oracle engine with the connection to the source database, and their
// profile form ("Oracle settings").
#include <memory>
#include <mutex>
#include <string>

#include "ORA/ora_engi.h"
#include "UDB/udb_db.h"

class udb_profile;

class oracle_converter_impl {
 public:
  oracle_converter_impl();
  virtual ~oracle_converter_impl();
  oracle_converter_impl(const oracle_converter_impl&) = delete;
  oracle_converter_impl& operator=(const oracle_converter_impl&) = delete;

  // An empty host is stored as "localhost".
  void store_oracle_settings(const std::u16string& host, const std::u16string& user,
                             const std::u16string& password, const std::u16string& port);

  // Drops the current connection and connects to the database (service)
  // with the stored settings; on success the name is kept. Failures are
  // tk_exceptions (ora_exception from the server) and leave no connection.
  // With forget_password_after_logon set, the password is wiped after the
  // logon, whether it succeeded or not.
  udb_database& connect_oracle_server(const std::u16string& database_name);
  // The connected source, or null.
  udb_database* source_database() const { return database_.get(); }

  // Whether the select text runs against the source, connecting first when
  // needed. Never throws: any failure answers false.
  bool test_oracle_query(const std::u16string& select_text);
  // Why the last query test failed (Oracle's own "ORA-nnnnn: ..." line, or
  // the connection's failure); empty after a test that passed. A front end
  // shows it so that the user can mend the query.
  const std::string& last_query_error() const { return last_query_error_; }

  // "Oracle settings": loading takes each value that is present and not
  // empty; storing writes only the values that are not empty.
  void load_profile(const udb_profile& profile);
  void store_profile(udb_profile& profile) const;
  // Whether the profile's Oracle settings carry a password.
  static bool profile_holds_password(const udb_profile& profile);

  const std::u16string& oracle_host() const { return host_; }
  const std::u16string& oracle_port() const { return port_; }
  const std::u16string& oracle_user() const { return user_; }
  const std::u16string& oracle_password() const { return password_; }
  const std::u16string& oracle_database_name() const { return database_name_; }

  // For a front end that never stores its settings nor logs on again: the
  // password then lives no longer in memory than the logon needs it.
  void forget_password_after_logon(bool on) { forget_password_after_logon_ = on; }

  // The driver hands the skip-indexes setting to the Oracle side before a run.
  void set_oracle_skip_indexes(bool on) { oracle_skip_indexes_ = on; }
  bool oracle_skip_indexes() const { return oracle_skip_indexes_; }

  ora_engine& oracle_engine() { return engine_; }

 protected:
  // Declared before the connection: the source database must go first.
  ora_engine engine_;
  std::unique_ptr<udb_database> database_;
  // The converter reads and writes these for its registry form.
  bool oracle_skip_indexes_ = false;
  bool forget_password_after_logon_ = false;
  std::u16string database_name_;  // service or SID name of the connection
  // Guards the four settings below against a logon reading them on a
  // worker thread while the user-interface thread stores new ones.
  mutable std::mutex settings_mutex_;
  std::u16string user_;
  std::u16string password_;
  std::u16string host_;
  std::u16string port_ = u"1521";
  std::string last_query_error_;
};
