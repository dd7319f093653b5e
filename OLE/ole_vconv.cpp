// Type changes in place: change_type.
#include <cstring>
#include <limits>

#include "OLE/ole_cnum.h"
#include "OLE/ole_date.h"
#include "OLE/ole_misc.h"
#include "OLE/ole_vari.h"
#include "TK/tk_trace.h"

namespace {
constexpr int64_t kCyScale = 10000;

template <class T>
bool fits(__int128 value) {
  return value >= static_cast<__int128>(std::numeric_limits<T>::min()) &&
         value <= static_cast<__int128>(std::numeric_limits<T>::max());
}

// Currency to a whole number, the half rounded away from zero.
int64_t round_currency(int64_t scaled) {
  int64_t whole = scaled / kCyScale;
  int64_t dropped = scaled % kCyScale;
  if (dropped >= kCyScale / 2) ++whole;
  else if (dropped <= -kCyScale / 2) --whole;
  return whole;
}

template <class T>
std::vector<BYTE> bytes_of(const T& value) {
  std::vector<BYTE> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}
}  // namespace

void ole_variant::change_type(VARTYPE type) {
  VARTYPE old = var_.vt;
  trace(1, "ole_variant::change_type(old=%d,new=%d)", old, type);
  if (type == old || old == VT_EMPTY || old == VT_NULL) return;
  if (ole_is_binary_type(old) && ole_is_binary_type(type)) return;

  if (ole_is_binary_type(type) && (old == VT_I8 || old == VT_UI8 || old == VT_DATE)) {
    change_to_binary(type);
    return;
  }
  if (old == VT_I8 || old == VT_UI8) {
    change_from_hyper(type);
    return;
  }
  if (old == VT_DATE) {
    if (type != VT_BSTR) throw ole_cast_exception();
    attach_wstring(ole_date(time_).to_wstring());
    return;
  }
  if (type == VT_I8 || type == VT_UI8) {
    change_to_hyper(type);
    return;
  }
  if (ole_is_binary_type(type)) {
    change_to_binary(type);
    return;
  }
  if (type == VT_DATE) {
    // Only a full "YYYY-MM-DD HH:MM:SS" text is taken for a date.
    if (old != VT_BSTR || !var_.bstrVal || SysStringLen(var_.bstrVal) != 19) throw ole_cast_exception();
    from_wstring(std::u16string(var_.bstrVal, 19), VT_DATE);
    return;
  }
  if (old == VT_DECIMAL && type == VT_R8) {
    // The conversion VariantChangeType makes of this pair, without its
    // dispatch; a decimal it would refuse still goes the general way.
    double number;
    if (SUCCEEDED(VarR8FromDec(&var_.decVal, &number))) {
      hyper_ = 0;
      uhyper_ = 0;
      VariantInit(&var_);
      var_.vt = VT_R8;
      var_.dblVal = number;
      return;
    }
  }
  VARIANT result;
  VariantInit(&result);
  if (FAILED(VariantChangeType(&result, &var_, 0, type))) {
    VariantClear(&result);
    throw ole_cast_exception();
  }
  clear();
  var_ = result;
}

// From VT_I8/VT_UI8. Narrower integer types take the value when it fits; a
// value that does not fit is refused rather than cut to its low bits.
void ole_variant::change_from_hyper(VARTYPE type) {
  bool is_signed = var_.vt == VT_I8;
  __int128 v = is_signed ? static_cast<__int128>(hyper_) : static_cast<__int128>(uhyper_);
  VARIANT result;
  VariantInit(&result);
  switch (type) {
    case VT_I2: if (!fits<int16_t>(v)) throw ole_cast_exception(); result.iVal = static_cast<SHORT>(v); break;
    case VT_UI2: if (!fits<uint16_t>(v)) throw ole_cast_exception(); result.uiVal = static_cast<USHORT>(v); break;
    case VT_BOOL: result.boolVal = v != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_I4:
    case VT_INT: if (!fits<int32_t>(v)) throw ole_cast_exception(); result.lVal = static_cast<LONG>(v); break;
    case VT_UI4:
    case VT_UINT:
      if (!fits<uint32_t>(v)) throw ole_cast_exception();
      result.ulVal = static_cast<ULONG>(v);
      type = VT_UINT;
      break;
    case VT_I1: if (!fits<int8_t>(v)) throw ole_cast_exception(); result.cVal = static_cast<CHAR>(v); break;
    case VT_UI1: if (!fits<uint8_t>(v)) throw ole_cast_exception(); result.bVal = static_cast<BYTE>(v); break;
    case VT_R4: result.fltVal = is_signed ? static_cast<float>(hyper_) : static_cast<float>(uhyper_); break;
    case VT_R8: result.dblVal = is_signed ? static_cast<double>(hyper_) : static_cast<double>(uhyper_); break;
    case VT_CY:
    case VT_DECIMAL: {
      __int128 scaled = v * kCyScale;
      if (!fits<int64_t>(scaled)) {
        // Beyond the currency range: only a decimal can take the value, and exactly.
        HRESULT hr = type != VT_DECIMAL ? DISP_E_OVERFLOW
                     : is_signed       ? VarDecFromI8(hyper_, &result.decVal)
                                       : VarDecFromUI8(uhyper_, &result.decVal);
        if (FAILED(hr)) throw ole_cast_exception();
        break;
      }
      CY currency;
      currency.int64 = static_cast<int64_t>(scaled);
      if (type == VT_CY) {
        result.cyVal = currency;
      } else if (FAILED(VarDecFromCy(currency, &result.decVal))) {
        throw ole_cast_exception();
      }
      clear();
      if (is_signed) hyper_ = currency.int64;
      else uhyper_ = static_cast<uint64_t>(currency.int64);
      result.vt = type;
      var_ = result;
      return;
    }
    case VT_BSTR: {
      std::string text = is_signed ? ole_c_format("%lld", static_cast<long long>(hyper_))
                                   : ole_c_format("%llu", static_cast<unsigned long long>(uhyper_));
      attach_string(text);
      return;
    }
    case VT_I8:
    case VT_UI8: {
      uint64_t bits = is_signed ? static_cast<uint64_t>(hyper_) : uhyper_;
      clear();
      hyper_ = static_cast<int64_t>(bits);
      uhyper_ = bits;
      var_.vt = type;
      return;
    }
    default:
      throw ole_cast_exception();
  }
  clear();
  result.vt = type;
  var_ = result;
}

// To VT_I8/VT_UI8: integers widened, reals truncated toward zero, currency
// and decimal rounded to the nearest whole number.
void ole_variant::change_to_hyper(VARTYPE type) {
  int64_t value = 0;
  uint64_t unsigned_value = 0;
  bool from_unsigned = false;
  switch (var_.vt) {
    case VT_I2: value = var_.iVal; break;
    case VT_BOOL: value = var_.boolVal; break;
    case VT_I4: value = var_.lVal; break;
    case VT_INT: value = var_.intVal; break;
    case VT_I1: value = var_.cVal; break;
    case VT_UI1: value = var_.bVal; break;
    case VT_UI2: value = var_.uiVal; break;
    case VT_UI4: value = var_.ulVal; break;
    case VT_UINT: value = var_.uintVal; break;
    case VT_R4:
    case VT_R8: {
      double real = var_.vt == VT_R4 ? var_.fltVal : var_.dblVal;
      if (type == VT_UI8 && real >= 9223372036854775808.0 && real < 18446744073709551616.0) {
        unsigned_value = static_cast<uint64_t>(real);
        from_unsigned = true;
      } else {
        value = ole_truncate_to_int64(real);
      }
      break;
    }
    case VT_CY: value = round_currency(var_.cyVal.int64); break;
    case VT_DECIMAL: {
      CY currency;
      if (FAILED(VarCyFromDec(&var_.decVal, &currency))) throw ole_cast_exception();
      value = round_currency(currency.int64);
      break;
    }
    default:
      throw ole_cast_exception();
  }
  clear();
  if (!from_unsigned) unsigned_value = static_cast<uint64_t>(value);
  if (type == VT_I8) hyper_ = static_cast<int64_t>(unsigned_value);
  else uhyper_ = unsigned_value;
  var_.vt = type;
}

// The value's bytes as they lie in memory (little-endian) become a byte array.
void ole_variant::change_to_binary(VARTYPE) {
  std::vector<BYTE> bytes;
  switch (var_.vt) {
    case VT_I2: case VT_BOOL: case VT_UI2: bytes = bytes_of(var_.iVal); break;
    case VT_I4: case VT_R4: case VT_UI4: case VT_INT: case VT_UINT: bytes = bytes_of(var_.lVal); break;
    case VT_R8: case VT_CY: bytes = bytes_of(var_.llVal); break;
    case VT_I8: bytes = bytes_of(hyper_); break;
    case VT_UI8: bytes = bytes_of(uhyper_); break;
    case VT_DATE: bytes = bytes_of(time_); break;
    case VT_DECIMAL: bytes = bytes_of(var_.decVal); break;
    case VT_I1: case VT_UI1: bytes = bytes_of(var_.bVal); break;
    default: throw ole_cast_exception();
  }
  attach_binary(bytes);
}
