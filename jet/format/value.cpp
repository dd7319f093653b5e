#include "jet/format/value.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string jet_numeric_text(const std::vector<uint8_t>& stored, uint8_t scale) {
  if (stored.size() < 17) return "";
  // Sign byte, then four little-endian 32-bit words, most significant first.
  uint32_t words[4];
  for (int w = 0; w < 4; ++w) {
    const uint8_t* p = stored.data() + 1 + 4 * w;
    words[w] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  std::string digits;
  bool zero = false;
  while (!zero) {
    uint64_t remainder = 0;
    zero = true;
    for (uint32_t& word : words) {
      uint64_t current = remainder << 32 | word;
      word = uint32_t(current / 10);
      remainder = current % 10;
      if (word) zero = false;
    }
    digits.push_back(char('0' + remainder));
  }
  while (digits.size() <= scale) digits.push_back('0');
  std::reverse(digits.begin(), digits.end());
  if (scale) digits.insert(digits.end() - scale, '.');
  if (stored[0] & 0x80) digits.insert(digits.begin(), '-');
  return digits;
}

std::string jet_currency_text(int64_t units) {
  bool negative = units < 0;
  uint64_t magnitude = negative ? uint64_t(0) - uint64_t(units) : uint64_t(units);
  std::string text = std::to_string(magnitude / 10000);
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%04u", unsigned(magnitude % 10000));
  return (negative ? "-" : "") + text + fraction;
}

std::string jet_guid_text(const std::vector<uint8_t>& b) {
  if (b.size() < 16) return "";
  char text[40];
  std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
  return text;
}

namespace {

// Civil date from days since 1970-01-01 (proleptic Gregorian).
void civil_from_days(int64_t z, int64_t& year, unsigned& month, unsigned& day) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  unsigned doe = unsigned(z - era * 146097);
  unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  year = int64_t(yoe) + era * 400;
  unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  if (month <= 2) ++year;
}

}  // namespace

std::string jet_date_text(double ole_date) {
  constexpr double ms_per_day = 86400000.0;
  constexpr double unix_epoch_days = 25569.0;  // 1970-01-01 as an OLE date
  if (!(ole_date > -700000.0 && ole_date < 3000000.0)) return "invalid";
  int64_t ms;
  if (ole_date >= 0) {
    ms = int64_t(std::floor((ole_date - unix_epoch_days) * ms_per_day + 0.5));
  } else {
    double whole = std::trunc(ole_date);
    double fraction = whole - ole_date;  // the time of day, counted forward
    ms = int64_t(whole - unix_epoch_days) * 86400000 + int64_t(std::floor(fraction * ms_per_day + 0.5));
  }
  int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
  int64_t in_day = ms - days * 86400000;
  int64_t year;
  unsigned month, day;
  civil_from_days(days, year, month, day);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02u.%03u", static_cast<long long>(year), month,
                day, unsigned(in_day / 3600000), unsigned(in_day / 60000 % 60), unsigned(in_day / 1000 % 60),
                unsigned(in_day % 1000));
  return text;
}

std::string jet_hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text.push_back(digits[b >> 4]);
    text.push_back(digits[b & 15]);
  }
  return text;
}
