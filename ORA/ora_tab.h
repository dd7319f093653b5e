#pragma once
// One Oracle table or stored query as a record stream. Opening it reads the
// schema (with defaults and national column sizes from the dictionary), for a
// table opened with flags 1 the primary key, indexes and the foreign keys
// that reference it, and the row count. Rows come through the result set's
// protocol; a table yields at most as many rows as it had when opened.
#include <string>

#include "ORA/ora_qres.h"
#include "UDB/udb_rel.h"

class ora_table : public ora_query_results {
 public:
  // An empty select_text opens the table name; otherwise the stored query.
  // relationships is the owning database's collection and must outlive this.
  ora_table(const std::u16string& name, const std::u16string& select_text, uint32_t flags,
            udb_relationships& relationships);
  ~ora_table() override;

  bool is_eof() override;
  void next() override;

  int32_t get_columns_cnt();
  // The default a column of type type gets from its dictionary text; empty
  // when the text is an expression, a date, or not a value of that type.
  static ole_variant get_def_value(VARTYPE type, const std::u16string& text);
  // A name as a literal inside a dictionary query: quotes doubled.
  static std::u16string quoted(const std::u16string& name);

  static const char16_t indexes_statement[];
  static const char16_t indexes_statement_release7[];

 private:
  void init_schema();
  void init_indexes();
  void read_foreign_keys(const udb_index& key);

  int32_t row_index_ = 0;
  udb_relationships& relationships_;
};
