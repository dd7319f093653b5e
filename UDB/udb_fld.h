#pragma once
// A cell and a row. udb_field is a value (ole_variant) that also carries its
// column's name, size and flags; udb_record is the row, one owned field per
// column in the column order of the stream that produced it. The Oracle and
// Access sides derive their own fields and records from these.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OLE/ole_vari.h"

class udb_field : public ole_variant {
 public:
  udb_field();
  udb_field(const std::u16string& name, uint32_t size, const ole_variant& value,
            bool not_null = false, bool auto_increment = false);
  udb_field(const udb_field&) = default;
  udb_field& operator=(const udb_field&) = default;
  ~udb_field() override = default;

  // The value's type; a derived field may answer its column's type when the
  // value itself is empty.
  virtual VARTYPE get_type() const { return ole_variant::get_type(); }
  // True for a field read from Access: its text is its own, not its value's.
  virtual bool has_own_text() const { return false; }

  const std::u16string& name() const { return name_; }
  uint32_t size() const { return size_; }
  bool is_not_null() const { return not_null_; }
  bool is_auto_increment() const { return auto_increment_; }

  void set_value(const ole_variant& value) { ole_variant::operator=(value); }
  void set_name(const std::u16string& name) { name_ = name; }

 protected:
  uint32_t size_ = 0;  // characters for text, bytes for binary; 0: no limit
  std::u16string name_;
  bool not_null_ = false;
  bool auto_increment_ = false;
};

class udb_record {
 public:
  udb_record() = default;
  udb_record(const udb_record&) = delete;
  udb_record& operator=(const udb_record&) = delete;
  virtual ~udb_record() = default;

  void add(std::unique_ptr<udb_field> field);
  size_t size() const { return fields_.size(); }
  // Position i must exist: a missing one is an internal error.
  udb_field& operator[](size_t i);
  const udb_field& operator[](size_t i) const;

 protected:
  std::vector<std::unique_ptr<udb_field>> fields_;
};
