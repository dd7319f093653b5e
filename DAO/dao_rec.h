#pragma once
// One record read from a DAO recordset: dao_record holds a dao_field per DAO
// field, each a copy of the field's value together with its name, size,
// required flag and counter flag. Dates on Access's zero day (1899-12-30) read
// back as "0000-00-00", the form a time without a date travels in.
#include <memory>
#include <string>

#include "DAO/dao_idl.h"
#include "OLE/ole_ptr.h"
#include "UDB/udb_fld.h"

class dao_field : public udb_field {
 public:
  explicit dao_field(_Field* field);  // takes its own reference
  dao_field(const dao_field&) = delete;
  dao_field& operator=(const dao_field&) = delete;
  ~dao_field() override = default;

  std::string to_string() const override;
  std::u16string to_wstring() const override;
  // The value's type; for a field without a value, its DAO type's.
  VARTYPE get_type() const override;
  bool has_own_text() const override { return true; }

 private:
  ole_com_ptr<_Field> field_;
};

class dao_record : public udb_record {
 public:
  explicit dao_record(Fields* fields);  // takes its own reference

 private:
  ole_com_ptr<Fields> fields_collection_;
};
