#pragma once
// Foreign-key relationships between tables, as the reading side found them.
#include <string>
#include <vector>

struct udb_relationship {
  std::u16string name;
  std::u16string key_name;         // the referenced key (primary key constraint)
  std::u16string foreign_table;    // the referencing table
  std::u16string primary_table;    // the referenced table
  std::vector<std::u16string> foreign_columns;  // referencing columns, in key order
  std::vector<std::u16string> primary_columns;  // referenced columns, in key order
  std::u16string rule;             // e.g. "ON DELETE CASCADE"; empty when none
};

class udb_relationships {
 public:
  udb_relationship& add(const udb_relationship& relationship);

  // The relationship of that name, ignoring case; a missing one is an
  // internal error: ask is_acceptable_name first.
  udb_relationship& get_index(const std::u16string& name);
  const udb_relationship& get_index(const std::u16string& name) const;
  // False when a relationship of that name exists, ignoring case.
  bool is_acceptable_name(const std::u16string& name) const;
  // "FK_<referencing table>_<referenced table>", lengthened until no
  // relationship of this collection has the name.
  std::u16string gen_relship_name(const udb_relationship& relationship) const;

  size_t size() const { return relationships_.size(); }
  bool empty() const { return relationships_.empty(); }
  const udb_relationship& operator[](size_t i) const;  // i must exist

 private:
  const udb_relationship* find(const std::u16string& name) const;

  std::vector<udb_relationship> relationships_;
};
