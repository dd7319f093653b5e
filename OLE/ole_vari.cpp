#include "OLE/ole_vari.h"

#include <cstring>

#include "OLE/ole_cnum.h"
#include "OLE/ole_date.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

namespace {
constexpr const char* kSource = "ole_var";
constexpr size_t kMaxRenderedBytes = 0x50000;  // longer binaries are cut in their text

bool owns_array(VARTYPE type) { return type == VT_SAFEARRAY || type == VT_BINARY_ARRAY; }
}  // namespace

// ---- construction -----------------------------------------------------------

ole_variant::ole_variant() { VariantInit(&var_); }

ole_variant::ole_variant(bool value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor from bool (%d)", value ? 1 : 0);
  var_.vt = VT_BOOL;
  var_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

ole_variant::ole_variant(char value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor from char(%d)", value);
  var_.vt = VT_I1;
  var_.cVal = static_cast<CHAR>(value);
}

ole_variant::ole_variant(signed char value) : ole_variant(static_cast<char>(value)) {}

ole_variant::ole_variant(unsigned char value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor from byte(%d)", value);
  var_.vt = VT_UI1;
  var_.bVal = value;
}

ole_variant::ole_variant(short value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor from short(%d)", value);
  var_.vt = VT_I2;
  var_.iVal = value;
}

ole_variant::ole_variant(unsigned short value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor from ushort(%d)", value);
  var_.vt = VT_UI2;
  var_.uiVal = value;
}

ole_variant::ole_variant(int value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor from int(%d)", value);
  var_.vt = VT_I4;
  var_.lVal = value;
}

ole_variant::ole_variant(unsigned int value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor from uint(%u)", value);
  var_.vt = VT_UI4;
  var_.ulVal = value;
}

ole_variant::ole_variant(long long value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor(hyper, %lld)", value);
  var_.vt = VT_I8;
  hyper_ = value;
}

ole_variant::ole_variant(unsigned long long value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor(uhyper, %llu)", value);
  var_.vt = VT_UI8;
  uhyper_ = value;
}

ole_variant::ole_variant(long value) : ole_variant(static_cast<long long>(value)) {}

ole_variant::ole_variant(unsigned long value) : ole_variant(static_cast<unsigned long long>(value)) {}

ole_variant::ole_variant(float value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor from float(%f)", value);
  var_.vt = VT_R4;
  var_.fltVal = value;
}

ole_variant::ole_variant(double value) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor from double(%e)", value);
  var_.vt = VT_R8;
  var_.dblVal = value;
}

ole_variant::ole_variant(const std::string& text) {
  VariantInit(&var_);
  trace(1, "ole_variant::ctor from string(%s)", text.c_str());
  attach_string(text);
}

ole_variant::ole_variant(const char* text) : ole_variant(std::string(text ? text : "")) {}

ole_variant::ole_variant(const std::u16string& text) {
  VariantInit(&var_);
  trace(1, u"ole_variant::ctor from wstring(%s)", text.c_str());
  attach_wstring(text);
}

ole_variant::ole_variant(const char16_t* text) : ole_variant(std::u16string(text ? text : u"")) {}

ole_variant::ole_variant(const SYSTEMTIME& time) {
  VariantInit(&var_);
  trace(1, "Construct ole_variant from SYSTEMTIME");
  set_system_time(time);
}

ole_variant::ole_variant(const CY& currency) {
  VariantInit(&var_);
  trace(1, "Construct ole_variant from CY");
  var_.vt = VT_CY;
  var_.cyVal = currency;
}

ole_variant::ole_variant(const DECIMAL& decimal) {
  VariantInit(&var_);
  trace(1, "Construct ole_variant from DECIMAL");
  var_.decVal = decimal;  // fills the whole VARIANT, the type included
  var_.vt = VT_DECIMAL;
}

ole_variant::ole_variant(BSTR text) {
  VariantInit(&var_);
  trace(1, "Construct ole_variant from BSTR");
  attach_bstr(text, text ? SysStringLen(text) : 0);
}

ole_variant::ole_variant(const BYTE* bytes, size_t length) {
  VariantInit(&var_);
  attach_binary(length, bytes);
}

ole_variant::ole_variant(const std::vector<BYTE>& bytes) {
  VariantInit(&var_);
  attach_binary(bytes);
}

ole_variant::ole_variant(const VARIANT& value) {
  VariantInit(&var_);
  trace(1, "Construct ole_variant from VARIANT (vt=%d)", value.vt);
  if (owns_array(value.vt)) {
    take_binary_copy(value.parray);
    return;
  }
  TK_CHECK(SUCCEEDED(VariantCopy(&var_, &value)), kSource);
  if (value.vt == VT_I8) hyper_ = value.llVal;
  if (value.vt == VT_UI8) uhyper_ = value.ullVal;
  if (value.vt == VT_DATE && !VariantTimeToSystemTime(value.date, &time_)) {
    trace(2, "Failed to convert VARIANT->SYSTEMTIME");
  }
}

ole_variant::ole_variant(const ole_variant& other) {
  VariantInit(&var_);
  trace(1, "ole_variant::copy ctor");
  copy_from(other);
}

ole_variant::ole_variant(ole_variant&& other) noexcept
    : hyper_(other.hyper_), uhyper_(other.uhyper_), time_(other.time_), var_(other.var_) {
  VariantInit(&other.var_);
  other.hyper_ = 0;
  other.uhyper_ = 0;
}

ole_variant& ole_variant::operator=(const ole_variant& other) {
  if (this == &other) return *this;
  if (other.var_.vt == VT_DATE) {
    const SYSTEMTIME& t = other.time_;
    trace(1, "%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  }
  // The old string or array is released whatever the new type is.
  clear();
  copy_from(other);
  return *this;
}

ole_variant& ole_variant::operator=(ole_variant&& other) noexcept {
  if (this == &other) return *this;
  clear();
  hyper_ = other.hyper_;
  uhyper_ = other.uhyper_;
  time_ = other.time_;
  var_ = other.var_;
  VariantInit(&other.var_);
  other.hyper_ = 0;
  other.uhyper_ = 0;
  return *this;
}

ole_variant::~ole_variant() { clear(); }

void ole_variant::clear() {
  if (owns_array(var_.vt) && var_.parray) {
    SafeArrayDestroy(var_.parray);
    var_.parray = nullptr;
    var_.vt = VT_EMPTY;
  }
  VariantClear(&var_);
  hyper_ = 0;
  uhyper_ = 0;
}

void ole_variant::start(VARTYPE type) {
  // Only strings, arrays and interfaces have anything to release.
  const VARTYPE base = var_.vt & VT_TYPEMASK;
  if ((var_.vt & VT_ARRAY) || base == VT_BSTR || base == VT_DISPATCH || base == VT_UNKNOWN) clear();
  hyper_ = 0;
  uhyper_ = 0;
  time_ = SYSTEMTIME{};
  var_.vt = type;  // what VariantInit leaves, the type then set
  var_.wReserved1 = var_.wReserved2 = var_.wReserved3 = 0;
}

void ole_variant::set_empty() { start(VT_EMPTY); }

void ole_variant::set(signed char value) {
  trace(1, "ole_variant::ctor from char(%d)", static_cast<char>(value));
  start(VT_I1);
  var_.cVal = static_cast<CHAR>(value);
}

void ole_variant::set(short value) {
  trace(1, "ole_variant::ctor from short(%d)", value);
  start(VT_I2);
  var_.iVal = value;
}

void ole_variant::set(int value) {
  trace(1, "ole_variant::ctor from int(%d)", value);
  start(VT_I4);
  var_.lVal = value;
}

void ole_variant::set(double value) {
  trace(1, "ole_variant::ctor from double(%e)", value);
  start(VT_R8);
  var_.dblVal = value;
}

void ole_variant::set(const DECIMAL& value) {
  trace(1, "Construct ole_variant from DECIMAL");
  start(VT_DECIMAL);
  var_.decVal = value;  // fills the whole VARIANT, the type included
  var_.vt = VT_DECIMAL;
}

void ole_variant::set(const SYSTEMTIME& time) {
  trace(1, "Construct ole_variant from SYSTEMTIME");
  start(VT_DATE);
  time_ = time;
  var_.date = 0;
  if (!SystemTimeToVariantTime(&time_, &var_.date)) trace(2, "Failed to convert SYSTEMTIME->VARIANT");
}

void ole_variant::copy_from(const ole_variant& other) {
  VARTYPE type = other.var_.vt;
  if (owns_array(type)) {
    trace(1, "Special processing for VT_SAFEARRAY");
    take_binary_copy(other.var_.parray);
    return;
  }
  if (FAILED(VariantCopy(&var_, &other.var_))) var_.vt = VT_ERROR;
  if (type == VT_DATE) {
    trace(1, "Special processing for VT_DATE");
    time_ = other.time_;
  } else if (type == VT_I8 || type == VT_UI8) {
    trace(1, "Special processing for VT_(U)I8 type");
    hyper_ = other.hyper_;
    uhyper_ = other.uhyper_;
  }
}

// An array copy that fails leaves the value VT_ERROR; a missing array stays missing.
void ole_variant::take_binary_copy(SAFEARRAY* array) {
  var_.vt = VT_BINARY_ARRAY;
  var_.parray = nullptr;
  if (!array) return;
  SAFEARRAY* copy = nullptr;
  if (SUCCEEDED(SafeArrayCopy(array, &copy)) && copy) {
    var_.parray = copy;
  } else {
    var_.vt = VT_ERROR;
  }
}

void ole_variant::set_system_time(const SYSTEMTIME& time) {
  clear();
  time_ = time;
  var_.vt = VT_DATE;
  var_.date = 0;
  if (!SystemTimeToVariantTime(&time_, &var_.date)) trace(2, "Failed to convert SYSTEMTIME->VARIANT");
}

// ---- reading ----------------------------------------------------------------

LONG ole_variant::to_long() const {
  trace(1, "ole_variant::to_long(vt=%08X)", var_.vt);
  switch (var_.vt) {
    case VT_EMPTY:
    case VT_NULL: return 0;
    case VT_I2: return var_.iVal;
    case VT_BOOL: return var_.boolVal;
    case VT_I4:
    case VT_UI4:
    case VT_INT:   // the 32-bit kinds a type change can leave behind
    case VT_UINT: return var_.lVal;
    case VT_R4: return ole_truncate_to_int32(var_.fltVal);
    case VT_R8: return ole_truncate_to_int32(var_.dblVal);
    case VT_DECIMAL: {
      LONG result = 0;
      HRESULT hr = VarI4FromDec(&var_.decVal, &result);
      trace(1, "from DECIMAL, hr=%08X", static_cast<unsigned>(hr));
      return SUCCEEDED(hr) ? result : 0;
    }
    case VT_I1: return var_.cVal;
    case VT_UI1: return var_.bVal;
    case VT_UI2: return var_.uiVal;
    case VT_I8: return static_cast<LONG>(static_cast<uint32_t>(hyper_));
    case VT_UI8: return static_cast<LONG>(static_cast<uint32_t>(uhyper_));
    default: throw tk_mail_assertion(kSource, __LINE__);
  }
}

double ole_variant::to_double() const {
  trace(1, "ole_variant::to_double(%08X)", var_.vt);
  switch (var_.vt) {
    case VT_EMPTY:
    case VT_NULL: return 0.0;
    case VT_I2: return var_.iVal;
    case VT_BOOL: return var_.boolVal;
    case VT_I4:
    case VT_INT: return var_.lVal;
    case VT_I1: return var_.cVal;
    case VT_UI1: return var_.bVal;
    case VT_UI2: return var_.uiVal;
    case VT_R4: return var_.fltVal;
    case VT_R8: return var_.dblVal;
    case VT_UI4:
    case VT_UINT: return static_cast<double>(var_.ulVal);
    case VT_CY: {
      double result = 0;
      HRESULT hr = VarR8FromCy(var_.cyVal, &result);
      trace(1, "from CURRECY: res=%lg, hr=%08X", result, static_cast<unsigned>(hr));
      return result;
    }
    case VT_DECIMAL: {
      double result = 0;
      HRESULT hr = VarR8FromDec(&var_.decVal, &result);
      trace(1, "from DECIMAL: res=%lg, hr=%08X", result, static_cast<unsigned>(hr));
      return result;
    }
    // The whole 64-bit value: a double holds it far better than its low half.
    case VT_I8: return static_cast<double>(hyper_);
    case VT_UI8: return static_cast<double>(uhyper_);
    default: throw tk_mail_assertion(kSource, __LINE__);
  }
}

size_t ole_variant::get_bytes(const BYTE** bytes) const {
  trace(1, "ole_variant::get_bytes(%d)", var_.vt);
  TK_CHECK(bytes != nullptr, kSource);
  if (var_.vt == VT_EMPTY || var_.vt == VT_NULL) return 0;
  TK_CHECK(var_.vt == VT_BINARY_ARRAY, kSource);
  if (!var_.parray) return 0;
  void* data = nullptr;
  TK_CHECK(SUCCEEDED(SafeArrayAccessData(var_.parray, &data)), kSource);
  SafeArrayUnaccessData(var_.parray);
  *bytes = static_cast<const BYTE*>(data);
  return get_safe_array_size(var_.parray);
}

size_t ole_variant::get_safe_array_size(SAFEARRAY* array) {
  trace(1, "get_safe_array_size");
  LONG lower = 0, upper = -1;
  if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) return 0;
  trace(1, "lower=%d, upper=%d", lower, upper);
  if (upper < lower) return 0;
  return static_cast<size_t>(static_cast<int64_t>(upper) - lower + 1);
}

// ---- building ---------------------------------------------------------------

void ole_variant::allocate_safe_array(size_t size) {
  trace(1, "ole_variant::allocate_safe_array (size=%zu)", size);
  TK_CHECK(size <= 0xFFFFFFFFu, kSource);
  if (var_.vt == VT_BINARY_ARRAY && var_.parray && var_.parray->cDims == 1) {
    trace(1, "Redimension array");
    if (get_safe_array_size(var_.parray) == size) return;
    SAFEARRAYBOUND bound{static_cast<ULONG>(size), var_.parray->rgsabound[0].lLbound};
    TK_CHECK(SUCCEEDED(SafeArrayRedim(var_.parray, &bound)), kSource);
    return;
  }
  clear();
  SAFEARRAYBOUND bound{static_cast<ULONG>(size), 0};
  SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
  TK_CHECK(array != nullptr, kSource);
  var_.vt = VT_BINARY_ARRAY;
  var_.parray = array;
}

void ole_variant::attach_binary(size_t length, const BYTE* bytes) {
  trace(1, "ole_variant::attach_binary(2)");
  TK_CHECK(bytes != nullptr, kSource);
  allocate_safe_array(length);
  if (length == 0) return;
  void* data = nullptr;
  TK_CHECK(SUCCEEDED(SafeArrayAccessData(var_.parray, &data)), kSource);
  std::memcpy(data, bytes, length);
  SafeArrayUnaccessData(var_.parray);
}

void ole_variant::attach_binary(const std::vector<BYTE>& bytes) {
  trace(1, "ole_variant::attach_binary(1)");
  allocate_safe_array(bytes.size());
  if (bytes.empty()) return;
  void* data = nullptr;
  TK_CHECK(SUCCEEDED(SafeArrayAccessData(var_.parray, &data)), kSource);
  std::memcpy(data, bytes.data(), bytes.size());
  SafeArrayUnaccessData(var_.parray);
}

void ole_variant::attach_bstr(const OLECHAR* text, size_t length) {
  TK_CHECK(length <= 0x7FFFFFFFu, kSource);
  // A value refilled row after row mostly keeps its length: the string it
  // owns takes the new text in place, without a free and an allocation.
  if (text && var_.vt == VT_BSTR && var_.bstrVal && SysStringLen(var_.bstrVal) == length) {
    if (length) std::memmove(var_.bstrVal, text, length * sizeof(OLECHAR));
    return;
  }
  BSTR copy = text ? SysAllocStringLen(text, static_cast<UINT>(length)) : nullptr;
  TK_CHECK(copy != nullptr || text == nullptr, kSource);
  if (var_.vt == VT_BSTR) {
    SysFreeString(var_.bstrVal);
  } else {
    clear();
    var_.vt = VT_BSTR;
  }
  var_.bstrVal = copy;
}

// The stored length is the widened text's own: a multi-byte narrow text is
// shorter in UTF-16, and padding it to the narrow length would add NULs.
void ole_variant::attach_string(const std::string& text) {
  trace(1, "ole_variant::attach_string('%s')", text.c_str());
  std::u16string wide = tk_from_ansi(text);
  attach_bstr(wide.c_str(), wide.size());
}

void ole_variant::attach_wstring(std::u16string_view text) {
  attach_bstr(text.data() ? text.data() : u"", text.size());
  trace(1, u"ole_variant::attach_wstring('%s')", var_.bstrVal);
}

// ---- rendering --------------------------------------------------------------

namespace {
std::string commas_to_points(std::string text) {
  for (char& c : text) if (c == ',') c = '.';
  return text;
}

// Narrows a BSTR and frees it.
std::string take_bstr(BSTR text) {
  std::string narrow = text ? tk_to_ansi(std::u16string_view(text, SysStringLen(text))) : std::string();
  SysFreeString(text);
  return narrow;
}
}  // namespace

std::string ole_variant::array_to_string() const {
  trace(1, "Converting VT_ARRAY");
  SAFEARRAY* array = var_.parray;
  if (!array || array->cDims != 1) return std::string();
  size_t size = get_safe_array_size(array);
  if (size == 0) return std::string();
  if (size > kMaxRenderedBytes) size = kMaxRenderedBytes;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) return std::string();
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(2 + 2 * size);
  text += "0x";
  const BYTE* bytes = static_cast<const BYTE*>(data);
  for (size_t i = 0; i < size; ++i) {
    text.push_back(digits[bytes[i] >> 4]);
    text.push_back(digits[bytes[i] & 0x0F]);
  }
  SafeArrayUnaccessData(array);
  return text;
}

std::string ole_variant::to_string() const {
  trace(1, "ole_variant::to_string (vt=%08X)", var_.vt);
  switch (var_.vt) {
    case VT_I2: return ole_c_format("%d", var_.iVal);
    case VT_I1: return ole_c_format("%d", var_.cVal);
    case VT_I4:
    case VT_INT: return ole_c_format("%ld", static_cast<long>(var_.lVal));
    case VT_UI1: return ole_c_format("%u", var_.bVal);
    case VT_UI2: return ole_c_format("%u", var_.uiVal);
    case VT_UI4:
    case VT_UINT: return ole_c_format("%lu", static_cast<unsigned long>(var_.ulVal));
    case VT_I8: return ole_c_format("%lld", static_cast<long long>(hyper_));
    case VT_UI8: return ole_c_format("%llu", static_cast<unsigned long long>(uhyper_));
    case VT_R4: return ole_c_format("%.6e", static_cast<double>(var_.fltVal));
    case VT_R8: return ole_c_format("%.15e", var_.dblVal);
    case VT_BOOL:
      trace(1, "to_string - bool: %d", var_.boolVal);
      trace(1, "Mapping BOOL like ANSI!");
      return var_.boolVal == VARIANT_TRUE ? "1" : "0";
    case VT_CY: {
      trace(1, "Converting VT_CY");
      VARIANT text;
      VariantInit(&text);
      if (FAILED(VariantChangeType(&text, &var_, 0, VT_BSTR))) return std::string();
      BSTR owned = text.bstrVal;  // handed to take_bstr, which frees it
      return commas_to_points(take_bstr(owned));
    }
    case VT_DECIMAL: {
      trace(1, "Converting VT_DECIMAL");
      BSTR text = nullptr;
      if (FAILED(VarBstrFromDec(&var_.decVal, LOCALE_USER_DEFAULT, 0, &text))) return std::string();
      return commas_to_points(take_bstr(text));
    }
    case VT_DATE:
      trace(1, "Converting VT_DATE");
      return ole_date(time_).to_string();
    case VT_BSTR:
      if (!var_.bstrVal) return std::string();
      return tk_to_ansi(std::u16string_view(var_.bstrVal, SysStringLen(var_.bstrVal)));
    case VT_BINARY_ARRAY: return array_to_string();
    default: return std::string();
  }
}

std::u16string ole_variant::to_wstring() const {
  if (var_.vt == VT_BSTR) {
    if (!var_.bstrVal) return std::u16string();
    return std::u16string(var_.bstrVal, SysStringLen(var_.bstrVal));
  }
  return tk_from_ansi(to_string());
}
