#pragma once
// dao_database: an Access database opened through DAO, as the destination of
// a conversion. Lists the user tables of the file (linked and system tables
// are left out), creates tables from a source schema and indexes, deletes
// tables, and opens record streams over tables and SELECT queries. The
// streams it returns belong to the caller and must be deleted before it.
#include <cstdint>
#include <memory>
#include <string>

#include "DAO/dao_idl.h"
#include "OLE/ole_ptr.h"
#include "UDB/udb_db.h"
#include "platform/code_page_table.h"

class dao_database : public udb_database {
 public:
  // Open-mode bits read here.
  static constexpr uint32_t mode_read_only = 1;
  static constexpr uint32_t mode_open_existing_table = 8;  // create_table of an existing table appends to it
  // get_table flags.
  static constexpr uint32_t flag_read_only = 1;

  // Takes its own reference on the database.
  dao_database(const std::u16string& name, Database* database, uint32_t mode);
  ~dao_database() override;

  std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema& fields,
                                              const udb_indexes& indexes) override;
  bool delete_tab(const std::u16string& name) override;
  // Null for a linked or system table.
  std::unique_ptr<udb_recordset> get_table(const std::u16string& name, uint32_t flags) override;
  std::unique_ptr<udb_recordset> get_query(const std::u16string& name, const std::u16string& select_text,
                                           uint32_t flags) override;
  // Never raises: false when the text cannot be opened as a query.
  bool test_query(const std::u16string& select_text) override;
  uint32_t get_query_record_count(const std::u16string& select_text);

  // The code page a file of one byte a character (Access 95/97) stores its
  // text in; its table recordsets count the values holding characters it
  // lacks, which the engine stores as '?'. Null (the default) for files that
  // store any character.
  void set_text_code_page(const platform::code_page_table* code_page) { text_code_page_ = code_page; }
  const platform::code_page_table* text_code_page() const { return text_code_page_; }

 private:
  ole_com_ptr<_QueryDef> create_query_def(const std::u16string& select_text);
  // A dynaset over the query, read-only or append-only by the flags.
  ole_com_ptr<Recordset> open_dynaset(_QueryDef* querydef, uint32_t flags);

  ole_com_ptr<Database> database_;
  ole_com_ptr<TableDefs> tabledefs_;
  const platform::code_page_table* text_code_page_ = nullptr;
};
