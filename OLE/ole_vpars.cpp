// Text into values: from_string and from_wstring.
#include <cctype>
#include <limits>
#include <optional>

#include "OLE/ole_cnum.h"
#include "OLE/ole_date.h"
#include "OLE/ole_misc.h"
#include "OLE/ole_pnum.h"
#include "OLE/ole_vari.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

namespace {
// A decimal integer read as atoi reads it (blanks, a sign, then the digits up
// to the first other character; nothing readable is 0), but without wrapping:
// a number beyond 64 bits gives no value.
std::optional<__int128> read_integer(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  __int128 value = 0;
  constexpr __int128 kLimit = static_cast<__int128>(std::numeric_limits<uint64_t>::max());
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > kLimit) return std::nullopt;
  }
  return negative ? -value : value;
}

template <class T>
bool fits(__int128 value) {
  return value >= static_cast<__int128>(std::numeric_limits<T>::min()) &&
         value <= static_cast<__int128>(std::numeric_limits<T>::max());
}

bool equals_ignoring_case(std::string_view text, const char* word) {
  size_t i = 0;
  for (; word[i]; ++i) {
    if (i >= text.size()) return false;
    if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return i == text.size();
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string commas_to_points(std::string_view text) {
  std::string copy(text);
  for (char& c : copy) if (c == ',') c = '.';
  return copy;
}

// Short texts of ASCII characters only are narrowed here: they read the same in
// every ANSI code page, and numbers and dates from a database are such texts.
constexpr size_t kShortText = 64;
}  // namespace

void ole_variant::from_wstring(std::u16string_view text, VARTYPE type) {
  if (type == VT_BSTR) {
    attach_wstring(text);
    return;
  }
  if (text.size() < kShortText) {
    char narrow[kShortText];
    size_t i = 0;
    for (; i < text.size() && text[i] < 0x80 && text[i] != 0; ++i) narrow[i] = static_cast<char>(text[i]);
    if (i == text.size()) {
      narrow[i] = '\0';
      parse_text(narrow, i, type);
      return;
    }
  }
  from_string(tk_to_ansi(text), type);
}

void ole_variant::from_string(const std::string& text, VARTYPE type) {
  parse_text(text.c_str(), text.size(), type);
}

// text[length] is the terminator; text holds no other NUL.
void ole_variant::parse_text(const char* text, size_t length, VARTYPE type) {
  trace(1, "ole_variant::from_string('%s', 0x%08X)", text, static_cast<unsigned>(type));
  const std::string_view view(text, length);
  if (length == 0) {
    if (type == VT_BSTR) attach_string(std::string());
    else clear();
    return;
  }
  switch (type) {
    case VT_I2: case VT_I4: case VT_I1: case VT_UI1: case VT_UI2:
    case VT_UI4: case VT_UI8: case VT_I8:
      parse_integer(text, type);
      return;
    case VT_R4:
    case VT_R8: {
      double value = 0;
      if (!ole_plain_double(view, &value)) value = ole_c_atof(commas_to_points(view).c_str());
      clear();
      var_.vt = type;
      if (type == VT_R4) var_.fltVal = static_cast<float>(value);
      else var_.dblVal = value;
      return;
    }
    case VT_CY: {
      trace(1, "GOT VT_CY");
      CY currency{};
      HRESULT hr = VarCyFromStr(tk_from_ansi(commas_to_points(view)).c_str(), LOCALE_EN_US, 0, &currency);
      clear();
      if (FAILED(hr)) {
        trace(3, "VarCyFromStr failed: %08X", static_cast<unsigned>(hr));
        return;
      }
      var_.vt = VT_CY;
      var_.cyVal = currency;
      return;
    }
    case VT_DECIMAL: {
      trace(1, "GOT VT_DECIMAL");
      DECIMAL decimal{};
      HRESULT hr = S_OK;
      if (!ole_plain_decimal(view, &decimal))
        hr = VarDecFromStr(tk_from_ansi(commas_to_points(view)).c_str(), LOCALE_EN_US, 0, &decimal);
      clear();
      if (FAILED(hr)) {
        trace(3, "VarDecFromStr failed: %08X", static_cast<unsigned>(hr));
        return;
      }
      var_.decVal = decimal;
      var_.vt = VT_DECIMAL;
      return;
    }
    case VT_DATE: {
      trace(1, "GOT VT_DATE");
      ole_date date(view);
      if (date.is_valid()) set_system_time(date.get_system_time());
      else clear();
      return;
    }
    case VT_BOOL: {
      bool value;
      if (equals_ignoring_case(view, "yes") || equals_ignoring_case(view, "true")) value = true;
      else if (equals_ignoring_case(view, "no") || equals_ignoring_case(view, "false")) value = false;
      else {
        std::optional<__int128> number = read_integer(text);
        value = !number || *number != 0;  // beyond 64 bits is still not zero
      }
      clear();
      var_.vt = VT_BOOL;
      var_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    }
    case VT_BLOB:
    case VT_BINARY_ARRAY:
      parse_binary(view);
      return;
    default:
      parse_through_automation(std::string(view), type);
      return;
  }
}

// A number outside the type's range gives no value rather than a wrapped one.
void ole_variant::parse_integer(const char* text, VARTYPE type) {
  std::optional<__int128> number = read_integer(text);
  clear();
  bool in_range = false;
  if (number) {
    __int128 n = *number;
    switch (type) {
      case VT_I2: in_range = fits<int16_t>(n); var_.iVal = static_cast<SHORT>(n); break;
      case VT_I4: in_range = fits<int32_t>(n); var_.lVal = static_cast<LONG>(n); break;
      case VT_I1: in_range = fits<int8_t>(n); var_.cVal = static_cast<CHAR>(n); break;
      case VT_UI1: in_range = fits<uint8_t>(n); var_.bVal = static_cast<BYTE>(n); break;
      case VT_UI2: in_range = fits<uint16_t>(n); var_.uiVal = static_cast<USHORT>(n); break;
      case VT_UI4: in_range = fits<uint32_t>(n); var_.ulVal = static_cast<ULONG>(n); break;
      case VT_I8: in_range = fits<int64_t>(n); hyper_ = static_cast<int64_t>(n); break;
      case VT_UI8: in_range = fits<uint64_t>(n); uhyper_ = static_cast<uint64_t>(n); break;
      default: break;
    }
  }
  if (!in_range) {
    trace(2, "Number '%s' is out of range for type %d", text, type);
    clear();
    return;
  }
  var_.vt = type;
}

// Hexadecimal text, two digits a byte, with an optional "0x" in front.
void ole_variant::parse_binary(std::string_view text) {
  clear();
  if (text.size() % 2 != 0) {
    trace(2, "Incorrect BLOB (size is odd)");
    return;
  }
  size_t start = (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) ? 2 : 0;
  size_t length = text.size() - start;
  trace(1, "Got BLOB size: %d", static_cast<int>(length));
  std::vector<BYTE> bytes(length / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    int high = hex_digit(text[start + 2 * i]);
    int low = hex_digit(text[start + 2 * i + 1]);
    if (high < 0 || low < 0) {
      trace(2, "Incorrect BLOB (not hexadecimal at %d)", static_cast<int>(start + 2 * i));
      return;
    }
    bytes[i] = static_cast<BYTE>(high * 16 + low);
  }
  attach_binary(bytes);
}

void ole_variant::parse_through_automation(const std::string& text, VARTYPE type) {
  attach_string(text);
  VARIANT result;
  VariantInit(&result);
  HRESULT hr = VariantChangeType(&result, &var_, 0, type);
  clear();
  if (FAILED(hr)) {
    VariantClear(&result);
    throw ole_type_exception();
  }
  trace(1, "VariantChangeType succeeded");
  var_ = result;
}
