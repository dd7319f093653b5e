#pragma once
// The engine-neutral part of the converter: mode, progress counters, the
// table and query selection and two flags, with their profile form; and the
// profile itself, an ordered map of sections, keys and values kept in files.
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "TK/tk_conv.h"

// Section and key names of the profile file.
namespace udb_profile_names {
inline constexpr char16_t available_queries[] = u"Available Queries";
inline constexpr char16_t selected_tables[] = u"Selected Tables";
inline constexpr char16_t generic_settings[] = u"Generic settings";
inline constexpr char16_t oracle_settings[] = u"Oracle settings";
inline constexpr char16_t access_settings[] = u"MS Access settings";

inline constexpr char16_t src[] = u"src";
inline constexpr char16_t dest[] = u"dest";
inline constexpr char16_t mode[] = u"mode";
inline constexpr char16_t only_definitions[] = u"only definitions";
inline constexpr char16_t skip_indexes[] = u"skip indexes";
}  // namespace udb_profile_names

// A profile in memory: section -> key -> value, all ordered by UTF-16 code
// units. A new profile holds the empty sections "Available Queries",
// "Selected Tables" and "Generic settings". Setting a key that is already
// present keeps the first value.
//
// File form: UTF-8 without a byte-order mark; "[section]" lines, "key=value"
// lines ("Selected Tables" writes a table with no select text as its name
// alone), an empty line after each section; CR LF written, a lone LF accepted.
// Line breaks inside a name or value are written as spaces so that every
// entry stays on one line. A line of 4095 bytes or more is an internal error
// naming udb_conv.
class udb_profile {
 public:
  using section = std::map<std::u16string, std::u16string>;

  udb_profile();
  // Values may be passwords: their memory is wiped before it is released.
  ~udb_profile();
  udb_profile(const udb_profile&) = default;
  udb_profile& operator=(const udb_profile&) = default;

  // Replaces the contents with the file's; on false the profile is unchanged
  // (the file cannot be opened, or a key line comes before any section).
  bool load(const std::u16string& path);
  // Writes the file, readable and writable by the owner only; false when it
  // cannot be written.
  bool save(const std::u16string& path) const;

  void set_value(const std::u16string& section_name, const std::u16string& key,
                 const std::u16string& value);
  // True and the value when the key is present.
  bool get_value(const std::u16string& section_name, const std::u16string& key,
                 std::u16string& value) const;
  // The value, or the empty text when the key is absent.
  std::u16string value(const std::u16string& section_name, const std::u16string& key) const;
  // The section, or null when absent.
  const section* find_section(const std::u16string& section_name) const;
  const std::map<std::u16string, section>& sections() const { return sections_; }

 private:
  std::map<std::u16string, section> sections_;
};

// Derives from tk_converter; the converter of the product derives from this.
// The counters are read by a front end's thread while a run goes on.
class udb_converter : public tk_converter {
 public:
  using object_map = std::map<std::u16string, std::u16string>;  // name -> select text

  udb_converter();
  ~udb_converter() override;

  // Checks a user query against the source.
  virtual bool test_query(const std::u16string& query) = 0;

  // 0 overwrite the entire database, 1 overwrite existing tables only,
  // 2 skip existing tables, 3 merge.
  void set_mode(int32_t mode);
  int32_t mode() const { return mode_; }

  // Progress of a run. The table name is a copy: the run changes it while
  // a front end's timer reads it.
  std::u16string table_name() const;
  void set_table_name(const std::u16string& name);
  int32_t record_count() const { return record_count_; }
  void set_record_count(int32_t count) { record_count_ = count; }
  int32_t record_index() const { return record_index_; }
  void set_record_index(int32_t index) { record_index_ = index; }
  int32_t table_count() const { return table_count_; }
  void set_table_count(int32_t count) { table_count_ = count; }
  int32_t table_index() const { return table_index_; }
  void set_table_index(int32_t index) { table_index_ = index; }

  // The selection.
  std::vector<std::u16string>& selected_tables() { return selected_tables_; }
  const std::vector<std::u16string>& selected_tables() const { return selected_tables_; }
  object_map& selected_objects() { return selected_objects_; }
  const object_map& selected_objects() const { return selected_objects_; }
  object_map& available_queries() { return available_queries_; }
  const object_map& available_queries() const { return available_queries_; }

  bool only_definitions() const { return only_definitions_; }
  void set_only_definitions(bool on) { only_definitions_ = on; }
  bool skip_indexes() const { return skip_indexes_; }
  void set_skip_indexes(bool on) { skip_indexes_ = on; }

  // The generic part of a profile: the selection, the available queries and
  // "Generic settings". Loading adds to the selection and replaces only the
  // scalar settings the profile holds.
  void load_profile(const udb_profile& profile);
  void store_profile(udb_profile& profile) const;
  // True when the profile last loaded held a mode that is neither empty nor
  // one of the digits 0 to 3; the mode was left as it was. A front end that
  // would otherwise go on in mode 0 and overwrite the file refuses it.
  bool profile_mode_refused() const { return profile_mode_refused_; }

 protected:
  int32_t mode_ = 0;
  bool profile_mode_refused_ = false;
  std::atomic<int32_t> record_count_{0};      // as the source reports it
  std::atomic<int32_t> record_index_{0};      // from 0
  std::atomic<int32_t> table_count_{0};       // number of selected tables
  std::atomic<int32_t> table_index_{0};       // from 0, queries and skipped entries too
  std::vector<std::u16string> selected_tables_;
  object_map selected_objects_;   // tables (empty text) and chosen user queries
  object_map available_queries_;  // every query the user has defined
  bool only_definitions_ = false;
  bool skip_indexes_ = false;

 private:
  mutable std::mutex table_name_mutex_;
  std::u16string table_name_;  // the table now being converted
};
