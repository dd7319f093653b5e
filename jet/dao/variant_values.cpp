#include "jet/dao/variant_values.h"

#include <algorithm>
#include <cstring>

#include "jet/format/column_type.h"
#include "jet/format/error.h"
#include "platform/codepage.h"

namespace {

// The fixed binary column of MSysAccessObjects; DAO shows its code as the type.
constexpr uint8_t system_binary = 0x11;

[[noreturn]] void conversion_error() { throw jet_error(3421, "Data type conversion error."); }

[[noreturn]] void too_long() {
  throw jet_error(3163, "The field is too small to accept the amount of data you attempted to add.");
}

// A copy of `value` changed to `type`, DAO's errors for a refusal.
struct changed_variant {
  VARIANT value;
  changed_variant(const VARIANT& source, VARTYPE type) {
    VariantInit(&value);
    const HRESULT result = VariantChangeType(&value, &source, 0, type);
    if (result == DISP_E_OVERFLOW) throw jet_error(3349, "Numeric field overflow.");
    if (FAILED(result)) conversion_error();
  }
  ~changed_variant() { VariantClear(&value); }
  changed_variant(const changed_variant&) = delete;
  changed_variant& operator=(const changed_variant&) = delete;
};

const VARIANT& dereferenced(const VARIANT& value) {
  if (value.vt == (VT_BYREF | VT_VARIANT) && value.pvarVal) return *value.pvarVal;
  return value;
}

void array_bytes(const SAFEARRAY* array, std::vector<uint8_t>& out) {
  if (!array || array->cDims != 1 || array->cbElements != 1) conversion_error();
  const uint8_t* data = static_cast<const uint8_t*>(array->pvData);
  const ULONG count = array->rgsabound[0].cElements;
  if (count && !data) conversion_error();
  out.assign(data, data + count);
}

void bstr_bytes(BSTR text, std::vector<uint8_t>& out) {
  const UINT length = SysStringByteLen(text);
  const uint8_t* data = reinterpret_cast<const uint8_t*>(text);
  if (length) out.assign(data, data + length);
  else out.clear();
}

int hex_digit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" as stored: the first three groups
// little-endian, the last two in text order.
std::vector<uint8_t> guid_bytes(const std::u16string& text) {
  static const char pattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (text.size() != sizeof pattern - 1) conversion_error();
  std::vector<uint8_t> in_text_order;
  for (size_t i = 0; i < text.size(); ++i) {
    if (pattern[i] != 'X') {
      if (text[i] != char16_t(pattern[i])) conversion_error();
      continue;
    }
    const int high = hex_digit(text[i]), low = hex_digit(text[i + 1]);
    if (high < 0 || low < 0 || pattern[i + 1] != 'X') conversion_error();
    in_text_order.push_back(uint8_t(high << 4 | low));
    ++i;
  }
  std::vector<uint8_t> stored(in_text_order);
  std::reverse_copy(in_text_order.begin(), in_text_order.begin() + 4, stored.begin());
  std::reverse_copy(in_text_order.begin() + 4, in_text_order.begin() + 6, stored.begin() + 4);
  std::reverse_copy(in_text_order.begin() + 6, in_text_order.begin() + 8, stored.begin() + 6);
  return stored;
}

}  // namespace

long jd_column_size(const jet_format& format, const jet_column& column) {
  switch (column.type) {
    case jet_type::text: return long(format.text_characters(column.length));
    case jet_type::binary: return column.length;
    case jet_type::boolean: return 1;
    case jet_type::memo:
    case jet_type::long_binary: return 0;
    default: {
      const uint32_t fixed = jet_type::fixed_size(column.type);
      return long(fixed ? fixed : column.length);  // a type of the system tables only: its stored length
    }
  }
}

namespace {

}  // namespace

VARTYPE jd_natural_type(uint8_t type) {
  switch (type) {
    case jet_type::boolean: return VT_BOOL;
    case jet_type::byte: return VT_UI1;
    case jet_type::integer: return VT_I2;
    case jet_type::long_integer: return VT_I4;
    case jet_type::currency: return VT_CY;
    case jet_type::single: return VT_R4;
    case jet_type::double_: return VT_R8;
    case jet_type::date_time: return VT_DATE;
    case jet_type::text:
    case jet_type::memo: return VT_BSTR;
    default: return VT_EMPTY;
  }
}

namespace {

// A value already of the field's own type is taken as it is: changing a
// VARIANT to its own type copies it, so this is what the change would give.
// A text column holds as many characters as its stored length allows.
bool fits(const jet_format& format, const jet_column& column, const std::u16string& text) {
  return text.size() <= format.text_characters(column.length);
}

void take_natural(const jet_format& format, const jet_column& column, const VARIANT& value, jet_value& result) {
  switch (column.type) {
    case jet_type::boolean: result.integer = value.boolVal != VARIANT_FALSE ? 1 : 0; break;
    case jet_type::byte: result.integer = value.bVal; break;
    case jet_type::integer: result.integer = value.iVal; break;
    case jet_type::long_integer: result.integer = value.lVal; break;
    case jet_type::currency: result.integer = value.cyVal.int64; break;
    case jet_type::single: result.real = value.fltVal; break;
    case jet_type::double_: result.real = value.dblVal; break;
    case jet_type::date_time: result.real = value.date; break;
    default: {  // Text and Memo, checked before they are taken
      const UINT length = SysStringLen(value.bstrVal);
      if (column.type == jet_type::text && length > format.text_characters(column.length)) too_long();
      result.text.assign(value.bstrVal ? value.bstrVal : u"", length);
      break;
    }
  }
}

}  // namespace

jet_value jd_value_from_variant(const jet_format& format, const jet_column& column, const VARIANT& given) {
  jet_value result;
  jd_value_from_variant(format, column, given, result);
  return result;
}

void jd_value_from_variant(const jet_format& format, const jet_column& column, const VARIANT& given,
                           jet_value& result) {
  const VARIANT& value = dereferenced(given);
  // Emptied in place: the text and bytes keep their storage for the next value.
  result.type = column.type;
  result.is_null = true;
  result.integer = 0;
  result.real = 0;
  result.text.clear();
  result.bytes.clear();
  if (value.vt == VT_EMPTY || value.vt == VT_NULL) return;
  if (value.vt == VT_ERROR) conversion_error();
  result.is_null = false;
  if (value.vt == jd_natural_type(column.type)) return take_natural(format, column, value, result);
  switch (column.type) {
    case jet_type::boolean: {
      changed_variant v(value, VT_BOOL);
      result.integer = v.value.boolVal != VARIANT_FALSE ? 1 : 0;
      break;
    }
    case jet_type::byte: { changed_variant v(value, VT_UI1); result.integer = v.value.bVal; break; }
    case jet_type::integer: { changed_variant v(value, VT_I2); result.integer = v.value.iVal; break; }
    case jet_type::long_integer: { changed_variant v(value, VT_I4); result.integer = v.value.lVal; break; }
    case jet_type::currency: { changed_variant v(value, VT_CY); result.integer = v.value.cyVal.int64; break; }
    case jet_type::single: { changed_variant v(value, VT_R4); result.real = v.value.fltVal; break; }
    case jet_type::double_: { changed_variant v(value, VT_R8); result.real = v.value.dblVal; break; }
    case jet_type::date_time: { changed_variant v(value, VT_DATE); result.real = v.value.date; break; }
    case jet_type::text:
    case jet_type::memo: {
      if (value.vt == (VT_ARRAY | VT_UI1)) conversion_error();
      changed_variant v(value, VT_BSTR);
      result.text.assign(v.value.bstrVal ? v.value.bstrVal : u"", SysStringLen(v.value.bstrVal));
      if (column.type == jet_type::text && !fits(format, column, result.text)) too_long();
      break;
    }
    case jet_type::binary:
    case jet_type::long_binary:
      if (value.vt == (VT_ARRAY | VT_UI1)) array_bytes(value.parray, result.bytes);
      else if (value.vt == VT_BSTR) bstr_bytes(value.bstrVal, result.bytes);
      else conversion_error();
      if (column.type == jet_type::binary && result.bytes.size() > column.length) too_long();
      break;
    case jet_type::guid:
      if (value.vt == (VT_ARRAY | VT_UI1)) {
        array_bytes(value.parray, result.bytes);
        if (result.bytes.size() != 16) conversion_error();
      } else {
        changed_variant v(value, VT_BSTR);
        result.bytes = guid_bytes(std::u16string(v.value.bstrVal ? v.value.bstrVal : u"", SysStringLen(v.value.bstrVal)));
      }
      break;
    default:
      throw jet_error(3251, "Operation is not supported for this type of object.");
  }
}

void jd_value_from_natural(const jet_format& format, const jet_column& column, const VARIANT& value,
                           jet_value& result) {
  if (column.type == jet_type::text && SysStringLen(value.bstrVal) > format.text_characters(column.length)) too_long();
  result.type = column.type;
  result.is_null = false;
  result.integer = 0;
  result.real = 0;
  if (value.vt != VT_BSTR) result.text.clear();
  result.bytes.clear();
  take_natural(format, column, value, result);
}

void jd_value_to_variant(const jet_column& column, const jet_value& value, VARIANT* out) {
  VariantInit(out);
  if (value.is_null) {
    out->vt = VT_NULL;
    return;
  }
  switch (column.type) {
    case jet_type::boolean: out->vt = VT_BOOL; out->boolVal = value.integer ? VARIANT_TRUE : VARIANT_FALSE; break;
    case jet_type::byte: out->vt = VT_UI1; out->bVal = BYTE(value.integer); break;
    case jet_type::integer: out->vt = VT_I2; out->iVal = SHORT(value.integer); break;
    case jet_type::long_integer: out->vt = VT_I4; out->lVal = LONG(value.integer); break;
    case jet_type::currency: out->vt = VT_CY; out->cyVal.int64 = value.integer; break;
    case jet_type::single: out->vt = VT_R4; out->fltVal = FLOAT(value.real); break;
    case jet_type::double_: out->vt = VT_R8; out->dblVal = value.real; break;
    case jet_type::date_time: out->vt = VT_DATE; out->date = value.real; break;
    case jet_type::text:
    case jet_type::memo:
      out->bstrVal = SysAllocStringLen(value.text.data(), UINT(value.text.size()));
      if (!out->bstrVal) throw std::bad_alloc();
      out->vt = VT_BSTR;
      break;
    case jet_type::binary:
    case jet_type::long_binary:
    case system_binary: {
      SAFEARRAYBOUND bound{ULONG(value.bytes.size()), 0};
      SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
      if (!array) throw std::bad_alloc();
      if (!value.bytes.empty()) std::memcpy(array->pvData, value.bytes.data(), value.bytes.size());
      out->vt = VT_ARRAY | VT_UI1;
      out->parray = array;
      break;
    }
    case jet_type::guid: {
      const std::u16string text = platform::utf8_to_utf16(jet_guid_text(value.bytes));
      out->bstrVal = SysAllocStringLen(text.data(), UINT(text.size()));
      if (!out->bstrVal) throw std::bad_alloc();
      out->vt = VT_BSTR;
      break;
    }
    case jet_type::numeric: {
      const std::u16string text = platform::utf8_to_utf16(jet_numeric_text(value.bytes, column.scale));
      DECIMAL decimal{};
      if (FAILED(VarDecFromStr(text.c_str(), LOCALE_INVARIANT, 0, &decimal))) conversion_error();
      out->decVal = decimal;
      out->vt = VT_DECIMAL;
      break;
    }
    default:
      conversion_error();
  }
}
