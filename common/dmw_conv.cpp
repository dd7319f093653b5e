#include "common/dmw_conv.h"

#include <cstdio>

#include "TK/tk_fname.h"
#include "TK/tk_trace.h"
#include "TK/tk_utils.h"
#include "common/err_hand.h"
#include "common/init_conv.h"

namespace names = udb_profile_names;

namespace {
constexpr char16_t kWorkgroupFile[] = u"workgroup file";
constexpr char16_t kWorkgroupUser[] = u"workgroup user";
constexpr char16_t kWorkgroupPassword[] = u"workgroup password";
constexpr char16_t kDatabasePassword[] = u"database password";
constexpr char16_t kDestinationFormat[] = u"destination format";

void take_if_set(const udb_profile& profile, const char16_t* key, std::u16string& field) {
  std::u16string value = profile.value(names::access_settings, key);
  if (!value.empty()) field = value;
}

void load_access_part(const udb_profile& profile, dmw_access_settings& access) {
  take_if_set(profile, kWorkgroupUser, access.workgroup_user);
  take_if_set(profile, kWorkgroupPassword, access.workgroup_password);
  take_if_set(profile, kWorkgroupFile, access.workgroup_file);
  take_if_set(profile, kDatabasePassword, access.database_password);
}

void store_access_part(udb_profile& profile, const dmw_access_settings& access) {
  profile.set_value(names::access_settings, kWorkgroupFile, access.workgroup_file);
  profile.set_value(names::access_settings, kWorkgroupUser, access.workgroup_user);
  profile.set_value(names::access_settings, kWorkgroupPassword, access.workgroup_password);
  profile.set_value(names::access_settings, kDatabasePassword, access.database_password);
}

void read_flag(const tk_reg_key& key, const char* name, bool& flag) {
  uint32_t value = 0;
  key.get_value(name, value);
  flag = value != 0;
}
}  // namespace

const char dunmarrow_convertor::access_missing_message[] =
    "The MS Access database engine is not available in this build of the program.";

dunmarrow_convertor::dunmarrow_convertor(dmw_front_end front_end)
    : front_end_(front_end), registry_(registry_path) {
  trace(1, "dunmarrow_convertor::ctor");
  if (front_end_ == dmw_front_end::agent)
    destination_format_ = format_not_given;
  else
    serialize(false);
}

dunmarrow_convertor::~dunmarrow_convertor() {
  trace(2, "dunmarrow_convertor::dtor");
  if (front_end_ == dmw_front_end::wizard) {
    try {
      serialize(true);
    } catch (const std::exception&) {
      // Losing the last settings must not take the program down on exit.
    }
  }
}

void dunmarrow_convertor::operator()() {
  trace(2, "dunmarrow_convertor::operator()");
  run_failure_.clear();
  try {
    // The thread of the run has set COM up itself.
    init_conversion scope(finished_, true);
    // The run goes on with the Access engine, which the destination layer
    // provides; without it nothing can be written.
    throw tk_exception(access_missing_message, 1);
  } catch (const tk_final_exception&) {
  } catch (const tk_exception& error) {
    error_handler::get().handle(error, true);
  } catch (const std::exception& error) {
    trace(3, "ERROR:\n%s", error.what());
    run_failure_ = error.what();
    if (front_end_ == dmw_front_end::agent && !is_quiet()) {
      std::fputs(error.what(), stderr);
      std::fputc('\n', stderr);
      std::fflush(stderr);
    }
  }
}

bool dunmarrow_convertor::test_query(const std::u16string& select_text) {
  return test_oracle_query(select_text);
}

std::vector<std::u16string> dunmarrow_convertor::get_all_tables() const {
  trace(2, "dunmarrow_convertor::get_all_tables");
  TK_CHECK(source_database() != nullptr, "dmw_conv");
  return source_database()->table_names();
}

void dunmarrow_convertor::serialize(bool store) {
  trace(1, "serialize( %d )", store ? 1 : 0);
  if (registry_.open(platform::HKEY_CURRENT_USER) != platform::ERROR_SUCCESS) return;
  if (store) {
    registry_.set_value("dest", dest_name_);
    registry_.set_value("format", static_cast<uint32_t>(destination_format_));
    registry_.set_value("oracleh", host_);
    registry_.set_value("oraclep", password_);
    registry_.set_value("oracleu", user_);
    registry_.set_value("port", port_);
    registry_.set_value("skip_idx", skip_indexes_ ? 1u : 0u);
    registry_.set_value("src", source_name_);
    registry_.set_value("tab_def", only_definitions_ ? 1u : 0u);
  } else {
    registry_.get_value("dest", dest_name_);
    uint32_t format = 1;
    registry_.get_value("format", format);
    destination_format_ = static_cast<int>(format);
    registry_.get_value("oracleh", host_);
    registry_.get_value("oraclep", password_);
    registry_.get_value("oracleu", user_);
    port_ = u"1521";
    registry_.get_value("port", port_);
    read_flag(registry_, "skip_idx", skip_indexes_);
    registry_.get_value("src", source_name_);
    read_flag(registry_, "tab_def", only_definitions_);
  }
  registry_.close();
}

bool dunmarrow_convertor::load_profile_file(const std::u16string& path) {
  trace(2, u"dunmarrow_convertor::load_profile_file(%s)", path.c_str());
  udb_profile profile;
  if (!profile.load(path)) return false;
  udb_converter::load_profile(profile);
  oracle_converter_impl::load_profile(profile);
  load_access_part(profile, access_);
  std::u16string format = profile.value(names::access_settings, kDestinationFormat);
  if (!format.empty()) destination_format_ = format == u"1" ? 1 : 0;
  return true;
}

void dunmarrow_convertor::store_profile_file(const std::u16string& path) const {
  trace(2, u"dunmarrow_convertor::store_profile_file(%s)", path.c_str());
  udb_profile profile;
  udb_converter::store_profile(profile);
  oracle_converter_impl::store_profile(profile);
  store_access_part(profile, access_);
  profile.set_value(names::access_settings, kDestinationFormat,
                    destination_format_ == 1 ? u"1" : u"0");
  profile.save(path);
}

void common_check_dest(const std::u16string& destination) {
  trace(1, u"common_check_dest(%s)", destination.c_str());
  if (tk_is_path_exist(destination))
    throw tk_exception("Destination name should specify a file, not folder.", 1);
  if (tk_is_file_exist(destination, tk_open_read) &&
      !tk_is_file_exist(destination, tk_open_read_write))
    throw tk_exception("Destination name specifies an existing read-only file.", 1);
  if (!tk_is_path_exist(tk_file_wname(destination).folder()))
    throw tk_exception(
        "Destination path does not exist.\nPlease verify the correct path was given.", 1);
}
