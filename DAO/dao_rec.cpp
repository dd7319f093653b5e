#include "DAO/dao_rec.h"

#include "DAO/dao_args.h"
#include "DAO/dao_excp.h"
#include "DAO/dao_type.h"
#include "OLE/ole_misc.h"
#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

namespace {
constexpr char zero_day[] = "1899-12-30";
constexpr char no_date[] = "0000-00-00";

// Access's zero day stands for "no date": a date and time on it becomes a
// time, the zero day alone becomes midnight.
std::string without_zero_day(std::string text) {
  const size_t at = text.find(zero_day);
  if (at == std::string::npos) return text;
  trace(1, "Fake date has been found");
  if (text.size() > sizeof zero_day - 1) return text.replace(at, sizeof zero_day - 1, no_date);
  trace(1, "Transform pure fake date to pure time");
  return "00:00:00";
}
}  // namespace

dao_field::dao_field(_Field* field) {
  trace(1, "dao_field::ctor");
  TK_CHECK(field != nullptr, "dao_rec");
  field->AddRef();
  field_ = ole_com_ptr<_Field>(field);

  dao_bstr name;
  dao_check(field_->get_Name(name.address()));
  name_ = name.to_wstring();
  LONG size = 0;
  dao_check(field_->get_Size(&size));
  size_ = static_cast<uint32_t>(size);
  VARIANT_BOOL required = VARIANT_FALSE;
  dao_check(field_->get_Required(&required));
  not_null_ = required != VARIANT_FALSE;
  LONG attributes = 0;
  dao_check(field_->get_Attributes(&attributes));
  auto_increment_ = (attributes & dbAutoIncrField) != 0;

  // A field of a table definition or a query has no value to read: it stays
  // empty, and its type is then the DAO type's.
  dao_result_variant value;
  if (FAILED(field_->get_Value(value.address()))) return;
  if (value.get().vt == VT_NULL) trace(1, "*** NULL *** ");
  if (value.get().vt == VT_DATE) trace(1, "Special processing for VT_DATE");
  // The value's SYSTEMTIME is filled from the date number as it is copied.
  set_value(ole_variant(value.get()));
  trace(1, "Got DAO field: %s", to_string().c_str());
}

std::string dao_field::to_string() const {
  std::string text = udb_field::to_string();
  return ole_variant::get_type() == VT_DATE ? without_zero_day(std::move(text)) : text;
}

std::u16string dao_field::to_wstring() const {
  if (ole_variant::get_type() == VT_DATE) return tk_from_ansi(to_string());
  return udb_field::to_wstring();
}

VARTYPE dao_field::get_type() const {
  trace(1, "dao_field::get_type");
  const VARTYPE own = ole_variant::get_type();
  if (own != VT_EMPTY) {
    trace(1, "Use ole_variant::get_type");
    trace(1, "vt1=%08X", static_cast<unsigned>(own));
    return own;
  }
  trace(1, "Use DAO methods to extract field type");
  SHORT dao_type = 0;
  dao_check(field_->get_Type(&dao_type));
  const VARTYPE mapped = dao_value_type(dao_type);
  trace(1, "vt2=%08X", static_cast<unsigned>(mapped));
  return mapped;
}

dao_record::dao_record(Fields* fields) {
  TK_CHECK(fields != nullptr, "dao_rec");
  fields->AddRef();
  fields_collection_ = ole_com_ptr<Fields>(fields);
  SHORT count = 0;
  dao_check(fields->get_Count(&count));
  for (SHORT i = 0; i < count; ++i) {
    ole_com_ptr<_Field> field;
    dao_check(fields->get_Item(dao_arg_i4(i), field.address()));
    dao_require(field);
    add(std::make_unique<dao_field>(field.get()));
  }
  trace(1, "dao_record::dao_record: n_refs = %d", static_cast<int>(ole_check_com_ptr(fields)));
}
