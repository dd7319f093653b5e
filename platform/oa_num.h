#pragma once
// Number helpers shared by the OLE Automation conversions: exact decimal
// values (sign, 96-bit magnitude, power-of-ten scale), the reading of numeric
// text under the en-US rules, rounding half to even, and the text forms.
#include <string>

#include "platform/oleauto.h"

namespace platform::oa {

using u128 = unsigned __int128;

constexpr u128 max_96 = (static_cast<u128>(1) << 96) - 1;
constexpr int max_scale = 28;

// magnitude * 10^-scale, negated when `negative`.
struct exact {
  bool negative = false;
  u128 magnitude = 0;
  int scale = 0;
};

exact from_decimal(const DECIMAL& d);
DECIMAL to_decimal(const exact& e);  // magnitude must fit 96 bits, scale <= 28
exact from_currency(LONGLONG cy);

// Rounds to `scale` decimals, half to even. Returns false when the result
// does not fit 128 bits (only possible when the scale grows).
bool rescale(exact* e, int scale);

// Integer part rounded half to even, checked against [lo, hi].
HRESULT to_integer(const exact& e, __int128 lo, __int128 hi, __int128* out);
HRESULT to_integer(double d, __int128 lo, __int128 hi, __int128* out);
// Currency holds integral parts up to 922,337,203,685,476 when made from an
// integer or a DECIMAL (Windows' limit); from a double the whole CY range.
constexpr __int128 currency_whole_limit = 922337203685477;
HRESULT to_currency(const exact& e, LONGLONG* out);
HRESULT to_currency(double d, LONGLONG* out);
double to_double(const exact& e);
// A double as DECIMAL with `digits` significant digits (15 for R8, 7 for R4).
HRESULT decimal_from_double(double d, int digits, DECIMAL* out);

std::string to_text(const exact& e);  // "-123.45", trailing zeros of the fraction dropped
std::u16string widen(const std::string& ascii);
std::string narrow_ascii(const OLECHAR* text);  // non-ASCII units become 0x7F

// Text read as a number: digits (most significant first) times 10^exponent,
// or a value written in hexadecimal or octal (&H.., &O..).
struct parsed_number {
  bool negative = false;
  std::string digits;
  int exponent = 0;
  int fraction_digits = 0;  // digits written after the decimal point
  bool radix = false;
  unsigned long long radix_value = 0;
};

HRESULT parse_number(const OLECHAR* text, parsed_number* out);

// The parsed number as an exact value; DISP_E_OVERFLOW when it needs more
// than 96 bits or a scale past 28 cannot be rounded away.
HRESULT to_exact(const parsed_number& n, exact* out);
// The same, first rounded (half to even) to at most `scale` decimals.
HRESULT to_exact(const parsed_number& n, int scale, exact* out);
HRESULT to_double(const parsed_number& n, double* out);

// Text forms of doubles: 15 significant digits for R8, 7 for R4.
std::string format_double(double d, int digits);

bool is_blank(OLECHAR c);

}  // namespace platform::oa
