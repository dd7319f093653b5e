#include <cstring>
#include <limits>
#include <string>

#include "ORA/ora_type.h"
#include "TK/tk_trace.h"

namespace {

// A NUMBER as Oracle holds it: value = ±(pairs[0].pairs[1]...) × 100^hundreds,
// base-100 digits without trailing zero ones (none at all for zero).
struct oracle_number {
  bool negative = false;
  int hundreds = 0;
  int count = 0;
  ub1 pairs[20];
};

// The SQLT_VNU bytes (a length byte, then the NUMBER); false for the
// infinities and anything that is no NUMBER.
bool decode_vnu(const ub1* vnu, oracle_number& out) {
  const int length = vnu[0];
  if (length < 1 || length > 21) return false;
  const ub1* bytes = vnu + 1;
  if (bytes[0] == 0x80 && length == 1) return true;  // zero; 0x80 with digits is 1E-130's exponent
  out.negative = (bytes[0] & 0x80) == 0;
  out.hundreds = out.negative ? 62 - bytes[0] : bytes[0] - 193;
  int count = length - 1;
  // A pair below 0 wraps past 99 too: either is no NUMBER.
  if (out.negative) {
    if (count > 0 && bytes[count] == 102) --count;  // the terminator
    for (int k = 0; k < count; ++k)
      if ((out.pairs[k] = static_cast<ub1>(101 - bytes[k + 1])) > 99) return false;
  } else {
    for (int k = 0; k < count; ++k)
      if ((out.pairs[k] = static_cast<ub1>(bytes[k + 1] - 1)) > 99) return false;
  }
  while (count > 0 && out.pairs[count - 1] == 0) --count;
  if (count == 0 || out.pairs[0] == 0) return false;  // the infinities, or malformed
  out.count = count;
  return true;
}

// Its decimal digits: value = ±0.digits × 10^exponent, without leading or
// trailing zeros.
struct decimal_digits {
  char digits[40];
  int count = 0;
  int exponent = 0;
};

decimal_digits digits_of(const oracle_number& n) {
  decimal_digits d;
  if (n.count == 0) return d;
  for (int k = 0; k < n.count; ++k) {
    d.digits[d.count++] = static_cast<char>('0' + n.pairs[k] / 10);
    d.digits[d.count++] = static_cast<char>('0' + n.pairs[k] % 10);
  }
  d.exponent = 2 * n.hundreds + 2;
  int first = n.pairs[0] < 10 ? 1 : 0;
  if (first) {
    std::memmove(d.digits, d.digits + 1, static_cast<size_t>(d.count - 1));
    --d.count;
    --d.exponent;
  }
  if (d.digits[d.count - 1] == '0') --d.count;
  return d;
}

// Characters of the plain text ("-12.5", ".05", "1200"), sign included.
int plain_length(bool negative, int count, int e) {
  int body = e <= 0 ? 1 - e + count : e >= count ? e : count + 1;
  return (negative ? 1 : 0) + body;
}

// The number's canonical text as Oracle converts it: plain up to 40
// characters, else one digit, the rest after the point and an exponent.
std::string number_text(const oracle_number& n) {
  if (n.count == 0) return "0";
  const decimal_digits d = digits_of(n);
  std::string text;
  if (n.negative) text += '-';
  const int e = d.exponent;
  if (plain_length(n.negative, d.count, e) <= 40) {
    if (e <= 0) {
      text += '.';
      text.append(static_cast<size_t>(-e), '0');
      text.append(d.digits, static_cast<size_t>(d.count));
    } else if (e >= d.count) {
      text.append(d.digits, static_cast<size_t>(d.count));
      text.append(static_cast<size_t>(e - d.count), '0');
    } else {
      text.append(d.digits, static_cast<size_t>(e));
      text += '.';
      text.append(d.digits + e, static_cast<size_t>(d.count - e));
    }
    return text;
  }
  text += d.digits[0];
  if (d.count > 1) {
    text += '.';
    text.append(d.digits + 1, static_cast<size_t>(d.count - 1));
  }
  text += e - 1 < 0 ? "E-" : "E+";
  text += std::to_string(e - 1 < 0 ? 1 - e : e - 1);
  return text;
}

// What the text of bytes that decode_vnu refused reads.
std::string vnu_text(const ub1* vnu) {
  const int length = vnu[0];
  if (length >= 1 && vnu[1] == 0) return "-~";
  if (length >= 1 && vnu[1] == 0xFF) return "~";
  return std::string();
}

template <class T>
bool fits(int64_t value) {
  return value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
}

constexpr double exact_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

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

void ora_number::define(OCIStmt* statement, ub4 position, ub4 rows) {
  numbers_.assign(static_cast<size_t>(rows) * vnu_size, 0);
  define_buffer(statement, position, rows, numbers_.data(), vnu_size, SQLT_VNU);
}

void ora_number::to_variant(ole_variant& value) {
  vnu_to_variant(numbers_.data() + static_cast<size_t>(slot_) * vnu_size, refined_, value);
}

void ora_number::vnu_to_variant(const ub1* vnu, VARTYPE type, ole_variant& value) {
  oracle_number n;
  if (!decode_vnu(vnu, n)) {
    value.from_string(vnu_text(vnu), type);
    return;
  }
  // The text is made only for a trace that writes it.
  if (tk_trace_active.load(std::memory_order_relaxed) && trace_writes(1)) {
    std::string text = number_text(n);
    trace(1, "ora_number::to_variant(buf=%s)", text.c_str());
    trace(1, "ole_variant::from_string('%s', 0x%08X)", text.c_str(), static_cast<unsigned>(type));
  }
  // The decimal digits' count and exponent (value = 0.digits × 10^e).
  int digits = 0, e = 0;
  if (n.count > 0) {
    const int lead = n.pairs[0] < 10 ? 1 : 0;
    digits = 2 * n.count - lead - (n.pairs[n.count - 1] % 10 == 0 ? 1 : 0);
    e = 2 * n.hundreds + 2 - lead;
  }
  // Texts of more than 40 characters take the exponent form, which only
  // the general parser reads.
  if (plain_length(n.negative, digits, e) > 40) {
    value.from_string(number_text(n), type);
    return;
  }
  // The pairs' value as a whole number, and the power of 100 it is scaled by.
  const int scale100 = n.hundreds - n.count + 1;
  switch (type) {
    case VT_I1: case VT_I2: case VT_I4: {
      // The digits before the point, as the text's integer reading takes
      // them. From 100^5 on nothing fits 32 bits.
      int64_t whole = 0;
      bool in_range = n.hundreds <= 4;
      for (int k = 0; in_range && k <= n.hundreds; ++k) whole = whole * 100 + (k < n.count ? n.pairs[k] : 0);
      if (n.negative) whole = -whole;
      if (type == VT_I1 && in_range && fits<int8_t>(whole)) value.set(static_cast<signed char>(whole));
      else if (type == VT_I2 && in_range && fits<int16_t>(whole)) value.set(static_cast<short>(whole));
      else if (type == VT_I4 && in_range && fits<int32_t>(whole)) value.set(static_cast<int>(whole));
      else {
        if (trace_writes(2))
          trace(2, "Number '%s' is out of range for type %d", number_text(n).c_str(), static_cast<int>(type));
        value.set_empty();
      }
      return;
    }
    case VT_R8: {
      // A whole number up to 2^53 is exact in a double, and so are powers
      // of ten up to 10^22: one multiplication or division then rounds as
      // the text's reading does.
      const int shift = 2 * scale100;
      if (n.count <= 8 && shift >= -22 && shift <= 22) {
        uint64_t mantissa = 0;
        for (int k = 0; k < n.count; ++k) mantissa = mantissa * 100 + n.pairs[k];
        if (mantissa <= (uint64_t{1} << 53)) {
          double number = static_cast<double>(mantissa);
          number = shift >= 0 ? number * exact_powers[shift] : number / exact_powers[-shift];
          value.set(n.negative ? -number : number);
          return;
        }
      }
      break;
    }
    case VT_DECIMAL: {
      // As a plain text reads: every digit counts, the decimals give the scale.
      const int significant = e > digits ? e : digits;
      const int decimals = digits > e ? digits - e : 0;
      if (significant <= 28 && decimals <= 28) {
        // Nine pairs fit 64 bits; the rest, at most 28 digits, 128.
        uint64_t head = 0;
        int k = 0;
        for (; k < n.count && k < 9; ++k) head = head * 100 + n.pairs[k];
        unsigned __int128 magnitude = head;
        for (; k < n.count; ++k) magnitude = magnitude * 100 + n.pairs[k];
        int scale = 0;
        if (scale100 >= 0) {
          for (int k = 0; k < scale100; ++k) magnitude *= 100;
        } else {
          scale = -2 * scale100;
          if (magnitude % 10 == 0) {
            magnitude /= 10;
            --scale;
          }
        }
        DECIMAL d{};
        d.scale = static_cast<BYTE>(scale);
        d.sign = n.negative ? DECIMAL_NEG : 0;
        d.Lo64 = static_cast<ULONGLONG>(magnitude);
        d.Hi32 = static_cast<ULONG>(magnitude >> 64);
        value.set(d);
        return;
      }
      break;
    }
    default:
      break;
  }
  value.from_string(number_text(n), type);
}

ora_float::ora_float(OCIParam* column, ub2 type_code)
    : ora_type(column, type_code), single_(type_code == SQLT_IBFLOAT) {}

void ora_float::define(OCIStmt* statement, ub4 position, ub4 rows) {
  if (single_) {
    floats_.assign(rows, 0);
    define_buffer(statement, position, rows, floats_.data(), sizeof(float), SQLT_BFLOAT);
  } else {
    doubles_.assign(rows, 0);
    define_buffer(statement, position, rows, doubles_.data(), sizeof(double), SQLT_BDOUBLE);
  }
}

void ora_float::to_variant(ole_variant& value) {
  if (single_)
    value = ole_variant(floats_[slot_]);
  else
    value.set(doubles_[slot_]);
}
