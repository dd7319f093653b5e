#include "common/dmw_conv.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "DAO/dao_engi.h"
#include "DAO/dao_excp.h"
#include "DAO/dao_recs.h"
#include "DAO/dao_repl.h"
#include "DAO/dao_vali.h"
#include "TK/tk_fname.h"
#include "TK/tk_trace.h"
#include "TK/tk_strin.h"
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

// Source streams are opened for reading.
constexpr uint32_t read_source = 1;

bool has_user_query(const udb_converter::object_map& objects) {
  return std::any_of(objects.begin(), objects.end(),
                     [](const auto& entry) { return !entry.second.empty(); });
}

void print_line(std::FILE* stream, const std::string& text) {
  const console_line_scope line;
  std::fputs(text.c_str(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void read_flag(const tk_reg_key& key, const char* name, bool& flag) {
  uint32_t value = 0;
  key.get_value(name, value);
  flag = value != 0;
}
}  // namespace

const char dunmarrow_convertor::non_conforming_message[] =
    "The structure of data source does not conform to the destination table.";
const char dunmarrow_convertor::field_left_empty_message[] = "Record is too large; field %s left empty.";

dunmarrow_convertor::dunmarrow_convertor(dmw_front_end front_end)
    : front_end_(front_end), registry_(registry_path) {
  trace(1, "dunmarrow_convertor::ctor");
  if (front_end_ == dmw_front_end::agent) {
    destination_format_ = format_not_given;
    // The agent logs on once and stores no settings.
    forget_password_after_logon(true);
  } else {
    serialize(false);
  }
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
  failed_before_converting_ = false;
  entries_begun_ = false;
  // Closed last, so that the end banner and the finished flag follow the
  // report of whatever ended the run.
  std::optional<init_conversion> scope;
  try {
    // The thread of the run has set COM up itself.
    scope.emplace(finished_, true);
    convert_all();
  } catch (const tk_final_exception&) {
    // Stopped at the user's request; already reported.
  } catch (const tk_exception& error) {
    note_run_failure();
    error_handler::get().handle(error, true);
  } catch (const std::exception& error) {
    note_run_failure();
    trace(3, "ERROR:\n%s", error.what());
    run_failure_ = error.what();
    if (prints_progress()) print_line(stderr, error.what());
  }
}

void dunmarrow_convertor::note_run_failure() {
  if (!entries_begun_) failed_before_converting_ = true;
}

void dunmarrow_convertor::convert_all() {
  udb_database* source = source_database();
  TK_CHECK(source != nullptr, "dmw_conv");

  dao_engine engine(false);
  // In mode 0 the new file is built beside the destination, which stays as it
  // is until the run has finished; declared before the new database, so that
  // the database is closed before a run that ends early removes its file.
  std::optional<dao_replacement> replacement;
  if (mode_ == 0) {
    replacement.emplace(engine, dest_name_);
    engine.set_version(destination_format_ == 0 ? dao_engine::access_97 : dao_engine::access_2000);
  } else {
    engine.set_version(engine.get_acc_version(dest_name_));
  }
  set_oracle_skip_indexes(skip_indexes_);
  std::unique_ptr<udb_database> destination =
      mode_ == 0 ? replacement->create_db()
                 : engine.open_db(dest_name_, dao_engine::mode_opened, std::u16string());
  TK_CHECK(destination != nullptr, "dmw_conv");

  // The agent converts every table when it was given neither tables nor queries.
  if (front_end_ == dmw_front_end::agent && selected_tables_.empty() && !has_user_query(selected_objects_))
    selected_tables_ = get_all_tables();

  table_count_ = static_cast<int32_t>(selected_tables_.size());
  trace(3, u"Converting database %s (%d tables)", oracle_database_name().c_str(),
        static_cast<int>(table_count_));
  if (prints_progress()) {
    print_line(stdout, "Converting database " + tk_to_ansi(oracle_database_name()) + "(" +
                           std::to_string(table_count_) + " tables)");
  }

  dao_tn_validator validator(selected_tables_, destination->table_names());
  for (const auto& entry : selected_objects_) validator.add_name_in_use(entry.first);
  // A user query keeps its place when a selected table has its name.
  for (const std::u16string& name : selected_tables_) selected_objects_.emplace(name, std::u16string());

  entries_begun_ = true;
  for (const auto& [name, select_text] : selected_objects_) {
    if (stop_requested_) break;
    convert_entry(*source, *destination, validator, name, select_text);
    ++table_index_;
  }

  if (stop_requested_) trace(3, "Conversion stopped at the user's request");
  error_handler::get().clear_object_description();
  table_count_ = 0;
  table_index_ = 0;
  if (replacement) {
    // Finished: the new file, closed, takes the destination's place.
    destination.reset();
    replacement->put_in_place();
  }
  // Leaving releases the validator, then the destination (closing the file),
  // then the engine.
}

void dunmarrow_convertor::convert_entry(udb_database& source, udb_database& destination,
                                        udb_validator& validator, const std::u16string& name,
                                        const std::u16string& select_text) {
  set_table_name(name);
  record_count_ = 0;
  record_index_ = 0;
  const bool is_query = !select_text.empty();
  try {
    if (front_end_ == dmw_front_end::agent && !is_query && !source.is_table_exist(name)) {
      if (!is_quiet()) print_line(stderr, "Table " + tk_to_ansi(name) + " not exists");
      return;
    }
    std::unique_ptr<udb_recordset> from = is_query ? source.get_query(name, select_text, read_source)
                                                   : source.get_table(name, read_source);
    if (!from) {
      trace(3, u"Skip system/linked table '%s'", name.c_str());
      return;
    }

    const bool own_name = validator.is_acceptable(name);
    const std::u16string target = own_name ? name : validator.get_safe_name(name);
    if (destination.is_table_exist(target)) {
      if (mode_ == 2) return;
      if (mode_ == 1) destination.delete_tab(target);
    }
    const udb_indexes no_indexes;
    std::unique_ptr<udb_recordset> to =
        destination.create_table(target, from->schema(), skip_indexes_ ? no_indexes : from->indexes());
    TK_CHECK(to != nullptr, "dmw_conv");
    if (mode_ == 1 && !from->schema().conform_to(to->schema()))
      throw tk_exception(non_conforming_message, 0);

    if (!own_name) {
      trace(2, u"Store generated table name '%s'", target.c_str());
      validator.add_name_in_use(target);
    }
    // A later entry that differs only in case gets a name of its own.
    validator.add_restricted_name(target);

    record_count_ = from->record_count();
    trace(3, u"Converting table %s (%d records)", name.c_str(), static_cast<int>(record_count_));
    if (prints_progress()) {
      print_line(stdout, "Converting table " + tk_to_ansi(name) + "(" + std::to_string(record_count_) +
                             " records)");
    }
    if (record_count_ == 0 || only_definitions_) return;
    copy_records(*from, *to, name);
    report_unstorable_text(*to, name);
    // The destination stream goes first, then the source.
  } catch (const tk_exception& error) {
    error_handler& handler = error_handler::get();
    handler.set_object_description(name);
    // An error that ends the run is reported by the run, once the destination
    // has been closed: the process may end right after the report.
    if (error.level() > 0) throw;
    handler.handle(error, false);
  }
}

void dunmarrow_convertor::copy_records(udb_recordset& from, udb_recordset& to,
                                       const std::u16string& name) {
  from.rewind();
  const bool details = trace_writes(1);
  const auto* access = dynamic_cast<const dao_recordset*>(&to);
  while (!from.is_eof() && !stop_requested_) {
    if (details) trace(1, "Converting %d record", static_cast<int>(record_index_));
    try {
      udb_record* record = from.get_item();
      TK_CHECK(record != nullptr, "dmw_conv");
      to.append_record(*record);
      if (access) report_fields_left_empty(*access, name);
    } catch (const dao_exception& error) {
      // A full or failing disk would refuse every later record too: the run
      // ends, reported once, after the destination is closed.
      if (error.level() > 0) throw;
      // Access refused this record; the next ones are still offered.
      error_handler& handler = error_handler::get();
      handler.set_object_description(name, record_index_ + 1);
      handler.handle(error, false);
    }
    from.next();
    ++record_index_;
  }
}

void dunmarrow_convertor::report_fields_left_empty(const dao_recordset& to, const std::u16string& name) {
  if (to.fields_left_empty().empty()) return;
  error_handler& handler = error_handler::get();
  for (const std::u16string& field : to.fields_left_empty()) {
    handler.set_object_description(name, record_index_ + 1);
    handler.handle(tk_exception(field_left_empty_message, tk_to_ansi(field), 0), false);
  }
}

void dunmarrow_convertor::report_unstorable_text(const udb_recordset& to, const std::u16string& name) {
  const auto* access = dynamic_cast<const dao_recordset*>(&to);
  if (!access || access->unstorable_text_values() == 0) return;
  const std::u16string line = u"Table " + name + u": " +
                              tk_from_utf8(std::to_string(access->unstorable_text_values())) +
                              u" values held characters that Access 95/97 cannot store; they were written as '?'";
  trace(3, u"%s", line.c_str());
  if (front_end_ == dmw_front_end::agent && !is_quiet()) print_line(stderr, tk_to_ansi(line));
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
  profile_held_password_ = oracle_converter_impl::profile_holds_password(profile) ||
                           !profile.value(names::access_settings, kWorkgroupPassword).empty() ||
                           !profile.value(names::access_settings, kDatabasePassword).empty();
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

void common_check_replaceable(const std::u16string& destination) {
  trace(1, u"common_check_replaceable(%s)", destination.c_str());
  const std::string file = tk_to_ansi(destination);
  struct stat file_info {};
  if (::lstat(file.c_str(), &file_info) != 0) {
    if (errno != ENOENT) throw tk_exception_ex();
  } else {
    // What unlink() would answer: the folder must be writable, and a sticky
    // folder keeps others' files.
    const std::string folder = tk_to_ansi(tk_file_wname(destination).folder());
    const std::string folder_path = folder.empty() ? "." : folder;
    if (::faccessat(AT_FDCWD, folder_path.c_str(), W_OK | X_OK, AT_EACCESS) != 0) throw tk_exception_ex();
    struct stat folder_info {};
    if (::stat(folder_path.c_str(), &folder_info) != 0) throw tk_exception_ex();
    const uid_t user = ::geteuid();
    if ((folder_info.st_mode & S_ISVTX) != 0 && user != 0 && file_info.st_uid != user && folder_info.st_uid != user)
      throw tk_exception_ex(EPERM);
  }
  // The engine of a run in this process, or one of its own for the check.
  std::optional<dao_engine> own_engine;
  dao_engine& engine = dao_engine::instance() ? *dao_engine::instance() : own_engine.emplace(false);
  dao_check_replaceable(engine, destination);
}

void common_check_openable(const std::u16string& destination) {
  trace(1, u"common_check_openable(%s)", destination.c_str());
  std::optional<dao_engine> own_engine;
  dao_engine& engine = dao_engine::instance() ? *dao_engine::instance() : own_engine.emplace(false);
  engine.set_version(engine.get_acc_version(destination));
  // Read only: the file is opened and closed again, never written.
  engine.open_db(destination, dao_engine::mode_read_only, std::u16string());
}
