#include "OLE/ole_cnum.h"

#include <locale.h>

#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
locale_t c_locale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
  return loc;
}

// Switches the calling thread to the "C" locale for as long as it lives.
class c_locale_scope {
 public:
  c_locale_scope() : previous_(uselocale(c_locale())) {}
  ~c_locale_scope() { uselocale(previous_); }
  c_locale_scope(const c_locale_scope&) = delete;
  c_locale_scope& operator=(const c_locale_scope&) = delete;

 private:
  locale_t previous_;
};
}  // namespace

double ole_c_atof(const char* text) {
  if (!text) return 0.0;
  return strtod_l(text, nullptr, c_locale());
}

std::string ole_c_format(const char* format, ...) {
  c_locale_scope scope;
  char small[128];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::vector<char> big(static_cast<size_t>(n) + 1);
  va_start(args, format);
  std::vsnprintf(big.data(), big.size(), format, args);
  va_end(args);
  return std::string(big.data(), static_cast<size_t>(n));
}

int32_t ole_truncate_to_int32(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int64_t ole_truncate_to_int64(double value) {
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) return INT64_MIN;
  return static_cast<int64_t>(value);
}
