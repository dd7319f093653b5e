// The currency, decimal and text conversions of the Var*From* family.
#include <cmath>

#include "platform/oa_num.h"

using namespace platform::oa;

namespace {

HRESULT store_text(const std::string& ascii, BSTR* out) {
  if (!out) return E_INVALIDARG;
  std::u16string wide = widen(ascii);
  *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

extern "C" {

LCID GetUserDefaultLCID(void) { return LOCALE_EN_US; }
LCID GetSystemDefaultLCID(void) { return LOCALE_EN_US; }

HRESULT VarI4FromDec(const DECIMAL* pdecIn, LONG* plOut) {
  if (!pdecIn || !plOut) return E_INVALIDARG;
  if (pdecIn->scale > max_scale || (pdecIn->sign & ~DECIMAL_NEG)) return E_INVALIDARG;
  __int128 v;
  HRESULT hr = to_integer(from_decimal(*pdecIn), INT32_MIN, INT32_MAX, &v);
  if (SUCCEEDED(hr)) *plOut = static_cast<LONG>(v);
  return hr;
}

HRESULT VarR8FromCy(CY cyIn, DOUBLE* pdblOut) {
  if (!pdblOut) return E_INVALIDARG;
  *pdblOut = static_cast<double>(cyIn.int64) / 10000.0;
  return S_OK;
}

HRESULT VarR8FromDec(const DECIMAL* pdecIn, DOUBLE* pdblOut) {
  if (!pdecIn || !pdblOut) return E_INVALIDARG;
  if (pdecIn->scale > max_scale || (pdecIn->sign & ~DECIMAL_NEG)) return E_INVALIDARG;
  *pdblOut = to_double(from_decimal(*pdecIn));
  return S_OK;
}

HRESULT VarBstrFromDec(const DECIMAL* pdecIn, LCID, ULONG, BSTR* pbstrOut) {
  if (!pdecIn || !pbstrOut) return E_INVALIDARG;
  if (pdecIn->scale > max_scale || (pdecIn->sign & ~DECIMAL_NEG)) return E_INVALIDARG;
  return store_text(to_text(from_decimal(*pdecIn)), pbstrOut);
}

HRESULT VarBstrFromCy(CY cyIn, LCID, ULONG, BSTR* pbstrOut) {
  return store_text(to_text(from_currency(cyIn.int64)), pbstrOut);
}

HRESULT VarCyFromStr(LPCOLESTR strIn, LCID, ULONG, CY* pcyOut) {
  if (!strIn || !pcyOut) return E_INVALIDARG;
  parsed_number n;
  exact e;
  HRESULT hr = parse_number(strIn, &n);
  if (SUCCEEDED(hr) && n.radix) hr = DISP_E_OVERFLOW;
  if (SUCCEEDED(hr)) hr = to_exact(n, 4, &e);
  if (SUCCEEDED(hr)) hr = to_currency(e, &pcyOut->int64);
  return hr;
}

HRESULT VarDecFromStr(LPCOLESTR strIn, LCID, ULONG, DECIMAL* pdecOut) {
  if (!strIn || !pdecOut) return E_INVALIDARG;
  parsed_number n;
  exact e;
  HRESULT hr = parse_number(strIn, &n);
  if (SUCCEEDED(hr) && n.radix && n.radix_value > static_cast<unsigned long long>(INT64_MAX)) hr = DISP_E_OVERFLOW;
  if (SUCCEEDED(hr)) hr = to_exact(n, &e);
  if (SUCCEEDED(hr)) *pdecOut = to_decimal(e);
  return hr;
}

HRESULT VarDecFromCy(CY cyIn, DECIMAL* pdecOut) {
  if (!pdecOut) return E_INVALIDARG;
  *pdecOut = to_decimal(from_currency(cyIn.int64));
  return S_OK;
}

HRESULT VarCyFromDec(const DECIMAL* pdecIn, CY* pcyOut) {
  if (!pdecIn || !pcyOut) return E_INVALIDARG;
  if (pdecIn->scale > max_scale || (pdecIn->sign & ~DECIMAL_NEG)) return E_INVALIDARG;
  return to_currency(from_decimal(*pdecIn), &pcyOut->int64);
}

HRESULT VarCyFromR8(DOUBLE dblIn, CY* pcyOut) {
  if (!pcyOut) return E_INVALIDARG;
  return to_currency(dblIn, &pcyOut->int64);
}

HRESULT VarDecFromR8(DOUBLE dblIn, DECIMAL* pdecOut) {
  if (!pdecOut) return E_INVALIDARG;
  return decimal_from_double(dblIn, 15, pdecOut);
}

HRESULT VarDecFromI8(LONGLONG i64In, DECIMAL* pdecOut) {
  if (!pdecOut) return E_INVALIDARG;
  exact e;
  e.negative = i64In < 0;
  e.magnitude = i64In < 0 ? static_cast<u128>(-static_cast<__int128>(i64In)) : static_cast<u128>(i64In);
  *pdecOut = to_decimal(e);
  return S_OK;
}

HRESULT VarDecFromUI8(ULONGLONG ui64In, DECIMAL* pdecOut) {
  if (!pdecOut) return E_INVALIDARG;
  exact e;
  e.magnitude = ui64In;
  *pdecOut = to_decimal(e);
  return S_OK;
}

HRESULT VarR8FromStr(LPCOLESTR strIn, LCID, ULONG, DOUBLE* pdblOut) {
  if (!strIn || !pdblOut) return E_INVALIDARG;
  parsed_number n;
  HRESULT hr = parse_number(strIn, &n);
  if (SUCCEEDED(hr) && n.radix && n.radix_value > 0x7FFFFFFFu) hr = DISP_E_OVERFLOW;
  if (SUCCEEDED(hr)) hr = to_double(n, pdblOut);
  return hr;
}

HRESULT VarI4FromStr(LPCOLESTR strIn, LCID, ULONG, LONG* plOut) {
  if (!strIn || !plOut) return E_INVALIDARG;
  parsed_number n;
  HRESULT hr = parse_number(strIn, &n);
  if (FAILED(hr)) return hr;
  if (n.radix) {
    if (n.radix_value > 0xFFFFFFFFu) return DISP_E_OVERFLOW;
    *plOut = static_cast<LONG>(static_cast<ULONG>(n.radix_value));
    return S_OK;
  }
  exact e;
  __int128 v;
  hr = to_exact(n, 0, &e);
  if (SUCCEEDED(hr)) hr = to_integer(e, INT32_MIN, INT32_MAX, &v);
  if (SUCCEEDED(hr)) *plOut = static_cast<LONG>(v);
  return hr;
}

}  // extern "C"
