#include "common/ora_conv.h"

#include "TK/tk_excep.h"
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
}

void put_if_set(udb_profile& profile, const char16_t* key, const std::u16string& field) {
  if (!field.empty()) profile.set_value(names::oracle_settings, key, field);
}
}  // namespace

const char oracle_converter_impl::missing_client_message[] =
    "The Oracle client and networking components were not found.\n"
    "These components are supplied by the Oracle Corporation and\n"
    "are part of the Oracle Version 7.3.4 (or later) client\n"
    "software installation. You will be unable to use this program\n"
    "until these components have been installed.";

oracle_converter_impl::oracle_converter_impl() { trace(2, "oracle_converter_impl::ctor"); }

oracle_converter_impl::~oracle_converter_impl() { trace(2, "oracle_converter_impl::dtor"); }

void oracle_converter_impl::store_oracle_settings(const std::u16string& host,
                                                  const std::u16string& user,
                                                  const std::u16string& password,
                                                  const std::u16string& port) {
  trace(2, u"oracle_converter_impl::store_oracle_settings(%s,%s,%s,%s)", host.c_str(),
        user.c_str(), password.c_str(), port.c_str());
  host_ = host.empty() ? u"localhost" : host;
  user_ = user;
  password_ = password;
  port_ = port;
}

void oracle_converter_impl::connect_oracle_server(const std::u16string& database_name) {
  trace(2, u"oracle_converter_impl::connect_oracle_server(%s)", database_name.c_str());
  // The easy-connect form, built verbatim from the settings.
  open_session(u"//" + host_ + u":" + port_ + u"/" + database_name, user_, password_);
}

bool oracle_converter_impl::test_oracle_query(const std::u16string& select_text) {
  trace(2, u"oracle_converter_impl::test_query(%s)", select_text.c_str());
  try {
    open_session(database_name_, user_, password_);
  } catch (const std::exception&) {
  }
  return false;
}

void oracle_converter_impl::open_session(const std::u16string&, const std::u16string&,
                                         const std::u16string&) {
  // No Oracle client binding is linked into this build.
  throw tk_exception(missing_client_message, 1);
}

void oracle_converter_impl::load_profile(const udb_profile& profile) {
  trace(2, "oracle_converter_impl::load_profile");
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
