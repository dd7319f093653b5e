#include "ocilite/ocl_val.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ocl {

namespace {

const char* const month_names[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",
                                   "MAY",     "JUNE",     "JULY",      "AUGUST",
                                   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

// Shortest digit string that reads back as the same double; value > 0.
// Answers the digits without leading/trailing zeros and the exponent e with
// value = 0.digits × 10^e.
void decimal_digits(double value, std::string& digits, int& exponent) {
  // Fast path: a double whose shortest round-trip form has at most 15 digits
  // prints those digits (then zeros) at precision 15, since every decimal of
  // 15 significant digits survives the trip through a normal double. Longer
  // shortest forms are left to the search below.
  if (value >= std::numeric_limits<double>::min()) {
    char shortest[40];
    std::to_chars_result r =
        std::to_chars(shortest, shortest + sizeof shortest - 1, value, std::chars_format::scientific);
    if (r.ec == std::errc()) {
      *r.ptr = '\0';
      char found[20];
      size_t count = 0;
      const char* p = shortest;
      for (; p < r.ptr && *p != 'e' && count < sizeof found; ++p)
        if (*p >= '0' && *p <= '9') found[count++] = *p;
      if (p < r.ptr && *p == 'e' && count <= 15) {
        while (count > 1 && found[count - 1] == '0') --count;
        digits.assign(found, count);
        exponent = std::atoi(p + 1) + 1;
        return;
      }
    }
  }
  char buf[64];
  for (int precision = 15; precision <= 17; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, value);
    if (std::strtod(buf, nullptr) == value) break;
  }
  // buf: d.ddddde±xx
  digits.clear();
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (std::isdigit((unsigned char)*p)) digits += *p;
  exponent = std::atoi(p + 1) + 1;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int days_in_month(int y, int m) {
  static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : d[m - 1];
}

const char* const day_names[] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};

// 0 for Sunday .. 6 for Saturday (proleptic Gregorian).
int weekday(int y, int m, int d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long days = era * 146097 + doe - 719468;  // since 1970-01-01, a Thursday
  return (int)(((days % 7) + 11) % 7);
}

bool read_digits(std::string_view s, size_t& i, int max_digits, int& value, int min_digits = 1) {
  int count = 0;
  value = 0;
  while (i < s.size() && count < max_digits && std::isdigit((unsigned char)s[i])) {
    value = value * 10 + (s[i] - '0');
    ++i;
    ++count;
  }
  return count >= min_digits;
}

std::string two(int v) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

}  // namespace

size_t number_chars(int64_t value, char* out) {
  return static_cast<size_t>(std::to_chars(out, out + number_chars_capacity, value).ptr - out);
}

size_t number_chars(double value, char* out) {
  auto put = [&](const char* text) {
    size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return n;
  };
  if (std::isnan(value)) return put("~");
  if (value == 0) return put("0");
  if (std::isinf(value)) return put(value > 0 ? "~" : "-~");
  if (std::fabs(value) < 9.2e18 && value == std::trunc(value)) return number_chars((int64_t)value, out);
  std::string digits;
  int e = 0;
  decimal_digits(std::fabs(value), digits, e);
  const size_t count = digits.size();  // 1 to 17
  size_t n = 0;
  if (value < 0) out[n++] = '-';
  // The plain form when it takes at most 40 characters, sign included.
  size_t plain = e <= 0 ? 1 + (size_t)-e + count : (size_t)e >= count ? (size_t)e : count + 1;
  if (n + plain <= 40) {
    if (e <= 0) {
      out[n++] = '.';
      for (int k = 0; k < -e; ++k) out[n++] = '0';
      for (char c : digits) out[n++] = c;
    } else if ((size_t)e >= count) {
      for (char c : digits) out[n++] = c;
      for (size_t k = count; k < (size_t)e; ++k) out[n++] = '0';
    } else {
      for (size_t k = 0; k < count; ++k) {
        if (k == (size_t)e) out[n++] = '.';
        out[n++] = digits[k];
      }
    }
    return n;
  }
  out[n++] = digits[0];
  if (count > 1) {
    out[n++] = '.';
    for (size_t k = 1; k < count; ++k) out[n++] = digits[k];
  }
  int x = e - 1;
  out[n++] = 'E';
  out[n++] = x < 0 ? '-' : '+';
  n += static_cast<size_t>(std::to_chars(out + n, out + number_chars_capacity, std::abs(x)).ptr - (out + n));
  return n;
}

std::string number_text(int64_t value) {
  char text[number_chars_capacity];
  return std::string(text, number_chars(value, text));
}

std::string number_text(double value) {
  char text[number_chars_capacity];
  return std::string(text, number_chars(value, text));
}

size_t oracle_number(std::string_view text, unsigned char* out) {
  if (text == "~") {
    out[0] = 0xFF;
    out[1] = 101;
    return 2;
  }
  if (text == "-~") {
    out[0] = 0;
    return 1;
  }
  size_t i = 0;
  bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  // Significant digits without leading zeros, and e with value = 0.digits × 10^e.
  char digits[48];
  size_t count = 0;
  int e = 0;
  bool point = false, any = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == '.') {
      if (point) return 0;
      point = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    any = true;
    if (count == 0 && c == '0') {
      if (point) --e;
      continue;
    }
    if (count == sizeof digits) return 0;
    digits[count++] = c;
    if (!point) ++e;
  }
  if (!any) return 0;
  if (i < text.size()) {
    if (text[i] != 'E' && text[i] != 'e') return 0;
    int x = 0;
    const char* first = text.data() + i + 1;
    if (first < text.data() + text.size() && *first == '+') ++first;
    std::from_chars_result r = std::from_chars(first, text.data() + text.size(), x);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return 0;
    e += x;
  }
  while (count > 0 && digits[count - 1] == '0') --count;
  if (count == 0) {
    out[0] = 0x80;
    return 1;
  }
  // Base-100 digits: the decimal point must fall between pairs.
  char padded[50];
  size_t n = 0;
  if (e % 2 != 0) padded[n++] = '0';
  std::memcpy(padded + n, digits, count);
  n += count;
  if (n % 2 != 0) padded[n++] = '0';
  int exponent = (e + (e % 2 != 0 ? 1 : 0)) / 2 - 1;  // of the first pair, in hundreds
  if (exponent > 62) return 0;
  if (exponent < -65) {
    out[0] = 0x80;  // below NUMBER's smallest: zero, as Oracle stores it
    return 1;
  }
  size_t pairs = std::min<size_t>(n / 2, 20);
  out[0] = static_cast<unsigned char>(exponent + 193);
  for (size_t k = 0; k < pairs; ++k) out[1 + k] = static_cast<unsigned char>((padded[2 * k] - '0') * 10 + (padded[2 * k + 1] - '0') + 1);
  size_t length = 1 + pairs;
  if (negative) {
    out[0] = static_cast<unsigned char>(~out[0]);
    for (size_t k = 1; k < length; ++k) out[k] = static_cast<unsigned char>(102 - out[k]);
    if (length < oracle_number_capacity) out[length++] = 102;
  }
  return length;
}

size_t oracle_number(int64_t value, unsigned char* out) {
  if (value == 0) {
    out[0] = 0x80;
    return 1;
  }
  const bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  // Base-100 digits below the last non-zero one are dropped.
  int dropped = 0;
  while (magnitude % 100 == 0) {
    magnitude /= 100;
    ++dropped;
  }
  // The digits left, counted first so that they are written in place from
  // the lowest: at most ten, 100^10 being past 2^64.
  int count = 1;
  for (uint64_t limit = 100; count < 10 && magnitude >= limit; limit *= 100) ++count;
  const int exponent = count + dropped - 1;
  out[0] = static_cast<unsigned char>(negative ? 62 - exponent : exponent + 193);
  for (int k = count; k >= 1; --k) {
    const unsigned pair = static_cast<unsigned>(magnitude % 100);
    magnitude /= 100;
    out[k] = static_cast<unsigned char>(negative ? 101 - pair : pair + 1);
  }
  size_t length = static_cast<size_t>(count) + 1;
  if (negative) out[length++] = 102;
  return length;
}

std::string binary_double_text(double value, bool single) {
  if (std::isnan(value)) return "Nan";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  if (value == 0) return "0";
  std::string digits;
  int e = 0;
  if (single) {
    char buf[32];
    for (int precision = 6; precision <= 9; ++precision) {
      std::snprintf(buf, sizeof buf, "%.*e", precision - 1, value);
      if ((float)std::strtod(buf, nullptr) == (float)value) break;
    }
    value = std::strtod(buf, nullptr);
  }
  decimal_digits(std::fabs(value), digits, e);
  std::string text = value < 0 ? "-" : "";
  text += digits.substr(0, 1) + "." + (digits.size() > 1 ? digits.substr(1) : "0");
  char exp[16];
  std::snprintf(exp, sizeof exp, "E%c%03d", e - 1 < 0 ? '-' : '+', std::abs(e - 1));
  return text + exp;
}

// Rounds (half away from zero) or truncates at a decimal place, working on
// the value's 15 significant decimal digits as Oracle's decimal NUMBER would,
// so 1.005 rounds to 1.01 although its binary double lies just below.
double decimal_round(double value, int places, bool round) {
  if (value == 0 || !std::isfinite(value)) return value;
  // A whole number has only zeros past the point: nothing to round there.
  if (places >= 0 && std::trunc(value) == value) return value;
  // d.dddddddddddddde±x: to_chars rounds to 15 digits exactly as "%.14e" does.
  char buf[40];
  const std::to_chars_result printed =
      std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
  char digits[24];
  int count = 0;
  const char* p = buf;
  for (; p < printed.ptr && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits[count++] = *p;
  int exponent = 0;  // value = d.ddd × 10^exponent
  if (p < printed.ptr) {
    const bool negative = p[1] == '-';
    std::from_chars(p + 2, printed.ptr, exponent);
    if (negative) exponent = -exponent;
  }
  const int keep = exponent + 1 + places;  // digits before the cut
  if (keep < 0) return 0;
  if (keep >= count) return value;
  bool up = round && digits[keep] >= '5';
  // Carry the rounding through the kept digits.
  for (int i = keep - 1; up && i >= 0; --i) {
    if (digits[i] == '9') digits[i] = '0';
    else { ++digits[i]; up = false; }
  }
  // 0.<kept digits>e<exponent + 1>, read back exactly as strtod reads it.
  char text[48] = "0.";
  int n = 2;
  if (up) {
    text[n++] = '1';
    ++exponent;
  }
  for (int i = 0; i < keep; ++i) text[n++] = digits[i];
  if (n == 2) text[n++] = '0';
  text[n++] = 'e';
  n = static_cast<int>(std::to_chars(text + n, text + sizeof text, exponent + 1).ptr - text);
  double result = 0;
  std::from_chars(text, text + n, result);
  return value < 0 ? -result : result;
}

bool format_number(double value, const std::string& mask_written, std::string& text) {
  std::string mask;
  for (char c : mask_written) mask += (char)std::toupper((unsigned char)c);
  bool fill_mode = mask.rfind("FM", 0) == 0;
  if (fill_mode) mask = mask.substr(2);
  bool dollar = !mask.empty() && mask[0] == '$';
  if (dollar) mask = mask.substr(1);
  size_t point = mask.find_first_of(".D");
  std::string whole = mask.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : mask.substr(point + 1);
  for (char c : whole)
    if (c != '9' && c != '0' && c != ',' && c != 'G') return false;
  for (char c : fraction)
    if (c != '9' && c != '0') return false;
  // The digits, rounded half away from zero at the mask's last decimal.
  double rounded = decimal_round(std::fabs(value), (int)fraction.size(), true);
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", (int)fraction.size(), rounded);
  std::string digits = buf;
  std::string int_digits = digits.substr(0, digits.find('.'));
  std::string frac_digits = fraction.empty() ? "" : digits.substr(digits.find('.') + 1);
  if (int_digits == "0") int_digits.clear();  // "9.99" shows .50; a 0 in the mask forces it
  size_t slots = 0;
  for (char c : whole)
    if (c == '9' || c == '0') ++slots;
  size_t width = whole.size() + (point == std::string::npos ? 0 : 1 + fraction.size()) + (dollar ? 1 : 0) + 1;
  if (int_digits.size() > slots) {
    text = std::string(width, '#');
    return true;
  }
  // The whole part, from the right: digits, forced zeros, group separators.
  size_t first_zero = whole.find('0');
  std::string out;
  size_t taken = 0;
  for (size_t i = whole.size(); i-- > 0;) {
    char m = whole[i];
    bool forced = first_zero != std::string::npos && i >= first_zero;
    if (m == ',' || m == 'G') {
      out.insert(out.begin(), taken < int_digits.size() || forced ? ',' : ' ');
      continue;
    }
    if (taken < int_digits.size()) out.insert(out.begin(), int_digits[int_digits.size() - 1 - taken++]);
    else out.insert(out.begin(), forced ? '0' : ' ');
  }
  if (!fraction.empty()) out += "." + frac_digits;
  // Sign and currency go right before the first digit.
  size_t lead = out.find_first_not_of(' ');
  if (lead == std::string::npos) lead = out.size();
  std::string prefix = std::string(value < 0 && rounded != 0 ? "-" : " ") + (dollar ? "$" : "");
  out.insert(lead, prefix);
  out.insert(0, std::string(width > out.size() ? width - out.size() : 0, ' '));
  if (fill_mode) {
    out.erase(0, out.find_first_not_of(' '));
    if (value >= 0 || rounded == 0) out.erase(0, out.find_first_not_of(' '));
    // In fill mode, 9s after the point drop trailing zeros.
    size_t dot = out.find('.');
    if (dot != std::string::npos && fraction.find('0') == std::string::npos) {
      while (!out.empty() && out.back() == '0') out.pop_back();
    }
  }
  text = out;
  return true;
}

bool parse_number(std::string_view text, double& value) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace((unsigned char)text[b])) ++b;
  while (e > b && std::isspace((unsigned char)text[e - 1])) --e;
  std::string s(text.substr(b, e - b));
  if (s.empty()) return false;
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  bool digits = false;
  while (i < s.size() && std::isdigit((unsigned char)s[i])) { ++i; digits = true; }
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit((unsigned char)s[i])) { ++i; digits = true; }
  }
  if (!digits) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i >= s.size() || !std::isdigit((unsigned char)s[i])) return false;
    while (i < s.size() && std::isdigit((unsigned char)s[i])) ++i;
  }
  if (i != s.size()) return false;
  value = std::strtod(s.c_str(), nullptr);
  return true;
}

bool valid_datetime(const datetime& v) {
  return v.year >= 1 && v.year <= 9999 && v.month >= 1 && v.month <= 12 && v.day >= 1 &&
         v.day <= days_in_month(v.year, v.month) && v.hour >= 0 && v.hour <= 23 &&
         v.minute >= 0 && v.minute <= 59 && v.second >= 0 && v.second <= 59 && v.nanos >= 0 &&
         v.nanos < 1000000000;
}

namespace {
// The stored form itself, "YYYY-MM-DD HH:MM:SS" with an optional fraction and
// nothing else, read without the general scan; false leaves it to that scan.
bool parse_stored_exactly(std::string_view s, datetime& v) {
  if (s.size() < 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':') return false;
  static constexpr unsigned char places[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
  for (unsigned char k : places)
    if (s[k] < '0' || s[k] > '9') return false;
  auto two = [&](size_t k) { return (s[k] - '0') * 10 + (s[k + 1] - '0'); };
  v.year = two(0) * 100 + two(2);
  v.month = two(5);
  v.day = two(8);
  v.hour = two(11);
  v.minute = two(14);
  v.second = two(17);
  if (s.size() > 19) {
    if (s[19] != '.') return false;
    int scale = 100000000;
    for (size_t i = 20; i < s.size(); ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      v.nanos += (s[i] - '0') * scale;
      scale /= 10;
    }
  }
  return true;
}
}  // namespace

bool parse_stored_datetime(std::string_view s, datetime& v) {
  v = datetime();
  if (parse_stored_exactly(s, v)) return valid_datetime(v);
  v = datetime();
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (!read_digits(s, i, 4, v.year, 4) || i >= s.size() || s[i++] != '-') return false;
  if (!read_digits(s, i, 2, v.month) || i >= s.size() || s[i++] != '-') return false;
  if (!read_digits(s, i, 2, v.day)) return false;
  if (i < s.size() && (s[i] == ' ' || s[i] == 'T') && i + 1 < s.size() &&
      std::isdigit((unsigned char)s[i + 1])) {
    ++i;
    if (!read_digits(s, i, 2, v.hour) || i >= s.size() || s[i++] != ':') return false;
    if (!read_digits(s, i, 2, v.minute)) return false;
    if (i < s.size() && s[i] == ':') {
      ++i;
      if (!read_digits(s, i, 2, v.second)) return false;
      if (i < s.size() && s[i] == '.') {
        ++i;
        int scale = 100000000;
        while (i < s.size() && std::isdigit((unsigned char)s[i])) {
          v.nanos += (s[i++] - '0') * scale;
          scale /= 10;
        }
      }
    }
  }
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    int sign = s[i++] == '-' ? -1 : 1, h = 0, m = 0;
    if (!read_digits(s, i, 2, h)) return false;
    if (i < s.size() && s[i] == ':') {
      ++i;
      if (!read_digits(s, i, 2, m)) return false;
    }
    v.has_zone = true;
    v.zone_minutes = sign * (h * 60 + m);
  }
  while (i < s.size() && s[i] == ' ') ++i;
  return i == s.size() && valid_datetime(v);
}

namespace {
// Writes v as `width` decimal digits, zero-padded; v is within range.
char* put_digits(char* out, int v, int width) {
  for (int i = width - 1; i >= 0; --i, v /= 10) out[i] = static_cast<char>('0' + v % 10);
  return out + width;
}

// The fields "%04d-%02d-%02d %02d:%02d:%02d" prints without sign or extra width.
bool plain_fields(const datetime& v) {
  return v.year >= 0 && v.year <= 9999 && v.month >= 0 && v.month <= 99 && v.day >= 0 && v.day <= 99 &&
         v.hour >= 0 && v.hour <= 99 && v.minute >= 0 && v.minute <= 99 && v.second >= 0 && v.second <= 99;
}
}  // namespace

// Stored values are written for every row a statement loads, so the common
// fields are put digit by digit; anything unusual goes through snprintf.
std::string stored_date(const datetime& v) {
  char b[32];
  if (plain_fields(v)) {
    char* p = put_digits(b, v.year, 4);
    *p++ = '-';
    p = put_digits(p, v.month, 2);
    *p++ = '-';
    p = put_digits(p, v.day, 2);
    *p++ = ' ';
    p = put_digits(p, v.hour, 2);
    *p++ = ':';
    p = put_digits(p, v.minute, 2);
    *p++ = ':';
    p = put_digits(p, v.second, 2);
    return std::string(b, p);
  }
  std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", v.year, v.month, v.day, v.hour,
                v.minute, v.second);
  return b;
}

std::string stored_timestamp(const datetime& v) {
  std::string text = stored_date(v);
  char b[64];
  if (v.nanos >= 0 && v.nanos <= 999999999) {
    b[0] = '.';
    text.append(b, put_digits(b + 1, v.nanos, 9));
  } else {
    std::snprintf(b, sizeof b, ".%09d", v.nanos);
    text += b;
  }
  if (v.has_zone) {
    int z = std::abs(v.zone_minutes);
    std::snprintf(b, sizeof b, " %c%02d:%02d", v.zone_minutes < 0 ? '-' : '+', z / 60, z % 60);
    text += b;
  }
  return text;
}

void to_oracle_date(const datetime& v, unsigned char out[7]) {
  out[0] = (unsigned char)(v.year / 100 + 100);
  out[1] = (unsigned char)(v.year % 100 + 100);
  out[2] = (unsigned char)v.month;
  out[3] = (unsigned char)v.day;
  out[4] = (unsigned char)(v.hour + 1);
  out[5] = (unsigned char)(v.minute + 1);
  out[6] = (unsigned char)(v.second + 1);
}

int parse_with_format(std::string_view text, std::string_view format, datetime& v) {
  v = datetime();
  std::string f(format);
  for (char& c : f) c = (char)std::toupper((unsigned char)c);
  size_t i = 0, k = 0;
  bool pm = false, twelve = false;
  int day_of_week = -1;
  auto skip_blanks = [&] { while (i < text.size() && text[i] == ' ') ++i; };
  // The first letter is tested apart: most elements are told apart by it.
  auto starts = [&](const char* p) { return f[k] == p[0] && f.compare(k, std::strlen(p), p) == 0; };
  while (k < f.size()) {
    int value = 0;
    if (f[k] == '"') {  // "quoted text" stands for itself
      size_t close = f.find('"', k + 1);
      if (close == std::string::npos) return 1821;
      std::string_view literal = format.substr(k + 1, close - k - 1);
      if (text.substr(i, literal.size()) != literal) return 1861;
      i += literal.size();
      k = close + 1;
    } else if (starts("FM") || starts("FX")) {
      k += 2;
    } else if (starts("DAY") || starts("DY")) {
      skip_blanks();
      bool found = false;
      for (int d = 0; d < 7 && !found; ++d) {
        std::string full = day_names[d];
        for (size_t len : {full.size(), (size_t)3}) {
          if (text.size() - i >= len) {
            bool same = true;
            for (size_t c = 0; c < len; ++c)
              if (std::toupper((unsigned char)text[i + c]) != full[c]) same = false;
            if (same) { day_of_week = d; i += len; found = true; break; }
          }
        }
      }
      if (!found) return 1846;
      k += starts("DAY") ? 3 : 2;
    } else if (starts("X")) {
      if (i < text.size() && text[i] == '.') ++i;
      ++k;
    } else if (starts("YYYY") || starts("RRRR")) {
      skip_blanks();
      if (!read_digits(text, i, 4, value)) return 1861;
      v.year = value;
      k += 4;
    } else if (starts("YY") || starts("RR")) {
      skip_blanks();
      size_t before = i;
      if (!read_digits(text, i, 4, value)) return 1861;
      if (i - before <= 2) value += starts("RR") ? (value < 50 ? 2000 : 1900) : 2000;
      v.year = value;
      k += 2;
    } else if (starts("MONTH") || starts("MON")) {
      skip_blanks();
      bool found = false;
      for (int m = 0; m < 12 && !found; ++m) {
        std::string full = month_names[m];
        for (size_t len : {full.size(), (size_t)3}) {
          if (text.size() - i >= len) {
            bool same = true;
            for (size_t c = 0; c < len; ++c)
              if (std::toupper((unsigned char)text[i + c]) != full[c]) same = false;
            if (same) { v.month = m + 1; i += len; found = true; break; }
          }
        }
      }
      if (!found) return 1843;
      k += starts("MONTH") ? 5 : 3;
    } else if (starts("MM")) {
      if (!read_digits(text, i, 2, v.month)) return 1861;
      if (v.month < 1 || v.month > 12) return 1843;
      k += 2;
    } else if (starts("DD")) {
      skip_blanks();
      if (!read_digits(text, i, 2, v.day)) return 1861;
      k += 2;
    } else if (starts("HH24")) {
      if (!read_digits(text, i, 2, v.hour)) return 1861;
      if (v.hour > 23) return 1850;
      k += 4;
    } else if (starts("HH12") || starts("HH")) {
      if (!read_digits(text, i, 2, v.hour)) return 1861;
      if (v.hour < 1 || v.hour > 12) return 1850;
      twelve = true;
      k += starts("HH12") ? 4 : 2;
    } else if (starts("MI")) {
      if (!read_digits(text, i, 2, v.minute)) return 1861;
      if (v.minute > 59) return 1851;
      k += 2;
    } else if (starts("SS")) {
      if (!read_digits(text, i, 2, v.second)) return 1861;
      if (v.second > 59) return 1852;
      k += 2;
    } else if (starts("FF")) {
      k += 2;
      if (k < f.size() && std::isdigit((unsigned char)f[k])) ++k;
      int scale = 100000000;
      size_t before = i;
      while (i < text.size() && std::isdigit((unsigned char)text[i]) && i - before < 9) {
        v.nanos += (text[i++] - '0') * scale;
        scale /= 10;
      }
    } else if (starts("AM") || starts("PM") || starts("A.M.") || starts("P.M.")) {
      skip_blanks();
      if (i + 1 < text.size()) {
        char c = (char)std::toupper((unsigned char)text[i]);
        pm = c == 'P';
        if (c != 'A' && c != 'P') return 1861;
        i += text.size() > i + 3 && text[i + 1] == '.' ? 4 : 2;
      }
      k += f[k + 1] == '.' ? 4 : 2;
    } else if (starts("TZH")) {
      skip_blanks();
      int sign = 1;
      if (i < text.size() && (text[i] == '+' || text[i] == '-')) sign = text[i++] == '-' ? -1 : 1;
      if (!read_digits(text, i, 2, value)) return 1861;
      v.has_zone = true;
      v.zone_minutes = sign * value * 60;
      k += 3;
    } else if (starts("TZM")) {
      if (!read_digits(text, i, 2, value)) return 1861;
      v.zone_minutes += v.zone_minutes < 0 ? -value : value;
      k += 3;
    } else if (std::isalnum((unsigned char)f[k])) {
      return 1821;
    } else {
      // Punctuation in the mask matches any punctuation or blank in the text.
      if (i < text.size() && !std::isalnum((unsigned char)text[i])) ++i;
      ++k;
    }
  }
  skip_blanks();
  if (i != text.size()) return 1861;
  if (twelve) v.hour = v.hour % 12 + (pm ? 12 : 0);
  if (v.year < 1 || v.year > 9999) return 1841;
  if (v.day < 1 || v.day > days_in_month(v.year, v.month)) return 1847;
  if (day_of_week >= 0 && day_of_week != weekday(v.year, v.month, v.day)) return 1835;
  return 0;
}

std::string format_datetime(const datetime& v, std::string_view format) {
  if (format.empty()) return default_date_text(v);
  std::string f(format), out;
  std::string upper = f;
  for (char& c : upper) c = (char)std::toupper((unsigned char)c);
  size_t k = 0;
  auto starts = [&](const char* p) { return upper.compare(k, std::strlen(p), p) == 0; };
  char b[32];
  while (k < f.size()) {
    if (f[k] == '"') {
      size_t close = f.find('"', k + 1);
      if (close == std::string::npos) close = f.size();
      out += f.substr(k + 1, close - k - 1);
      k = close + 1;
    }
    else if (starts("FM") || starts("FX")) k += 2;
    else if (starts("DAY")) { out += day_names[weekday(v.year, v.month, v.day)]; k += 3; }
    else if (starts("DY")) { out += std::string(day_names[weekday(v.year, v.month, v.day)]).substr(0, 3); k += 2; }
    else if (starts("X")) { out += '.'; ++k; }
    else if (starts("YYYY") || starts("RRRR")) { std::snprintf(b, sizeof b, "%04d", v.year); out += b; k += 4; }
    else if (starts("YY") || starts("RR")) { out += two(v.year % 100); k += 2; }
    else if (starts("MONTH")) { out += month_names[v.month - 1]; k += 5; }
    else if (starts("MON")) { out += std::string(month_names[v.month - 1]).substr(0, 3); k += 3; }
    else if (starts("MM")) { out += two(v.month); k += 2; }
    else if (starts("DD")) { out += two(v.day); k += 2; }
    else if (starts("HH24")) { out += two(v.hour); k += 4; }
    else if (starts("HH12") || starts("HH")) { out += two(v.hour % 12 == 0 ? 12 : v.hour % 12); k += starts("HH12") ? 4 : 2; }
    else if (starts("MI")) { out += two(v.minute); k += 2; }
    else if (starts("SS")) { out += two(v.second); k += 2; }
    else if (starts("FF")) {
      k += 2;
      int digits = 6;
      if (k < f.size() && std::isdigit((unsigned char)f[k])) digits = f[k++] - '0';
      std::snprintf(b, sizeof b, "%09d", v.nanos);
      out += std::string(b).substr(0, digits);
    }
    else if (starts("AM") || starts("PM")) { out += v.hour < 12 ? "AM" : "PM"; k += 2; }
    else if (starts("TZH")) { std::snprintf(b, sizeof b, "%c%02d", v.zone_minutes < 0 ? '-' : '+', std::abs(v.zone_minutes) / 60); out += b; k += 3; }
    else if (starts("TZM")) { out += two(std::abs(v.zone_minutes) % 60); k += 3; }
    else out += f[k++];
  }
  return out;
}

std::string default_date_text(const datetime& v) { return format_datetime(v, "DD-MON-RR"); }

std::string default_timestamp_text(const datetime& v, int fraction) {
  std::string text = format_datetime(v, "DD-MON-RR HH.MI.SS");
  if (fraction > 0) {
    char b[16];
    std::snprintf(b, sizeof b, "%09d", v.nanos);
    text += "." + std::string(b).substr(0, fraction);
  }
  text += v.hour < 12 ? " AM" : " PM";
  if (v.has_zone) text += " " + format_datetime(v, "TZH:TZM");
  return text;
}

int normalize_interval(std::string_view text, std::string_view from_unit,
                       std::string_view to_unit, std::string& canonical) {
  std::string s(text);
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  int sign = 1;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) sign = s[i++] == '-' ? -1 : 1;
  std::string from(from_unit), to(to_unit.empty() ? from_unit : to_unit);
  char b[64];
  if (from == "YEAR" || from == "MONTH") {
    int years = 0, months = 0;
    if (from == "YEAR") {
      if (!read_digits(s, i, 9, years)) return 1867;
      if (to == "MONTH") {
        if (i >= s.size() || s[i++] != '-' || !read_digits(s, i, 2, months) || months > 11) return 1867;
      }
    } else {
      if (!read_digits(s, i, 9, months)) return 1867;
      years = months / 12;
      months %= 12;
    }
    if (i != s.size()) return 1867;
    std::snprintf(b, sizeof b, "%c%02d-%02d", sign < 0 ? '-' : '+', years, months);
    canonical = b;
    return 0;
  }
  // Day-to-second family: read the fields from the first unit to the last.
  static const char* units[] = {"DAY", "HOUR", "MINUTE", "SECOND"};
  int first = -1, last = -1;
  for (int u = 0; u < 4; ++u) {
    if (from == units[u]) first = u;
    if (to == units[u]) last = u;
  }
  if (first < 0 || last < first) return 1867;
  long long field[4] = {0, 0, 0, 0};
  int nanos = 0;
  for (int u = first; u <= last; ++u) {
    if (u > first) {
      char expected = u == 1 ? ' ' : ':';
      if (i >= s.size() || s[i] != expected) return 1867;
      ++i;
    }
    int value = 0;
    if (!read_digits(s, i, 9, value)) return 1867;
    field[u] = value;
    if (u == 3 && i < s.size() && s[i] == '.') {
      ++i;
      int scale = 100000000;
      while (i < s.size() && std::isdigit((unsigned char)s[i])) {
        nanos += (s[i++] - '0') * scale;
        scale /= 10;
      }
    }
  }
  if (i != s.size()) return 1867;
  long long total = ((field[0] * 24 + field[1]) * 60 + field[2]) * 60 + field[3];
  if (first < 3 && (field[3] > 59 && last == 3 && first != 3)) return 1867;
  std::snprintf(b, sizeof b, "%c%02lld %02lld:%02lld:%02lld.%06d", sign < 0 ? '-' : '+',
                total / 86400, total / 3600 % 24, total / 60 % 60, total % 60, nanos / 1000);
  canonical = b;
  return 0;
}

std::string hex_text(const void* data, size_t size) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(size * 2);
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

bool parse_hex(std::string_view text, std::string& bytes) {
  bytes.clear();
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    c = (char)std::toupper((unsigned char)c);
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  size_t i = 0;
  if (text.size() % 2) {
    int n = nibble(text[0]);
    if (n < 0) return false;
    bytes += (char)n;
    i = 1;
  }
  for (; i < text.size(); i += 2) {
    int h = nibble(text[i]), l = nibble(text[i + 1]);
    if (h < 0 || l < 0) return false;
    bytes += (char)(h * 16 + l);
  }
  return true;
}

}  // namespace ocl
