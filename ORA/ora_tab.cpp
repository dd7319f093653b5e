#include "ORA/ora_tab.h"

#include "ORA/ora_engi.h"
#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "platform/collate.h"

const char16_t ora_table::indexes_statement[] =
    u"SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name FROM "
    u"user_ind_columns, user_indexes where user_ind_columns.table_name = %s AND user_indexes.generated='N' AND "
    u"user_ind_columns.index_name = user_indexes.index_name AND user_ind_columns.table_name = "
    u"user_indexes.table_name ORDER BY user_indexes.index_name, user_ind_columns.column_position";
const char16_t ora_table::indexes_statement_release7[] =
    u"SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name FROM "
    u"user_ind_columns, user_indexes where user_ind_columns.table_name = %s AND "
    u"user_ind_columns.index_name = user_indexes.index_name AND user_ind_columns.table_name = "
    u"user_indexes.table_name ORDER BY user_indexes.index_name, user_ind_columns.column_position";

namespace {

std::u16string text_of(const udb_field& field) {
  return field.get_type() == VT_EMPTY ? std::u16string() : field.to_wstring();
}

// Blanks and line breaks at both ends: the dictionary keeps the default as
// it was written in the DDL, often with the line break that followed it.
std::u16string trim_default(const std::u16string& text) {
  const std::u16string space = u" \t\r\n";
  size_t first = text.find_first_not_of(space);
  if (first == std::u16string::npos) return std::u16string();
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// The position of a schema column by name, ignoring case; -1 when missing.
int schema_position(const udb_schema& schema, const std::u16string& name) {
  for (size_t i = 0; i < schema.size(); ++i)
    if (platform::equal_ignore_case(schema[i].name, name)) return static_cast<int>(i);
  return -1;
}

}  // namespace

std::u16string ora_table::quoted(const std::u16string& name) {
  std::u16string out = u"'";
  for (char16_t c : name) {
    out += c;
    if (c == u'\'') out += u'\'';
  }
  return out + u"'";
}

ora_table::ora_table(const std::u16string& name, const std::u16string& select_text, uint32_t flags,
                     udb_relationships& relationships)
    : ora_query_results(name, select_text), relationships_(relationships) {
  trace(2, u"ora_table::ora_table(%s)", name.c_str());
  init_schema();
  if (schema_.size() == 0) {
    trace(2, "Empty table");
    return;
  }
  if (!is_query() && flags == 1) init_indexes();
  record_count_ = is_query() ? ora_engine::engine().get_records_cnt(select_text_, true)
                             : ora_engine::engine().get_records_cnt(name_);
  trace(2, "Got %d records", record_count_);
}

ora_table::~ora_table() { trace(1, "ora_table::dtor"); }

int32_t ora_table::get_columns_cnt() {
  ora_stmt stmt;
  int32_t count = 0;
  TK_CHECK(stmt.select_int(u"SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = " + quoted(name_), count),
           "ora_tab");
  return count;
}

void ora_table::init_schema() {
  trace(2, "ora_table::init_schema");
  int32_t count = is_query() ? 0 : get_columns_cnt();
  trace(2, "Got %d columns", count);
  std::u16string statement = is_query() ? select_text_ : u"SELECT * FROM \"" + name_ + u"\"";
  trace(1, "Right before extract DB structure");
  initialize(count, statement);
  if (is_query()) return;

  ora_query_results dictionary(
      3, u"select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS where table_name = " + quoted(name_));
  for (int n = 0; !dictionary.is_eof(); ++n) {
    udb_record& row = *dictionary.get_item();
    std::u16string column = text_of(row[0]);
    int position = schema_position(schema_, column);
    if (position < 0) {
      trace(2, "Field not found in schema");
      continue;
    }
    t_ftd& field = schema_[position];
    std::u16string default_text = text_of(row[1]);
    if (!default_text.empty()) {
      trace(1, u"Got default string: %s (eye=%d, type=%d)", default_text.c_str(), n, field.type);
      field.default_value = get_def_value(field.type, default_text);
      trace(1, u"Got default variant: %s", text_of(udb_field(u"", 0, field.default_value)).c_str());
    }
    // National columns are described in bytes of two per character, unless
    // the client sized them in characters already. The adapter is the one of
    // the same column, whatever order the rows come in.
    std::u16string data_type = text_of(row[2]);
    if (data_type == u"NVARCHAR2" || data_type == u"NCHAR") {
      TK_CHECK(static_cast<size_t>(position) < columns().size(), "ora_tab");
      ora_type& adapter = *columns()[position];
      if (!adapter.sized_in_characters()) adapter.set_size(adapter.size() / 2);
      field.size = adapter.size();
    }
  }
}

ole_variant ora_table::get_def_value(VARTYPE type, const std::u16string& source) {
  trace(1, u"ora_table::get_def_value(type=0x%08X, src=%s)", static_cast<unsigned>(type), source.c_str());
  std::u16string text = trim_default(source);
  bool was_quoted = false;
  if (text.size() > 1 && text.front() == u'\'' && text.back() == u'\'') {
    trace(1, "Removing quotes");
    text = text.substr(1, text.size() - 2);
    trace(1, u"After removing quotes: %s", text.c_str());
    was_quoted = true;
  }
  if (!was_quoted && type == VT_BSTR) {
    trace(1, "Incorrect/empty/null default value for VT_BSTR");
    return ole_variant();
  }
  if (type == VT_DATE) return ole_variant();
  std::u16string unescaped;
  for (size_t i = 0; i < text.size(); ++i) {
    unescaped += text[i];
    if (text[i] == u'\'' && i + 1 < text.size() && text[i + 1] == u'\'') ++i;
  }
  ole_variant value;
  try {
    value.from_wstring(unescaped, type);
  } catch (const ole_type_exception&) {
    return ole_variant();
  }
  return value;
}

void ora_table::init_indexes() {
  trace(2, "ora_table::init_indexes");
  udb_index key;
  key.unique = true;
  key.primary = true;
  {
    ora_query_results rows(
        2, u"SELECT a.constraint_name, a.column_name FROM user_cons_columns a, user_constraints b WHERE "
           u"a.table_name=" + quoted(name_) +
           u" AND a.constraint_name=b.constraint_name AND b.constraint_type='P' ORDER BY a.constraint_name, "
           u"a.position");
    bool first = true;
    while (!rows.is_eof()) {
      udb_record& row = *rows.get_item();
      if (first) {
        key.name = text_of(row[0]);
        trace(2, u"Got primary key '%s'", key.name.c_str());
        first = false;
      }
      std::u16string column = text_of(row[1]);
      if (!schema_.find_field(column)) {
        trace(2, u"PK field '%s' not found - skip it", column.c_str());
        continue;
      }
      key.columns.push_back(column);
    }
  }
  if (!key.columns.empty()) indexes_.add(key);

  {
    bool release8 = ora_engine::engine().get_version() >= 0x080000;
    std::u16string statement = tk_wformat(release8 ? indexes_statement : indexes_statement_release7,
                                          quoted(name_).c_str());
    ora_query_results rows(3, statement);
    while (!rows.is_eof()) {
      udb_record& row = *rows.get_item();
      std::u16string index_name = text_of(row[0]);
      bool unique = platform::equal_ignore_case(text_of(row[1]), u"UNIQUE");
      std::u16string column = text_of(row[2]);
      trace(2, u"Got index '%s' (unique=%d)", index_name.c_str(), unique ? 1 : 0);
      if (!schema_.find_field(column)) {
        trace(2, u"Index field '%s' not found - skip it", column.c_str());
        continue;
      }
      if (indexes_.is_acceptable_name(index_name)) {
        indexes_.add(udb_index{index_name, unique, false, {column}});
        continue;
      }
      udb_index& existing = indexes_.get_index(index_name);
      if (existing.primary) {
        trace(2, "Skip Primary Key DoubleInitialization");
        continue;
      }
      existing.columns.push_back(column);
    }
  }

  if (!key.columns.empty()) read_foreign_keys(key);
}

void ora_table::read_foreign_keys(const udb_index& key) {
  int32_t count = 0;
  {
    ora_stmt stmt;
    stmt.select_int(u"select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME=" + quoted(key.name) +
                        u" and CONSTRAINT_TYPE='R'",
                    count);
  }
  if (count == 0) {
    trace(2, "No foreign keys found");
    return;
  }
  ora_query_results rows(
      4, u"select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM USER_CONSTRAINTS a, "
         u"USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and "
         u"a.R_CONSTRAINT_NAME=" + quoted(key.name));
  while (!rows.is_eof()) {
    udb_record& row = *rows.get_item();
    std::u16string table = text_of(row[0]), constraint = text_of(row[1]), rule = text_of(row[2]),
                   column = text_of(row[3]);
    trace(2, u"GOT FK: %s,%s,%s,%s", table.c_str(), constraint.c_str(), rule.c_str(), column.c_str());
    if (relationships_.is_acceptable_name(constraint)) {
      relationships_.add(udb_relationship{constraint, key.name, table, name_, {column}, key.columns,
                                          rule.empty() ? u"" : u"ON DELETE " + rule});
      continue;
    }
    udb_relationship& existing = relationships_.get_index(constraint);
    bool present = false;
    for (const std::u16string& c : existing.foreign_columns) present |= c == column;
    if (!present) existing.foreign_columns.push_back(column);
  }
}

bool ora_table::is_eof() {
  trace(1, "ora_table::is_eof(%d,%d)", row_index_, record_count_);
  TK_CHECK(initialized_, "ora_tab");
  if (row_index_ >= record_count_) return true;
  fetched_ = fetch_row();
  return !fetched_;
}

void ora_table::next() {
  trace(1, "ora_table::next");
  ++row_index_;
}
