#include "UDB/udb_db.h"

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "platform/collate.h"

udb_database::udb_database(const std::u16string& name, uint32_t open_flags, bool case_sensitive_names)
    : open_flags_(open_flags), name_(name), case_sensitive_names_(case_sensitive_names) {
  trace(1, u"udb_database::ctor(%s)", name_.c_str());
}

udb_database::~udb_database() { trace(1, "udb_database::dtor"); }

bool udb_database::same_name(const std::u16string& a, const std::u16string& b) const {
  return case_sensitive_names_ ? a == b : platform::equal_ignore_case(a, b);
}

bool udb_database::is_table_exist(const std::u16string& name) {
  trace(1, u"udb_database::is_table_exist(%s)", name.c_str());
  for (const std::u16string& table : table_names_) {
    trace(1, u"Compare with %s", table.c_str());
    if (same_name(table, name)) {
      trace(1, "table exists");
      return true;
    }
  }
  trace(1, "table not found");
  return false;
}

bool udb_database::delete_tab(const std::u16string& name) {
  trace(1, u"udb_database::delete_tab (%s)", name.c_str());
  for (auto it = table_names_.begin(); it != table_names_.end(); ++it) {
    if (same_name(*it, name)) {
      table_names_.erase(it);
      return true;
    }
  }
  throw tk_mail_assertion("udb_db", __LINE__);
}

void udb_database::query(const std::u16string& text) {
  trace(1, u"udb_database::query(%s)", text.c_str());
  throw tk_mail_assertion("udb_db", __LINE__);
}
