#pragma once
// dao_indexes_initializer: adds the indexes of a source table to a new DAO
// table definition. The constructor prepares them: index names made
// acceptable, fields renamed as their columns were, indexes Access cannot hold
// dropped (more than 10 fields, a long text or long binary field). initialize()
// creates and appends at most 32 of them. The table definition and the schema
// initializer must outlive this builder.
#include <string>
#include <vector>

#include "DAO/dao_idl.h"
#include "DAO/dao_sche.h"
#include "DAO/dao_vali.h"
#include "UDB/udb_idx.h"

class dao_indexes_initializer {
 public:
  static constexpr size_t max_index_fields = 10;
  static constexpr size_t max_indexes = 32;

  struct prepared_index {
    std::u16string name;
    std::vector<std::u16string> fields;  // destination field names, in key order
    bool unique = false;
    bool primary = false;
  };

  dao_indexes_initializer(_TableDef* tabledef, const dao_schema_initializer& schema,
                          const udb_indexes& source_indexes, const t_names_map& names_map);
  dao_indexes_initializer(const dao_indexes_initializer&) = delete;
  dao_indexes_initializer& operator=(const dao_indexes_initializer&) = delete;

  void initialize();

  const std::vector<prepared_index>& indexes() const { return indexes_; }
  const std::vector<std::u16string>& index_names() const { return index_names_; }

 private:
  // False when the index cannot be held by Access; fills its fields otherwise.
  bool prepare_fields(const udb_index& source, prepared_index& index) const;
  void create_index(Indexes* dao_indexes, const prepared_index& index);

  _TableDef* tabledef_;                    // not owned
  dao_in_validator validator_;
  std::vector<prepared_index> indexes_;
  const dao_schema_initializer& schema_;   // for the fields' types and sizes
  const t_names_map& names_map_;           // source column name -> field name
  std::vector<std::u16string> index_names_;
};
