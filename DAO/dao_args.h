#pragma once
// Arguments of DAO members, built as DAO expects them. A VARIANT made here
// owns nothing: a text argument borrows the BSTR of a dao_bstr that must
// outlive the call, and a result VARIANT is cleared by dao_result_variant.
#include "DAO/dao_bstr.h"
#include "platform/oleauto.h"

// What an omitted optional argument is, as Automation passes it.
inline constexpr SCODE dao_param_not_found = static_cast<SCODE>(0x80020004);

inline VARIANT dao_arg_i2(SHORT value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I2;
  v.iVal = value;
  return v;
}

inline VARIANT dao_arg_i4(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

inline VARIANT dao_arg_bool(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

inline VARIANT dao_arg_text(const dao_bstr& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text;
  return v;
}

inline VARIANT dao_arg_missing() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = dao_param_not_found;
  return v;
}

// A VARIANT received from DAO, cleared when it goes out of scope.
class dao_result_variant {
 public:
  dao_result_variant() { VariantInit(&value_); }
  dao_result_variant(const dao_result_variant&) = delete;
  dao_result_variant& operator=(const dao_result_variant&) = delete;
  ~dao_result_variant() { VariantClear(&value_); }

  VARIANT* address() {
    VariantClear(&value_);
    return &value_;
  }
  const VARIANT& get() const { return value_; }

 private:
  VARIANT value_;
};
