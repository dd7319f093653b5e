#include "common/ora_conv.h"

#include "ORA/ora_db.h"
#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "UDB/udb_conv.h"

namespace names = udb_profile_names;

namespace {
constexpr char16_t kHost[] = u"host";
constexpr char16_t kPassword[] = u"password";
constexpr char16_t kPort[] = u"port";
constexpr char16_t kUser[] = u"user";

void take_if_set(const udb_profile& profile, const char16_t* key, std::u16string& field) {
  std::u16string value = profile.value(names::oracle_settings, key);
  if (!value.empty()) field = value;
  tk_wipe(value);  // it may be the password
}

void put_if_set(udb_profile& profile, const char16_t* key, const std::u16string& field) {
  if (!field.empty()) profile.set_value(names::oracle_settings, key, field);
}
}  // namespace

oracle_converter_impl::oracle_converter_impl() { trace(2, "oracle_converter_impl::ctor"); }

oracle_converter_impl::~oracle_converter_impl() {
  trace(2, "oracle_converter_impl::dtor");
  database_.reset();  // before the engine it was opened through
  tk_wipe(password_);
}

void oracle_converter_impl::store_oracle_settings(const std::u16string& host,
                                                  const std::u16string& user,
                                                  const std::u16string& password,
                                                  const std::u16string& port) {
  // The password never reaches the trace in clear.
  trace(2, u"oracle_converter_impl::store_oracle_settings(%s,%s,%s,%s)", host.c_str(),
        user.c_str(), ora_engine::masked(password).c_str(), port.c_str());
  std::lock_guard lock(settings_mutex_);
  host_ = host.empty() ? u"localhost" : host;
  user_ = user;
  password_ = password;
  port_ = port;
}

udb_database& oracle_converter_impl::connect_oracle_server(const std::u16string& database_name) {
  trace(2, u"oracle_converter_impl::connect_oracle_server(%s)", database_name.c_str());
  database_.reset();
  // The wizard connects on a worker while the user may edit the settings:
  // the logon works on a copy taken under the lock.
  std::u16string host, user, password, port;
  {
    std::lock_guard lock(settings_mutex_);
    // A profile without a host leaves it empty; it means this machine, as an
    // empty host typed by the user does.
    if (host_.empty()) host_ = u"localhost";
    host = host_;
    user = user_;
    password = password_;
    port = port_;
  }
  auto forget = [&] {
    tk_wipe(password);
    if (!forget_password_after_logon_) return;
    std::lock_guard lock(settings_mutex_);
    tk_wipe(password_);
  };
  try {
    database_ = engine_.open_db(host, user, password, port, database_name);
  } catch (...) {
    forget();
    throw;
  }
  forget();
  database_name_ = database_name;
  return *database_;
}

bool oracle_converter_impl::test_oracle_query(const std::u16string& select_text) {
  trace(2, u"oracle_converter_impl::test_query(%s)", select_text.c_str());
  last_query_error_.clear();
  try {
    if (!database_) database_ = engine_.open_db(database_name_, user_, password_);
    return database_->test_query(select_text);
  } catch (const std::exception& failure) {
    last_query_error_ = failure.what();
    return false;
  }
}

void oracle_converter_impl::load_profile(const udb_profile& profile) {
  trace(2, "oracle_converter_impl::load_profile");
  std::lock_guard lock(settings_mutex_);
  take_if_set(profile, kHost, host_);
  take_if_set(profile, kPassword, password_);
  take_if_set(profile, kPort, port_);
  take_if_set(profile, kUser, user_);
}

void oracle_converter_impl::store_profile(udb_profile& profile) const {
  trace(2, "oracle_converter_impl::store_profile");
  put_if_set(profile, kHost, host_);
  put_if_set(profile, kPassword, password_);
  put_if_set(profile, kPort, port_);
  put_if_set(profile, kUser, user_);
}

bool oracle_converter_impl::profile_holds_password(const udb_profile& profile) {
  return !profile.value(names::oracle_settings, kPassword).empty();
}
