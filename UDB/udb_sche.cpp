#include "UDB/udb_sche.h"

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "UDB/udb_fld.h"
#include "platform/collate.h"

namespace {

// Source types that count as numbers. VT_INT and VT_UINT are accepted by a
// numeric destination but are not numbers on the source side.
bool is_numeric_source(VARTYPE type) {
  switch (type) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_BOOL: case VT_DECIMAL:
    case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
      return true;
    default:
      return false;
  }
}

bool is_numeric_destination(VARTYPE type) {
  switch (type) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_BOOL: case VT_DECIMAL:
      return true;
    default:
      return type >= VT_I1 && type <= VT_UINT;
  }
}

bool is_text(VARTYPE type) { return type == VT_BSTR || type == VT_LPSTR || type == VT_LPWSTR; }

bool is_binary(VARTYPE type) { return type == VT_BLOB || type == VT_BLOB_OBJECT || type == VT_BINARY_ARRAY; }

// A destination of size 0 takes any length.
bool size_fits(uint32_t source, uint32_t destination) { return destination == 0 || destination >= source; }

}  // namespace

t_ftd::t_ftd(const udb_field& field, const ole_variant& default_value, int32_t default_kind)
    : t_ftd(field.size(), field.name(), field.get_type(), field.is_not_null(), field.is_auto_increment(),
            default_value, default_kind) {}

t_ftd::t_ftd(uint32_t size, const std::u16string& name, VARTYPE type, bool not_null, bool auto_increment,
             const ole_variant& default_value, int32_t default_kind)
    : size(size), name(name), type(type), auto_increment(auto_increment), not_null(not_null),
      default_value(default_value), default_kind(default_kind) {
  trace(1, u"Got field '%s', vartype=%d, size=%d, b_not_null=%d", this->name.c_str(), static_cast<int>(type),
        static_cast<int>(size), static_cast<int>(not_null));
}

bool t_ftd::operator==(const t_ftd& other) const {
  trace(1, "t_ftd::operator ==");
  if ((type == VT_CY && other.type == VT_DECIMAL) || (type == VT_DECIMAL && other.type == VT_CY)) return true;
  if (type != other.type) return false;
  return type != VT_BSTR || size == other.size;
}

bool t_ftd::conform_to(const t_ftd& destination) const {
  trace(1, "t_ftd::conform_to");
  if (*this == destination) return true;
  const VARTYPE d = destination.type;
  if (is_numeric_destination(d)) return is_numeric_source(type);
  if (d == VT_DATE) return type == VT_DATE || (type == VT_BSTR && size == 19);
  if (is_text(d)) {
    if (is_text(type)) return size_fits(size, destination.size);
    return !is_binary(type);
  }
  if (is_binary(d)) {
    if (is_text(type) || is_binary(type)) return size_fits(size, destination.size);
    return true;
  }
  return false;
}

udb_schema::udb_schema(bool owns_fields) : owns_fields_(owns_fields) {}

udb_schema::~udb_schema() {
  if (owns_fields_) {
    for (t_ftd* field : fields_) delete field;
  }
}

void udb_schema::add(std::unique_ptr<t_ftd> field) {
  TK_CHECK(owns_fields_ && field != nullptr, "udb_sche");
  fields_.push_back(field.get());  // the schema owns it only once the push has succeeded
  field.release();
}

void udb_schema::add(t_ftd& field) {
  TK_CHECK(!owns_fields_, "udb_sche");
  fields_.push_back(&field);
}

t_ftd& udb_schema::operator[](size_t i) {
  TK_CHECK(i < fields_.size(), "udb_sche");
  return *fields_[i];
}

const t_ftd& udb_schema::operator[](size_t i) const {
  TK_CHECK(i < fields_.size(), "udb_sche");
  return *fields_[i];
}

bool udb_schema::conform_to(const udb_schema& destination) const {
  trace(1, "udb_schema::conform_to");
  if (size() != destination.size()) {
    trace(2, "Tables are not conformed: src_size=%d, dest_size=%d", static_cast<int>(size()),
          static_cast<int>(destination.size()));
    return false;
  }
  for (size_t i = 0; i < size(); ++i) {
    const t_ftd& s = *fields_[i];
    const t_ftd& d = *destination.fields_[i];
    if (!s.conform_to(d)) {
      trace(2, "Column #%d doesn't conform (src_vt=%d, src_size=%d, dest_vt=%d, dest_size=%d)",
            static_cast<int>(i + 1), static_cast<int>(s.type), static_cast<int>(s.size),
            static_cast<int>(d.type), static_cast<int>(d.size));
      return false;
    }
  }
  return true;
}

bool udb_schema::find_field(const std::u16string& name) const {
  trace(1, u"udb_schema::find_field(%s)", name.c_str());
  for (const t_ftd* field : fields_) {
    trace(1, u"Processing %s", field->name.c_str());
    if (platform::equal_ignore_case(field->name, name)) return true;
  }
  return false;
}

const t_ftd* udb_schema::find(const std::u16string& name) const {
  trace(1, u"udb_schema::find_field(%s)", name.c_str());
  for (const t_ftd* field : fields_) {
    if (platform::equal_ignore_case(field->name, name)) return field;
  }
  return nullptr;
}

const t_ftd& udb_schema::find_field(const std::u16string& name, must_exist_t) const {
  const t_ftd* field = find(name);
  TK_CHECK(field != nullptr, "udb_sche");
  return *field;
}

t_ftd& udb_schema::find_field(const std::u16string& name, must_exist_t) {
  const t_ftd* field = find(name);
  TK_CHECK(field != nullptr, "udb_sche");
  return const_cast<t_ftd&>(*field);
}
