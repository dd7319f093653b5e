#include "ORA/ora_type.h"
#include "TK/tk_trace.h"

ora_number::ora_number(OCIParam* column, ub2 type_code) : ora_type(column, type_code) {
  int32_t precision = 0;
  sb1 scale = 0;
  column_attribute(column, OCI_ATTR_PRECISION, &precision);
  column_attribute(column, OCI_ATTR_SCALE, &scale);
  trace(1, "Prec=%d, scale=%d", precision, scale);
  scale_ = scale < 0 ? 0 : scale;
  precision_ = precision;
  refined_ = refine_number_type(precision_, scale_);
}

VARTYPE ora_number::refine_number_type(int32_t& precision, int32_t scale) {
  if (scale < 0) scale = 0;
  if (precision == 0 || precision > 38) return VT_R8;
  if (scale != 0) {
    if (precision == scale) ++precision;  // NUMBER(5,5) holds 0.xxxxx: one digit more
    return VT_DECIMAL;
  }
  trace(1, "Refine type mapping for int (prec=%d)", precision);
  if (precision < 3) return VT_I1;
  if (precision < 5) return VT_I2;
  // Up to nine digits fit a 32-bit integer; wider whole numbers would wrap,
  // so they travel as doubles (exact up to 15 digits).
  if (precision <= 9) return VT_I4;
  return VT_R8;
}

std::unique_ptr<t_ftd> ora_number::make_schema_field() const {
  trace(1, u"Got field '%s', type=%d, lenght=%d, nullable=%d", name_.c_str(), type_code_, size_, nullable_);
  int32_t kind = refined_ == VT_DECIMAL ? precision_ * 256 + scale_ : 0;
  return std::make_unique<t_ftd>(size_, name_, refined_, nullable_ == 0, false, ole_variant(), kind);
}

void ora_number::define(OCIStmt* statement, ub4 position) {
  define_buffer(statement, position, text_, sizeof text_, SQLT_STR);
}

void ora_number::to_variant(ole_variant& value) {
  text_[sizeof text_ / sizeof text_[0] - 1] = u'\0';
  trace(1, u"ora_number::to_variant(buf=%s)", text_);
  value.from_wstring(text_, refined_);
}

ora_float::ora_float(OCIParam* column, ub2 type_code)
    : ora_type(column, type_code), single_(type_code == SQLT_IBFLOAT) {}

void ora_float::define(OCIStmt* statement, ub4 position) {
  if (single_)
    define_buffer(statement, position, &float_, sizeof float_, SQLT_BFLOAT);
  else
    define_buffer(statement, position, &double_, sizeof double_, SQLT_BDOUBLE);
}

void ora_float::to_variant(ole_variant& value) {
  if (single_)
    value = ole_variant(float_);
  else
    value = ole_variant(double_);
}
