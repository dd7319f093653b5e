#pragma once
// Column descriptors and the ordered column list of a table, with the rule
// that decides whether rows of one table can be stored in another.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OLE/ole_vari.h"

class udb_field;

// What a column is: the field type descriptor.
struct t_ftd {
  t_ftd(const udb_field& field, const ole_variant& default_value, int32_t default_kind);
  t_ftd(uint32_t size, const std::u16string& name, VARTYPE type, bool not_null, bool auto_increment,
        const ole_variant& default_value, int32_t default_kind);

  // Same type (VT_CY and VT_DECIMAL count as one), and for VT_BSTR the same
  // size. Names, flags and defaults are not compared.
  bool operator==(const t_ftd& other) const;
  // Whether a value of this (source) column can be stored in the destination column.
  bool conform_to(const t_ftd& destination) const;

  uint32_t size;  // characters for text, bytes for binary; 0: no limit
  std::u16string name;
  VARTYPE type;
  bool auto_increment;
  bool not_null;
  ole_variant default_value;  // VT_EMPTY when the column has none
  int32_t default_kind;       // set by the reader: 1 for a date literal between "#" signs
};

// The columns of a table in table order. An owning schema deletes its
// descriptors; a borrowing one only points at descriptors kept alive elsewhere.
class udb_schema {
 public:
  struct must_exist_t {};
  static constexpr must_exist_t must_exist{};

  explicit udb_schema(bool owns_fields);
  udb_schema(const udb_schema&) = delete;
  udb_schema& operator=(const udb_schema&) = delete;
  ~udb_schema();

  void add(std::unique_ptr<t_ftd> field);  // owning schemas only
  void add(t_ftd& field);                  // borrowing schemas only

  bool owns_fields() const { return owns_fields_; }
  size_t size() const { return fields_.size(); }
  t_ftd& operator[](size_t i);
  const t_ftd& operator[](size_t i) const;

  // Every column conforms to the destination column at the same position.
  bool conform_to(const udb_schema& destination) const;

  // Column lookup ignoring case; the first match wins. The descriptor forms
  // treat a missing column as an internal error: ask the bool form first.
  bool find_field(const std::u16string& name) const;
  const t_ftd& find_field(const std::u16string& name, must_exist_t) const;
  t_ftd& find_field(const std::u16string& name, must_exist_t);

 private:
  const t_ftd* find(const std::u16string& name) const;

  std::vector<t_ftd*> fields_;
  bool owns_fields_;
};
