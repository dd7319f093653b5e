#pragma once
// The converter: the one object per process that holds every conversion
// setting, owns the Oracle connection through its Oracle part, and carries out
// a run. The wizard's converter keeps its last settings in the registry; the
// agent's never touches the registry and starts without a destination format.
#include <atomic>
#include <string>
#include <vector>

#include "TK/tk_regk.h"
#include "TK/tk_singl.h"
#include "UDB/udb_conv.h"
#include "UDB/udb_vali.h"
#include "common/ora_conv.h"

class dao_recordset;

// Where the settings of a front end come from.
enum class dmw_front_end { wizard, agent };

// The Access part of the settings: carried by profiles only, not used by a run.
struct dmw_access_settings {
  std::u16string workgroup_file;
  std::u16string workgroup_user;
  std::u16string workgroup_password;
  std::u16string database_password;
};

class dunmarrow_convertor : public udb_converter,
                            public oracle_converter_impl,
                            public tk_singleton<dunmarrow_convertor> {
 public:
  static constexpr char registry_path[] = "Software\\Kestrova\\Dunmarrow";
  static constexpr int format_not_given = -1;

  explicit dunmarrow_convertor(dmw_front_end front_end);
  ~dunmarrow_convertor() override;

  // The run. Its outcome is in the error handler's state and the trace.
  void operator()() override;
  bool test_query(const std::u16string& select_text) override;

  // Asks the run going on to end after the record it is copying, from any
  // thread: the tables and records finished so far are kept and the run ends
  // as if it had reached its last entry (mode 0 puts its new file in place).
  // A wizard cancelling its run uses this; a thread ended by force would
  // leave the file half written and its lock held.
  void request_stop() { stop_requested_ = true; }
  void clear_stop() { stop_requested_ = false; }
  bool stop_requested() const { return stop_requested_; }

  // The table names of the connected source; no connection is an internal
  // error naming dmw_conv.
  std::vector<std::u16string> get_all_tables() const;

  // The registry form of the scalar settings: false loads, true stores.
  // Silent when the key cannot be opened.
  void serialize(bool store);

  // Applies a profile file through every part of the settings; false when the
  // file cannot be loaded (the settings are then unchanged).
  bool load_profile_file(const std::u16string& path);
  // Whether the profile last loaded held a password (Oracle, workgroup or
  // database): a front end warns when others can read such a file.
  bool profile_held_password() const { return profile_held_password_; }
  // Writes the settings as a profile file; a failure is not reported.
  void store_profile_file(const std::u16string& path) const;

  // 0 an Access 95/97 file, 1 an Access 2000 file; format_not_given in the
  // agent until "--acc_ver=".
  int destination_format() const { return destination_format_; }
  void set_destination_format(int format) { destination_format_ = format; }

  dmw_access_settings& access_settings() { return access_; }
  const dmw_access_settings& access_settings() const { return access_; }

  dmw_front_end front_end() const { return front_end_; }
  // The text of a standard exception that ended the last run, for the wizard
  // to show; empty when none did.
  const std::string& run_failure() const { return run_failure_; }
  // True when the last run ended by an error before its first table: the
  // engine could not be loaded or the destination created or opened. The
  // agent then ends with a failure exit code.
  bool failed_before_converting() const { return failed_before_converting_; }

  static const char non_conforming_message[];
  // Filled with the field's name.
  static const char field_left_empty_message[];

 private:
  // The run from the engine to the last entry; the engine, the destination
  // and the validator live exactly as long as this call.
  void convert_all();
  // One table or query: its own errors are reported here and the run goes on.
  void convert_entry(udb_database& source, udb_database& destination, udb_validator& validator,
                     const std::u16string& name, const std::u16string& select_text);
  void copy_records(udb_recordset& from, udb_recordset& to, const std::u16string& name);
  // After a record was stored: one record error for each field Access made
  // us leave empty because the record would have been too large.
  void report_fields_left_empty(const dao_recordset& to, const std::u16string& name);
  // Says how many values of table `name` an Access 95/97 destination had to
  // store with '?' for characters its code page lacks.
  void report_unstorable_text(const udb_recordset& to, const std::u16string& name);
  void note_run_failure();
  // The agent's console lines; nothing in the wizard or when quiet.
  bool prints_progress() const { return front_end_ == dmw_front_end::agent && !is_quiet(); }

  dmw_front_end front_end_;
  tk_reg_key registry_;
  int destination_format_ = 1;
  dmw_access_settings access_;
  std::string run_failure_;
  bool failed_before_converting_ = false;
  bool entries_begun_ = false;
  bool profile_held_password_ = false;
  std::atomic<bool> stop_requested_{false};  // polled between records and entries
};

// The checks a front end makes on a destination file name before a run; each
// failure is a level-1 tk_exception with the user's message.
void common_check_dest(const std::u16string& destination);

// The check of mode 0 (overwrite), which replaces the destination only once
// the run has finished: an existing destination whose folder forbids removing
// it is a tk_exception_ex with the system's error; one that another process
// holds open (or a live run's build file beside it) is DAO's 3045 at level 1.
// Nothing on disk changes; an engine of this process, if there is one, is
// left loaded with the destination's version.
void common_check_replaceable(const std::u16string& destination);

// The check of modes 1 to 3, which write into an existing destination: it must
// open as an Access database of a version the engine reads. A file that does
// not is the engine's own level-1 exception ("File '...' does not comply with
// MS Access format." or DAO's error). Nothing on disk changes; an engine of
// this process, if there is one, is left loaded with the file's version.
void common_check_openable(const std::u16string& destination);
