#include "DAO/dao_vali.h"

#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

// Access refuses a name of more than 64 characters or with a control
// character (3125); such names get generated ones, as names with the other
// illegal characters do, instead of losing their table.
dao_validator::dao_validator() : udb_validator(max_name_length) {
  trace(1, "dao_validator::ctor");
  illegal_chars_ = {u'`', u'!', u'[', u']', u'.'};
  for (char16_t control = 0; control < 0x20; ++control) illegal_chars_.push_back(control);
}

bool dao_validator::is_acceptable(const std::u16string& name) {
  trace(1, u"dao_validator::is_acceptable(%s)", name.c_str());
  if (name.empty()) return false;
  if (name.front() == u' ' || name.back() == u' ') return false;
  return udb_validator::is_acceptable(name);
}

std::u16string dao_validator::get_safe_name(const std::u16string& name) {
  trace(1, u"dao_validator::get_safe_name(%s)", name.c_str());
  return udb_validator::get_safe_name(tk_trim(name));
}

dao_tn_validator::dao_tn_validator(const std::vector<std::u16string>& selected_tables,
                                   const std::vector<std::u16string>& destination_tables) {
  trace(1, "dao_tn_validator::ctor");
  for (const std::u16string& name : selected_tables) add_name_in_use(name);
  for (const std::u16string& name : destination_tables) add_name_in_use(name);
}

dao_fn_validator::dao_fn_validator(const udb_schema& source_fields) {
  trace(1, "dao_fn_validator::ctor");
  for (size_t i = 0; i < source_fields.size(); ++i) add_name_in_use(source_fields[i].name);
}

void dao_fn_validator::map_name(const std::u16string& source_name, const std::u16string& new_name) {
  add_mapped_pair(source_name, new_name);
  names_map_.add(source_name, new_name);
}

dao_in_validator::dao_in_validator(const udb_indexes& source_indexes) {
  trace(1, "dao_in_validator::ctor");
  for (const udb_index& index : source_indexes) add_name_in_use(index.name);
}
