#include "UDB/udb_fld.h"

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

udb_field::udb_field() { trace(1, "udb_field::empty ctor"); }

udb_field::udb_field(const std::u16string& name, uint32_t size, const ole_variant& value,
                     bool not_null, bool auto_increment)
    : ole_variant(value), size_(size), name_(name), not_null_(not_null), auto_increment_(auto_increment) {
  trace(1, "udb_field::ctor #2");
  trace(1, u"name=%s, size=%d", name_.c_str(), static_cast<int>(size_));
}

void udb_record::add(std::unique_ptr<udb_field> field) {
  TK_CHECK(field != nullptr, "udb_fld");
  fields_.push_back(std::move(field));
}

udb_field& udb_record::operator[](size_t i) {
  TK_CHECK(i < fields_.size(), "udb_fld");
  return *fields_[i];
}

const udb_field& udb_record::operator[](size_t i) const {
  TK_CHECK(i < fields_.size(), "udb_fld");
  return *fields_[i];
}
