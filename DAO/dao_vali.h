#pragma once
// Names acceptable to Access: at most 64 characters, no control character,
// grave accent, exclamation mark, square brackets or full stop, no leading or
// trailing space, not empty; no reserved words. One variant per kind of name,
// each seeded with the names already taken.
#include <string>
#include <vector>

#include "DAO/dao_nmap.h"
#include "UDB/udb_idx.h"
#include "UDB/udb_sche.h"
#include "UDB/udb_vali.h"

class dao_validator : public udb_validator {
 public:
  // The longest name Access takes.
  static constexpr uint32_t max_name_length = 64;

  dao_validator();

  bool is_acceptable(const std::u16string& name) override;
  // Spaces at both ends are dropped before the base makes the name safe.
  std::u16string get_safe_name(const std::u16string& name) override;
};

// Table names: taken are the selected source tables and the destination's tables.
class dao_tn_validator : public dao_validator {
 public:
  dao_tn_validator(const std::vector<std::u16string>& selected_tables,
                   const std::vector<std::u16string>& destination_tables);
};

// Field names of one table: taken are all its source fields. Keeps the map of
// replaced names.
class dao_fn_validator : public dao_validator {
 public:
  explicit dao_fn_validator(const udb_schema& source_fields);

  // Records a replaced column name in the base's pairs and in the names map.
  void map_name(const std::u16string& source_name, const std::u16string& new_name);
  const t_names_map& names_map() const { return names_map_; }

 private:
  t_names_map names_map_;
};

// Index names of one table: taken are all its source indexes.
class dao_in_validator : public dao_validator {
 public:
  explicit dao_in_validator(const udb_indexes& source_indexes);
};
