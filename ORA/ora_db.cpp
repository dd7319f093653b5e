#include "ORA/ora_db.h"

#include <vector>

#include "ORA/ora_engi.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_tab.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

const char16_t ora_database::tables_statement[] =
    u"select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and NESTED='NO' and IOT_TYPE IS NULL "
    u"OR IOT_TYPE='IOT'";
const char16_t ora_database::tables_statement_release7[] = u"select TABLE_NAME from user_tables";

ora_database::ora_database(const std::u16string& connect_string) : udb_database(connect_string, 0, false) {
  trace(2, u"ora_database::ctor(%s)", connect_string.c_str());
  uint32_t version = ora_engine::engine().get_version();
  ora_stmt stmt;
  stmt.prepare(version < 0x080000 ? tables_statement_release7 : tables_statement);
  std::vector<char16_t> name(256, u'\0');  // 512 bytes
  OCIDefine* define = nullptr;
  ora_engine::check_status(ora_engine::oci().define_by_pos(stmt.handle(), &define, ora_engine::error_handle(), 1,
                                                           name.data(), static_cast<sb4>(name.size() * 2),
                                                           SQLT_STR, nullptr, nullptr, nullptr, OCI_DEFAULT));
  sword status = stmt.execute(1);
  if (status != OCI_NO_DATA) {
    while (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) {
      name.back() = u'\0';
      std::u16string table(name.data());
      trace(1, u"Find table '%s'", table.c_str());
      table_names_.push_back(table);
      status = stmt.fetch();
    }
  }
  trace(2, "Tables count: %d", static_cast<int>(table_names_.size()));
}

ora_database::~ora_database() { trace(2, "ora_database::dtor"); }

std::unique_ptr<udb_recordset> ora_database::create_table(const std::u16string&, const udb_schema&,
                                                          const udb_indexes&) {
  throw tk_mail_assertion("ora_db", __LINE__);
}

std::unique_ptr<udb_recordset> ora_database::get_table(const std::u16string& name, uint32_t flags) {
  trace(2, u"ora_database::get_table(%s)", name.c_str());
  TK_CHECK(is_table_exist(name), "ora_db");
  return std::make_unique<ora_table>(name, u"", flags, relationships_);
}

std::unique_ptr<udb_recordset> ora_database::get_query(const std::u16string& name,
                                                       const std::u16string& select_text, uint32_t flags) {
  trace(2, u"ora_database::get_table(%s)", name.c_str());
  return std::make_unique<ora_table>(name, select_text, flags, relationships_);
}

bool ora_database::test_query(const std::u16string& select_text) {
  trace(2, u"ora_database::test_query(%s)", select_text.c_str());
  ora_stmt stmt;
  stmt.prepare(select_text);
  stmt.execute(1, OCI_PARSE_ONLY);  // parsed, never run
  return true;
}

void ora_database::query(const std::u16string& text) {
  trace(2, u"ora_database::query(%s)", text.c_str());
  ora_stmt stmt;
  stmt.prepare(text);
  stmt.execute(1);
}
