#include "platform/oa_num.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform::oa {
namespace {

u128 pow10(int n) {
  u128 p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

std::string digits_of(u128 v) {
  std::string s;
  do { s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10))); v /= 10; } while (v);
  return s;
}

// Drops `count` low decimal digits of v, rounding half to even.
u128 drop_digits(u128 v, int count) {
  if (count <= 0) return v;
  if (count > 38) return 0;
  u128 p = pow10(count);
  u128 q = v / p, r = v % p, half = p / 2;
  if (r > half || (r == half && (q & 1))) ++q;
  return q;
}

}  // namespace

bool is_blank(OLECHAR c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f' || c == 0xA0; }

exact from_decimal(const DECIMAL& d) {
  exact e;
  e.negative = (d.sign & DECIMAL_NEG) != 0;
  e.magnitude = (static_cast<u128>(d.Hi32) << 64) | d.Lo64;
  e.scale = d.scale;
  return e;
}

DECIMAL to_decimal(const exact& e) {
  DECIMAL d;
  d.wReserved = 0;
  d.scale = static_cast<BYTE>(e.scale);
  d.sign = e.negative ? DECIMAL_NEG : 0;
  d.Lo64 = static_cast<ULONGLONG>(e.magnitude);
  d.Hi32 = static_cast<ULONG>(e.magnitude >> 64);
  return d;
}

exact from_currency(LONGLONG cy) {
  exact e;
  e.negative = cy < 0;
  e.magnitude = cy < 0 ? static_cast<u128>(-(static_cast<__int128>(cy))) : static_cast<u128>(cy);
  e.scale = 4;
  return e;
}

bool rescale(exact* e, int scale) {
  if (scale < e->scale) {
    e->magnitude = drop_digits(e->magnitude, e->scale - scale);
  } else {
    for (int s = e->scale; s < scale; ++s) {
      if (e->magnitude > (~static_cast<u128>(0)) / 10) return false;
      e->magnitude *= 10;
    }
  }
  e->scale = scale;
  return true;
}

HRESULT to_integer(const exact& e, __int128 lo, __int128 hi, __int128* out) {
  exact r = e;
  rescale(&r, 0);
  if (r.magnitude > max_96 + 1) return DISP_E_OVERFLOW;
  __int128 v = static_cast<__int128>(r.magnitude);
  if (r.negative) v = -v;
  if (v < lo || v > hi) return DISP_E_OVERFLOW;
  *out = v;
  return S_OK;
}

HRESULT to_integer(double d, __int128 lo, __int128 hi, __int128* out) {
  if (std::isnan(d) || std::fabs(d) >= 0x1p100) return DISP_E_OVERFLOW;
  double r = std::nearbyint(d);  // the default rounding mode rounds half to even
  __int128 v = static_cast<__int128>(r);
  if (v < lo || v > hi) return DISP_E_OVERFLOW;
  *out = v;
  return S_OK;
}

HRESULT to_currency(const exact& e, LONGLONG* out) {
  __int128 v;
  exact whole = e;
  whole.magnitude = e.scale > 38 ? 0 : e.magnitude / pow10(e.scale);
  whole.scale = 0;
  if (whole.magnitude >= static_cast<u128>(currency_whole_limit)) return DISP_E_OVERFLOW;
  exact r = e;
  if (!rescale(&r, 4)) return DISP_E_OVERFLOW;
  r.scale = 0;
  HRESULT hr = to_integer(r, INT64_MIN, INT64_MAX, &v);
  if (SUCCEEDED(hr)) *out = static_cast<LONGLONG>(v);
  return hr;
}

HRESULT to_currency(double d, LONGLONG* out) {
  if (std::isnan(d) || std::fabs(d) >= 0x1p70) return DISP_E_OVERFLOW;
  if (d == 0) { *out = 0; return S_OK; }
  // d = m * 2^x exactly; d * 10000 is then rounded once, half to even.
  int x;
  double frac = std::frexp(std::fabs(d), &x);
  u128 m = static_cast<u128>(std::ldexp(frac, 53));
  x -= 53;
  u128 v = m * 10000;
  if (x >= 0) {
    v <<= x;
  } else if (-x >= 127) {
    v = 0;
  } else {
    int s = -x;
    u128 q = v >> s, r = v & ((static_cast<u128>(1) << s) - 1), half = static_cast<u128>(1) << (s - 1);
    if (r > half || (r == half && (q & 1))) ++q;
    v = q;
  }
  __int128 signed_v = d < 0 ? -static_cast<__int128>(v) : static_cast<__int128>(v);
  if (signed_v < INT64_MIN || signed_v > INT64_MAX) return DISP_E_OVERFLOW;
  *out = static_cast<LONGLONG>(signed_v);
  return S_OK;
}

// The 96-bit magnitude as a double divided by the power of ten: the result
// Windows gives, which can be one unit in the last place from the nearest.
double to_double(const exact& e) {
  if (e.magnitude == 0) return 0.0;
  double d = static_cast<double>(e.magnitude) / std::pow(10.0, e.scale);
  return e.negative ? -d : d;
}

HRESULT decimal_from_double(double d, int digits, DECIMAL* out) {
  if (std::isnan(d) || std::fabs(d) >= 7.9228162514264338e28) return DISP_E_OVERFLOW;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", digits - 1, d);
  parsed_number n;
  exact e;
  HRESULT hr = parse_number(widen(buf).c_str(), &n);
  if (SUCCEEDED(hr)) hr = to_exact(n, &e);
  if (FAILED(hr)) return hr;
  if (e.magnitude == 0) e = exact{};
  *out = to_decimal(e);
  return S_OK;
}

std::string to_text(const exact& e) {
  std::string digits = digits_of(e.magnitude);
  int scale = e.scale;
  while (scale > 0 && digits.size() > 1 && digits.back() == '0') { digits.pop_back(); --scale; }
  if (scale > 0 && digits == "0") scale = 0;
  if (static_cast<int>(digits.size()) <= scale) digits.insert(0, scale - digits.size() + 1, '0');
  if (scale > 0) digits.insert(digits.size() - scale, 1, '.');
  if (e.negative && e.magnitude != 0) digits.insert(0, 1, '-');
  return digits;
}

std::u16string widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string narrow_ascii(const OLECHAR* text) {
  std::string s;
  for (; text && *text; ++text) s.push_back(*text < 0x80 ? static_cast<char>(*text) : '\x7F');
  return s;
}

HRESULT parse_number(const OLECHAR* text, parsed_number* out) {
  if (!text) return DISP_E_TYPEMISMATCH;
  parsed_number n;
  const OLECHAR* p = text;
  bool plus = false, minus = false, currency = false, paren = false;
  for (;; ++p) {
    if (is_blank(*p)) continue;
    if (*p == u'+' && !plus) { plus = true; continue; }
    if (*p == u'-' && !minus) { minus = true; continue; }
    if (*p == u'$' && !currency) { currency = true; continue; }
    if (*p == u'(' && !paren) { paren = true; continue; }
    break;
  }
  if (*p == u'&' && (p[1] == u'H' || p[1] == u'h' || p[1] == u'O' || p[1] == u'o')) {
    unsigned base = (p[1] == u'H' || p[1] == u'h') ? 16 : 8;
    p += 2;
    int count = 0;
    for (;; ++p, ++count) {
      unsigned digit;
      if (*p >= u'0' && *p <= u'9') digit = *p - u'0';
      else if (base == 16 && *p >= u'a' && *p <= u'f') digit = *p - u'a' + 10;
      else if (base == 16 && *p >= u'A' && *p <= u'F') digit = *p - u'A' + 10;
      else break;
      if (digit >= base) break;
      if (n.radix_value > (~0ULL - digit) / base) return DISP_E_OVERFLOW;
      n.radix_value = n.radix_value * base + digit;
    }
    if (count == 0) return DISP_E_TYPEMISMATCH;
    // Signs around a hexadecimal or octal value are accepted and ignored.
    for (; is_blank(*p) || *p == u'-' || *p == u'+'; ++p) {
    }
    if (*p) return DISP_E_TYPEMISMATCH;
    n.radix = true;
    *out = n;
    return S_OK;
  }
  int written = 0;
  for (; (*p >= u'0' && *p <= u'9') || (*p == u',' && written > 0); ++p) {
    if (*p == u',') continue;
    ++written;
    if (!n.digits.empty() || *p != u'0') n.digits.push_back(static_cast<char>(*p));
  }
  if (*p == u'.') {
    // Thousands separators are skipped after the point as well.
    for (++p; (*p >= u'0' && *p <= u'9') || (*p == u',' && written > 0); ++p) {
      if (*p == u',') continue;
      ++written;
      ++n.fraction_digits;
      if (!n.digits.empty() || *p != u'0') n.digits.push_back(static_cast<char>(*p));
    }
  }
  if (written == 0) return DISP_E_TYPEMISMATCH;
  long exponent = 0;
  if (*p == u'e' || *p == u'E') {
    ++p;
    bool exp_negative = false;
    if (*p == u'+' || *p == u'-') exp_negative = *p++ == u'-';
    if (!(*p >= u'0' && *p <= u'9')) return DISP_E_TYPEMISMATCH;
    for (; *p >= u'0' && *p <= u'9'; ++p)
      if (exponent < 100000) exponent = exponent * 10 + (*p - u'0');
    if (exp_negative) exponent = -exponent;
  }
  bool closed = false;
  bool leading_minus = minus;
  for (;; ++p) {
    if (is_blank(*p)) continue;
    if (*p == u'-' && !leading_minus) { minus = true; continue; }
    if (*p == u'+' && !plus) { plus = true; continue; }
    if (*p == u'$' && !currency) { currency = true; continue; }
    if (*p == u')' && paren && !closed) { closed = true; continue; }
    break;
  }
  if (*p || paren != closed) return DISP_E_TYPEMISMATCH;
  n.negative = minus || paren;
  n.exponent = static_cast<int>(exponent) - n.fraction_digits;
  *out = n;
  return S_OK;
}

HRESULT to_exact(const parsed_number& n, exact* out) {
  exact e;
  e.negative = n.negative;
  if (n.radix) {
    e.negative = false;
    e.magnitude = n.radix_value;
    *out = e;
    return S_OK;
  }
  std::string digits = n.digits;
  long exponent = n.exponent;
  if (digits.empty()) {
    // A written zero keeps the places of its fraction (and then its sign).
    e.scale = exponent < 0 ? static_cast<int>(-exponent > max_scale ? max_scale : -exponent) : 0;
    e.negative = n.negative && e.scale > 0;
    *out = e;
    return S_OK;
  }
  while (exponent < 0 && digits.size() > 1 && digits.back() == '0') { digits.pop_back(); ++exponent; }
  if (exponent >= 0) {
    if (static_cast<long>(digits.size()) + exponent > 29) return DISP_E_OVERFLOW;
    digits.append(static_cast<size_t>(exponent), '0');
    exponent = 0;
  }
  // Round away the places past the largest scale, or past 38 digits.
  long drop = 0;
  if (-exponent > max_scale) drop = -exponent - max_scale;
  if (static_cast<long>(digits.size()) - drop > 38) drop = static_cast<long>(digits.size()) - 38;
  if (drop >= static_cast<long>(digits.size()) + 1) {
    e.magnitude = 0;
  } else {
    size_t keep = digits.size() - static_cast<size_t>(drop);
    u128 head = 0;
    for (size_t i = 0; i < keep; ++i) head = head * 10 + static_cast<unsigned>(digits[i] - '0');
    if (drop > 0) {
      char first = digits[keep];
      bool rest = digits.find_first_not_of('0', keep + 1) != std::string::npos;
      if (first > '5' || (first == '5' && (rest || (head & 1)))) ++head;
    }
    e.magnitude = head;
  }
  e.scale = static_cast<int>(-(exponent + drop));
  if (e.magnitude > max_96) return DISP_E_OVERFLOW;
  *out = e;
  return S_OK;
}

HRESULT to_exact(const parsed_number& n, int scale, exact* out) {
  parsed_number rounded = n;
  if (!n.radix && !n.digits.empty() && n.exponent < -scale) {
    long drop = -scale - n.exponent;
    std::string& d = rounded.digits;
    if (drop > static_cast<long>(d.size())) {
      d.clear();
    } else {
      size_t keep = d.size() - static_cast<size_t>(drop);
      char first = keep < d.size() ? d[keep] : '0';
      bool rest = d.find_first_not_of('0', keep + 1) != std::string::npos && keep + 1 <= d.size();
      d.resize(keep);
      bool odd = !d.empty() && ((d.back() - '0') & 1);
      if (first > '5' || (first == '5' && (rest || odd))) {
        // Add one to the kept digits.
        int i = static_cast<int>(d.size()) - 1;
        for (; i >= 0 && d[i] == '9'; --i) d[i] = '0';
        if (i >= 0) ++d[i];
        else d.insert(d.begin(), '1');
      }
      while (!d.empty() && d[0] == '0') d.erase(d.begin());
    }
    rounded.exponent = -scale;
  }
  return to_exact(rounded, out);
}

HRESULT to_double(const parsed_number& n, double* out) {
  if (n.radix) {
    *out = static_cast<double>(n.radix_value);
    return S_OK;
  }
  if (n.digits.empty()) {
    *out = n.negative ? -0.0 : 0.0;
    return S_OK;
  }
  std::string text = n.digits + "e" + std::to_string(n.exponent);
  double d = std::strtod(text.c_str(), nullptr);
  if (std::isinf(d)) return DISP_E_OVERFLOW;
  *out = n.negative ? -d : d;
  return S_OK;
}

std::string format_double(double d, int digits) {
  if (d == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", digits, d);
  return buf;
}

}  // namespace platform::oa
