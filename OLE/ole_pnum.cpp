#include "OLE/ole_pnum.h"

#include <charconv>
#include <system_error>

namespace {
// One optional minus, digits with at most one point, no other character.
bool is_plain(std::string_view text) {
  size_t i = text.empty() || text[0] != '-' ? 0 : 1;
  bool point = false, digit = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') digit = true;
    else if (c == '.' && !point) point = true;
    else return false;
  }
  return digit;
}
}  // namespace

bool ole_plain_decimal(std::string_view text, DECIMAL* out) {
  if (!is_plain(text)) return false;
  size_t i = 0;
  bool negative = text[0] == '-';
  if (negative) ++i;
  unsigned __int128 magnitude = 0;
  int significant = 0, decimals = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == '.') {
      point = true;
      continue;
    }
    if (point) ++decimals;
    if (significant == 0 && c == '0') continue;  // leading zeros carry nothing
    if (++significant > 28) return false;
    magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
  }
  if (decimals > 28) return false;
  int scale = decimals;
  if (magnitude == 0) {
    // A written zero keeps its decimals, and with them its sign.
    negative = negative && scale > 0;
  } else {
    while (scale > 0 && magnitude % 10 == 0) {
      magnitude /= 10;
      --scale;
    }
  }
  DECIMAL d;
  d.wReserved = 0;
  d.scale = static_cast<BYTE>(scale);
  d.sign = negative ? DECIMAL_NEG : 0;
  d.Lo64 = static_cast<ULONGLONG>(magnitude);
  d.Hi32 = static_cast<ULONG>(magnitude >> 64);
  *out = d;
  return true;
}

bool ole_plain_double(std::string_view text, double* out) {
  if (!is_plain(text)) return false;
  double value = 0;
  std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
  *out = value;
  return true;
}
