#pragma once
// The indexes of one table, in the order of the source's catalog.
#include <string>
#include <vector>

struct udb_index {
  std::u16string name;
  bool unique = false;
  bool primary = false;  // the table's primary key
  std::vector<std::u16string> columns;  // in key order
};

class udb_indexes {
 public:
  void add(const udb_index& index) { indexes_.push_back(index); }

  // The first index of that name, ignoring case; a missing one is an internal
  // error: ask is_acceptable_name first.
  udb_index& get_index(const std::u16string& name);
  const udb_index& get_index(const std::u16string& name) const;
  // False when an index of that name exists, ignoring case.
  bool is_acceptable_name(const std::u16string& name) const;

  size_t size() const { return indexes_.size(); }
  bool empty() const { return indexes_.empty(); }
  const udb_index& operator[](size_t i) const;  // i must exist
  std::vector<udb_index>::const_iterator begin() const { return indexes_.begin(); }
  std::vector<udb_index>::const_iterator end() const { return indexes_.end(); }

 private:
  const udb_index* find(const std::u16string& name) const;

  std::vector<udb_index> indexes_;
};
