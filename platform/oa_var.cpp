// VariantInit, VariantClear, VariantCopy and VariantChangeType(Ex).
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/oa_num.h"

using namespace platform::oa;

namespace {

bool is_plain(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_DATE:
    case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_UNKNOWN: case VT_DECIMAL: case VT_I1:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8: case VT_INT: case VT_UINT:
      return true;
    default:
      return false;
  }
}

bool is_valid_type(VARTYPE vt) {
  if (vt & VT_BYREF) return is_plain(vt & VT_TYPEMASK) || (vt & VT_TYPEMASK) == VT_VARIANT;
  if (vt & VT_ARRAY) return is_plain(vt & VT_TYPEMASK) || (vt & VT_TYPEMASK) == VT_VARIANT;
  return is_plain(vt);
}

// What a numeric source holds, in the widest form that keeps it exactly.
struct number {
  enum kind { integer, decimal, real } kind = integer;
  __int128 whole = 0;
  exact dec;
  double value = 0;
  int real_digits = 15;  // significant digits a DECIMAL keeps of it
};

bool numeric_source(const VARIANT& v, number* n) {
  switch (v.vt) {
    case VT_EMPTY: n->whole = 0; return true;
    case VT_I1: n->whole = v.cVal; return true;
    case VT_UI1: n->whole = v.bVal; return true;
    case VT_I2: n->whole = v.iVal; return true;
    case VT_UI2: n->whole = v.uiVal; return true;
    case VT_I4: n->whole = v.lVal; return true;
    case VT_INT: n->whole = v.intVal; return true;
    case VT_UI4: n->whole = v.ulVal; return true;
    case VT_UINT: n->whole = v.uintVal; return true;
    case VT_I8: n->whole = v.llVal; return true;
    case VT_UI8: n->whole = v.ullVal; return true;
    case VT_BOOL: n->whole = v.boolVal; return true;
    case VT_ERROR: n->whole = v.scode; return true;
    case VT_CY: n->kind = number::decimal; n->dec = from_currency(v.cyVal.int64); return true;
    case VT_DECIMAL: n->kind = number::decimal; n->dec = from_decimal(v.decVal); return true;
    case VT_R4: n->kind = number::real; n->value = v.fltVal; n->real_digits = 7; return true;
    case VT_R8: n->kind = number::real; n->value = v.dblVal; return true;
    case VT_DATE: n->kind = number::real; n->value = v.date; return true;
    default: return false;
  }
}

// Hexadecimal and octal text fills a type of `bits` bits as its bit pattern.
HRESULT radix_to_integer(unsigned long long value, int bits, bool is_signed, __int128* out) {
  if (bits < 64 && value >> bits) return DISP_E_OVERFLOW;
  if (is_signed && bits < 64 && (value >> (bits - 1)))
    *out = static_cast<__int128>(value) - (static_cast<__int128>(1) << bits);
  else if (is_signed && bits == 64)
    *out = static_cast<long long>(value);
  else
    *out = value;
  return S_OK;
}

HRESULT text_source(const VARIANT& v, parsed_number* n) {
  return parse_number(v.bstrVal ? v.bstrVal : u"", n);
}

struct int_range {
  __int128 lo, hi;
  int bits;
  bool is_signed;
};

bool range_of(VARTYPE vt, int_range* r) {
  switch (vt) {
    case VT_I1: *r = {INT8_MIN, INT8_MAX, 8, true}; return true;
    case VT_UI1: *r = {0, UINT8_MAX, 8, false}; return true;
    case VT_I2: *r = {INT16_MIN, INT16_MAX, 16, true}; return true;
    case VT_UI2: *r = {0, UINT16_MAX, 16, false}; return true;
    case VT_I4: case VT_INT: *r = {INT32_MIN, INT32_MAX, 32, true}; return true;
    case VT_UI4: case VT_UINT: *r = {0, UINT32_MAX, 32, false}; return true;
    case VT_I8: *r = {INT64_MIN, INT64_MAX, 64, true}; return true;
    case VT_UI8: *r = {0, UINT64_MAX, 64, false}; return true;
    default: return false;
  }
}

void store_integer(VARIANT* out, VARTYPE vt, __int128 v) {
  out->vt = vt;
  switch (vt) {
    case VT_I1: out->cVal = static_cast<CHAR>(v); break;
    case VT_UI1: out->bVal = static_cast<BYTE>(v); break;
    case VT_I2: out->iVal = static_cast<SHORT>(v); break;
    case VT_UI2: out->uiVal = static_cast<USHORT>(v); break;
    case VT_I4: out->lVal = static_cast<LONG>(v); break;
    case VT_INT: out->intVal = static_cast<INT>(v); break;
    case VT_UI4: out->ulVal = static_cast<ULONG>(v); break;
    case VT_UINT: out->uintVal = static_cast<UINT>(v); break;
    case VT_I8: out->llVal = static_cast<LONGLONG>(v); break;
    case VT_UI8: out->ullVal = static_cast<ULONGLONG>(v); break;
    default: break;
  }
}

int width_of(VARTYPE vt) {
  int_range r;
  return range_of(vt, &r) ? r.bits : vt == VT_BOOL ? 16 : 0;
}

// Between the signed and unsigned types of one width the bits are kept
// (I1 -1 becomes UI1 255), and a BOOL fills an unsigned type with its bits.
HRESULT fits_integer(VARTYPE from, __int128 v, const int_range& r, __int128* out) {
  if (v >= r.lo && v <= r.hi) {
    *out = v;
    return S_OK;
  }
  bool same_width = width_of(from) == r.bits && r.bits < 64;
  bool bool_to_unsigned = from == VT_BOOL && !r.is_signed && v < 0;
  if (same_width || bool_to_unsigned) {
    __int128 span = static_cast<__int128>(1) << r.bits;
    __int128 wrapped = ((v % span) + span) % span;
    if (r.is_signed && wrapped > r.hi) wrapped -= span;
    *out = wrapped;
    return S_OK;
  }
  return DISP_E_OVERFLOW;
}

HRESULT to_integer_type(const VARIANT& src, VARTYPE vt, VARIANT* out) {
  int_range r;
  range_of(vt, &r);
  __int128 v = 0;
  HRESULT hr;
  number n;
  if (src.vt == VT_BSTR) {
    parsed_number p;
    exact e;
    hr = text_source(src, &p);
    if (SUCCEEDED(hr) && p.radix) hr = radix_to_integer(p.radix_value, r.bits, r.is_signed, &v);
    else if (SUCCEEDED(hr) && SUCCEEDED(hr = to_exact(p, 0, &e))) hr = to_integer(e, r.lo, r.hi, &v);
  } else if (numeric_source(src, &n)) {
    v = n.whole;
    if (n.kind == number::integer) hr = fits_integer(src.vt, n.whole, r, &v);
    else if (n.kind == number::decimal) hr = to_integer(n.dec, r.lo, r.hi, &v);
    else hr = to_integer(n.value, r.lo, r.hi, &v);
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  if (SUCCEEDED(hr)) store_integer(out, vt, v);
  return hr;
}

bool equals_no_case(const OLECHAR* text, const char* word) {
  for (; *word; ++text, ++word) {
    OLECHAR c = *text;
    if (c >= u'A' && c <= u'Z') c = static_cast<OLECHAR>(c - u'A' + u'a');
    if (c != static_cast<OLECHAR>(*word)) return false;
  }
  return *text == 0;
}

HRESULT to_bool(const VARIANT& src, VARIANT* out) {
  number n;
  bool truth = false;
  if (src.vt == VT_BSTR) {
    const OLECHAR* text = src.bstrVal ? src.bstrVal : u"";
    if (equals_no_case(text, "true") || std::u16string_view(text) == u"#TRUE#") {
      truth = true;
    } else if (equals_no_case(text, "false") || std::u16string_view(text) == u"#FALSE#") {
      truth = false;
    } else {
      parsed_number p;
      double d;
      HRESULT hr = parse_number(text, &p);
      if (SUCCEEDED(hr) && p.radix && p.radix_value > 0x7FFFFFFFu) hr = DISP_E_OVERFLOW;
      if (SUCCEEDED(hr)) hr = to_double(p, &d);
      if (FAILED(hr)) return hr;
      truth = d != 0;
    }
  } else if (numeric_source(src, &n)) {
    if (n.kind == number::integer) truth = n.whole != 0;
    else if (n.kind == number::decimal) truth = n.dec.magnitude != 0;
    else truth = n.value != 0;
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  out->vt = VT_BOOL;
  out->boolVal = truth ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT to_real(const VARIANT& src, double* d) {
  number n;
  if (src.vt == VT_BSTR) {
    parsed_number p;
    HRESULT hr = text_source(src, &p);
    if (SUCCEEDED(hr) && p.radix && p.radix_value > 0x7FFFFFFFu) hr = DISP_E_OVERFLOW;
    if (SUCCEEDED(hr)) hr = to_double(p, d);
    return hr;
  }
  if (!numeric_source(src, &n)) return DISP_E_TYPEMISMATCH;
  if (n.kind == number::integer) *d = static_cast<double>(n.whole);
  else if (n.kind == number::decimal) *d = to_double(n.dec);
  else *d = n.value;
  return S_OK;
}

HRESULT to_r8(const VARIANT& src, VARIANT* out) {
  double d;
  HRESULT hr = to_real(src, &d);
  if (FAILED(hr)) return hr;
  out->vt = VT_R8;
  out->dblVal = d;
  return S_OK;
}

HRESULT to_r4(const VARIANT& src, VARIANT* out) {
  double d;
  HRESULT hr = to_real(src, &d);
  if (FAILED(hr)) return hr;
  if (std::fabs(d) > FLT_MAX && !std::isinf(d)) return DISP_E_OVERFLOW;
  out->vt = VT_R4;
  out->fltVal = static_cast<float>(d);
  return S_OK;
}

HRESULT to_cy(const VARIANT& src, VARIANT* out) {
  number n;
  HRESULT hr;
  LONGLONG cy = 0;
  if (src.vt == VT_BSTR) {
    hr = VarCyFromStr(src.bstrVal ? src.bstrVal : u"", LOCALE_USER_DEFAULT, 0, &out->cyVal);
    if (SUCCEEDED(hr)) out->vt = VT_CY;
    return hr;
  }
  if (!numeric_source(src, &n)) return DISP_E_TYPEMISMATCH;
  if (n.kind == number::integer) {
    if (n.whole <= -currency_whole_limit || n.whole >= currency_whole_limit) return DISP_E_OVERFLOW;
    cy = static_cast<LONGLONG>(n.whole * 10000);
    hr = S_OK;
  } else if (n.kind == number::decimal) {
    hr = to_currency(n.dec, &cy);
  } else {
    hr = to_currency(n.value, &cy);
  }
  if (SUCCEEDED(hr)) {
    out->vt = VT_CY;
    out->cyVal.int64 = cy;
  }
  return hr;
}

HRESULT to_dec(const VARIANT& src, VARIANT* out) {
  number n;
  DECIMAL d;
  HRESULT hr = S_OK;
  if (src.vt == VT_BSTR) {
    hr = VarDecFromStr(src.bstrVal ? src.bstrVal : u"", LOCALE_USER_DEFAULT, 0, &d);
  } else if (!numeric_source(src, &n)) {
    return DISP_E_TYPEMISMATCH;
  } else if (src.vt == VT_BOOL) {
    // A true BOOL is -1 whatever its bits.
    exact e;
    e.negative = n.whole != 0;
    e.magnitude = n.whole != 0;
    d = to_decimal(e);
  } else if (n.kind == number::integer) {
    exact e;
    e.negative = n.whole < 0;
    e.magnitude = static_cast<u128>(n.whole < 0 ? -n.whole : n.whole);
    d = to_decimal(e);
  } else if (n.kind == number::decimal) {
    d = to_decimal(n.dec);
  } else {
    hr = decimal_from_double(n.value, n.real_digits, &d);
  }
  if (SUCCEEDED(hr)) {
    out->decVal = d;
    out->vt = VT_DECIMAL;
  }
  return hr;
}

constexpr double before_first_date = -657435.0;  // the day before 0100-01-01
constexpr double past_last_date = 2958466.0;  // 10000-01-01

HRESULT to_date(const VARIANT& src, LCID lcid, USHORT flags, VARIANT* out) {
  double d;
  if (src.vt == VT_BSTR) {
    HRESULT hr = VarDateFromStr(src.bstrVal ? src.bstrVal : u"", lcid, flags & VARIANT_NOUSEROVERRIDE ? LOCALE_NOUSEROVERRIDE : 0, &d);
    if (FAILED(hr)) return hr;
  } else {
    HRESULT hr = to_real(src, &d);
    if (FAILED(hr)) return hr;
    // Only doubles and integers are held to the date range; R4, CY and DECIMAL
    // values pass unchecked, as oleaut32 lets them.
    bool checked = src.vt != VT_R4 && src.vt != VT_CY && src.vt != VT_DECIMAL;
    if (checked && !(d > before_first_date && d < past_last_date)) return DISP_E_OVERFLOW;
  }
  out->vt = VT_DATE;
  out->date = d;
  return S_OK;
}

HRESULT store_text(const std::string& ascii, VARIANT* out) {
  std::u16string wide = widen(ascii);
  BSTR s = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!s) return E_OUTOFMEMORY;
  out->vt = VT_BSTR;
  out->bstrVal = s;
  return S_OK;
}

std::string integer_text(__int128 v) {
  bool negative = v < 0;
  u128 m = static_cast<u128>(negative ? -v : v);
  exact e;
  e.magnitude = m;
  e.negative = negative;
  return to_text(e);
}

HRESULT to_bstr(const VARIANT& src, LCID lcid, USHORT flags, VARIANT* out) {
  switch (src.vt) {
    case VT_EMPTY: return store_text("", out);
    case VT_BOOL:
      if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) return store_text(src.boolVal ? "True" : "False", out);
      return store_text(std::to_string(src.boolVal), out);
    case VT_R4: return store_text(format_double(src.fltVal, 7), out);
    case VT_R8: return store_text(format_double(src.dblVal, 15), out);
    case VT_CY: return store_text(to_text(from_currency(src.cyVal.int64)), out);
    case VT_DECIMAL: return store_text(to_text(from_decimal(src.decVal)), out);
    case VT_DATE: {
      BSTR s = nullptr;
      HRESULT hr = VarBstrFromDate(src.date, lcid, 0, &s);
      if (FAILED(hr)) return hr;
      out->vt = VT_BSTR;
      out->bstrVal = s;
      return S_OK;
    }
    default: {
      number n;
      if (!numeric_source(src, &n) || n.kind != number::integer) return DISP_E_TYPEMISMATCH;
      return store_text(integer_text(n.whole), out);
    }
  }
}

// The value a VT_BYREF source points at, as a VARIANT that owns nothing.
HRESULT dereference(const VARIANT& src, VARIANT* plain) {
  VARTYPE base = src.vt & VT_TYPEMASK;
  if (!src.byref) return E_INVALIDARG;
  if (base == VT_VARIANT) {
    *plain = *src.pvarVal;
    return (plain->vt & VT_BYREF) ? DISP_E_TYPEMISMATCH : S_OK;
  }
  VariantInit(plain);
  plain->vt = src.vt & ~VT_BYREF;
  if (src.vt & VT_ARRAY) { plain->parray = *src.pparray; return S_OK; }
  switch (base) {
    case VT_DECIMAL: plain->decVal = *src.pdecVal; plain->vt = VT_DECIMAL; return S_OK;
    case VT_I1: case VT_UI1: std::memcpy(&plain->bVal, src.byref, 1); return S_OK;
    case VT_I2: case VT_UI2: case VT_BOOL: std::memcpy(&plain->iVal, src.byref, 2); return S_OK;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR:
      std::memcpy(&plain->lVal, src.byref, 4); return S_OK;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: std::memcpy(&plain->llVal, src.byref, 8); return S_OK;
    case VT_BSTR: plain->bstrVal = *src.pbstrVal; return S_OK;
    case VT_UNKNOWN: case VT_DISPATCH: plain->punkVal = *src.ppunkVal; return S_OK;
    default: return DISP_E_BADVARTYPE;
  }
}

HRESULT convert(const VARIANT& src, LCID lcid, USHORT flags, VARTYPE vt, VARIANT* out) {
  if (src.vt == vt) return VariantCopy(out, &src);
  if (vt == VT_EMPTY) return S_OK;
  if (vt == VT_NULL) {
    out->vt = VT_NULL;
    return S_OK;
  }
  if (src.vt == VT_NULL) return DISP_E_TYPEMISMATCH;
  if ((src.vt & VT_ARRAY) || (vt & (VT_ARRAY | VT_BYREF))) return DISP_E_TYPEMISMATCH;
  int_range r;
  if (range_of(vt, &r)) return to_integer_type(src, vt, out);
  switch (vt) {
    case VT_BOOL: return to_bool(src, out);
    case VT_R4: return to_r4(src, out);
    case VT_R8: return to_r8(src, out);
    case VT_CY: return to_cy(src, out);
    case VT_DECIMAL: return to_dec(src, out);
    case VT_DATE: return to_date(src, lcid, flags, out);
    case VT_BSTR: return to_bstr(src, lcid, flags, out);
    case VT_ERROR: return DISP_E_TYPEMISMATCH;
    default: return DISP_E_TYPEMISMATCH;
  }
}

}  // namespace

extern "C" {

void VariantInit(VARIANTARG* pvarg) {
  if (!pvarg) return;
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  VARTYPE vt = pvarg->vt;
  if (!is_valid_type(vt)) return DISP_E_BADVARTYPE;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && pvarg->punkVal) {
      pvarg->punkVal->Release();
    }
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  if (!is_valid_type(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  VARIANT copy = *pvargSrc;
  VARTYPE vt = pvargSrc->vt;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
    } else if (vt == VT_BSTR && pvargSrc->bstrVal) {
      copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<const char*>(pvargSrc->bstrVal),
                                           SysStringByteLen(pvargSrc->bstrVal));
      if (!copy.bstrVal) hr = E_OUTOFMEMORY;
    } else if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && pvargSrc->punkVal) {
      pvargSrc->punkVal->AddRef();
    }
  }
  if (FAILED(hr)) return hr;
  *pvargDest = copy;
  return S_OK;
}

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid, USHORT wFlags,
                            VARTYPE vt) {
  if (!pvargDest || !pvarSrc) return E_INVALIDARG;
  if (!is_valid_type(pvarSrc->vt)) return DISP_E_BADVARTYPE;
  // VARIANT and RECORD are types, just none a value can be changed to.
  if (!is_valid_type(vt) && (vt & VT_TYPEMASK) != VT_VARIANT && vt != VT_RECORD) return DISP_E_BADVARTYPE;
  VARIANT source;
  HRESULT hr = S_OK;
  if (pvarSrc->vt & VT_BYREF) hr = dereference(*pvarSrc, &source);
  else source = *pvarSrc;
  if (FAILED(hr)) return hr;
  VARIANT result;
  VariantInit(&result);
  hr = convert(source, lcid, wFlags, vt, &result);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  // The source may be the destination: the result owns copies of its own.
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *pvargDest = result;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
  return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}

}  // extern "C"
