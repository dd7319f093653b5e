#pragma once
// The Oracle source seen through the universal database layer: the current
// user's schema. Its table list is read at construction; tables and stored
// queries are opened as ora_table streams. Every table opened adds the
// foreign keys that reference it to the database-wide relationships.
//
// Made by ora_engine::open_db; must be destroyed before the engine.
#include <memory>
#include <string>

#include "UDB/udb_db.h"

class ora_database : public udb_database {
 public:
  explicit ora_database(const std::u16string& connect_string);
  ~ora_database() override;

  // This system only reads from Oracle: creating a table here is an
  // internal error.
  std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema& fields,
                                              const udb_indexes& indexes) override;
  // flags 1 reads the primary key, the indexes and the referencing foreign
  // keys as well. The name must be in the table list.
  std::unique_ptr<udb_recordset> get_table(const std::u16string& name, uint32_t flags) override;
  // A stored query shown under name; queries have no indexes.
  std::unique_ptr<udb_recordset> get_query(const std::u16string& name, const std::u16string& select_text,
                                           uint32_t flags) override;
  // Parses without running: true, or the parse's ora_exception.
  bool test_query(const std::u16string& select_text) override;
  // Runs a statement once.
  void query(const std::u16string& text) override;

  // Release 8 and later list only ordinary and index-organized tables.
  static const char16_t tables_statement[];
  static const char16_t tables_statement_release7[];
};
