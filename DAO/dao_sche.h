#pragma once
// dao_schema_initializer: fills a new DAO table definition with the fields of
// a source schema. The constructor prepares the field descriptors (names made
// acceptable to Access, replaced names remembered); initialize() creates and
// appends the DAO fields. The table definition must outlive the builder.
#include <string>
#include <vector>

#include "DAO/dao_idl.h"
#include "DAO/dao_vali.h"
#include "UDB/udb_sche.h"

class dao_schema_initializer {
 public:
  dao_schema_initializer(_TableDef* tabledef, const udb_schema& source_fields);
  dao_schema_initializer(const dao_schema_initializer&) = delete;
  dao_schema_initializer& operator=(const dao_schema_initializer&) = delete;

  void initialize();

  // A default text between the quotes Access reads it with.
  static std::u16string quote_def_value(const std::u16string& text);

  const udb_schema& fields() const { return fields_; }
  const std::vector<std::u16string>& field_names() const { return field_names_; }
  // A source column that kept its own name, written exactly so.
  bool keeps_name(const std::u16string& name) const;
  const t_names_map& names_map() const { return validator_.names_map(); }

 private:
  // A final name already given to an earlier field, in any letter case.
  bool is_final_name(const std::u16string& name) const;
  void put_default_value(_Field* field, const t_ftd& descriptor);

  _TableDef* tabledef_;  // not owned
  dao_fn_validator validator_;
  udb_schema fields_{true};                  // the prepared descriptors, final names
  std::vector<std::u16string> field_names_;  // the final names, in order
  std::vector<std::u16string> kept_names_;   // the source names that stayed
};
