#pragma once
// The base of a database that tables are read from or written to: its name,
// its table-name list (filled by the derived class from its catalog) and its
// relationships. Record streams returned by the derived classes belong to
// the caller.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "UDB/udb_rel.h"
#include "UDB/udb_rset.h"

class udb_database {
 public:
  udb_database(const std::u16string& name, uint32_t open_flags, bool case_sensitive_names);
  udb_database(const udb_database&) = delete;
  udb_database& operator=(const udb_database&) = delete;
  virtual ~udb_database();

  virtual std::unique_ptr<udb_recordset> create_table(const std::u16string& name, const udb_schema& fields,
                                                      const udb_indexes& indexes) = 0;
  // Removes the name from the table-name list; a derived class drops the
  // table itself first. A name not in the list is an internal error.
  virtual bool delete_tab(const std::u16string& name);
  virtual std::unique_ptr<udb_recordset> get_table(const std::u16string& name, uint32_t flags) = 0;
  virtual std::unique_ptr<udb_recordset> get_query(const std::u16string& name, const std::u16string& select_text,
                                                   uint32_t flags) = 0;
  virtual bool test_query(const std::u16string& select_text) = 0;
  // Running a statement that returns no rows is not supported by this base.
  virtual void query(const std::u16string& text);
  virtual void create_relationships() {}
  virtual bool is_table_exist(const std::u16string& name);

  const std::u16string& name() const { return name_; }
  uint32_t open_flags() const { return open_flags_; }
  bool case_sensitive_names() const { return case_sensitive_names_; }
  const std::vector<std::u16string>& table_names() const { return table_names_; }
  udb_relationships& relationships() { return relationships_; }
  const udb_relationships& relationships() const { return relationships_; }

 protected:
  // Code unit by code unit, or ignoring case, as the database names its tables.
  bool same_name(const std::u16string& a, const std::u16string& b) const;

  uint32_t open_flags_;
  std::u16string name_;
  bool case_sensitive_names_;
  std::vector<std::u16string> table_names_;
  udb_relationships relationships_;
};
