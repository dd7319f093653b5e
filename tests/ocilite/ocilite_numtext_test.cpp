// Number texts: the digits of a double are the fewest of 15, 16 or 17
// significant digits that read back as the same double. The short way for
// values whose shortest form has at most 15 digits must agree with that
// search for every double, which is reproduced here as the reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "ocilite/ocl_val.h"

namespace {
// The search itself, then the text as Oracle writes it.
std::string reference_text(double value) {
  if (value == 0) return "0";
  if (std::fabs(value) < 9.2e18 && value == std::trunc(value)) return std::to_string((long long)value);
  char buf[64];
  double magnitude = std::fabs(value);
  for (int precision = 15; precision <= 17; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, magnitude);
    if (std::strtod(buf, nullptr) == magnitude) break;
  }
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  int e = std::atoi(p + 1) + 1;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string sign = value < 0 ? "-" : "";
  std::string plain;
  if (e <= 0) plain = "." + std::string(-e, '0') + digits;
  else if ((size_t)e >= digits.size()) plain = digits + std::string(e - digits.size(), '0');
  else plain = digits.substr(0, e) + "." + digits.substr(e);
  if (plain.size() + sign.size() <= 40) return sign + plain;
  std::string mantissa = digits.substr(0, 1);
  if (digits.size() > 1) mantissa += "." + digits.substr(1);
  int x = e - 1;
  return sign + mantissa + "E" + (x < 0 ? "-" : "+") + std::to_string(std::abs(x));
}
}  // namespace

TEST(OciliteNumberText, KnownValuesAsOracleWritesThem) {
  EXPECT_EQ(ocl::number_text(0.5), ".5");
  EXPECT_EQ(ocl::number_text(-12.25), "-12.25");
  EXPECT_EQ(ocl::number_text(123.45), "123.45");
  EXPECT_EQ(ocl::number_text(0.1 + 0.2), ".30000000000000004");  // 17 digits
  EXPECT_EQ(ocl::number_text(1.0 / 3), ".3333333333333333");     // 16 digits
  EXPECT_EQ(ocl::number_text(1e40), "1E+40");
  EXPECT_EQ(ocl::number_text(1e-5), ".00001");
  EXPECT_EQ(ocl::number_text(14285.714286), "14285.714286");
}

TEST(OciliteNumberText, EveryKindOfDoubleAgreesWithTheDigitSearch) {
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int checked = 0;
  auto check = [&](double v) {
    ASSERT_EQ(ocl::number_text(v), reference_text(v)) << std::hexfloat << v;
    ++checked;
  };
  for (int i = 0; i < 20000; ++i) {
    // Arbitrary bit patterns: mostly 16 and 17 digit values, any exponent.
    uint64_t bits = random();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v)) check(v);
    // Short decimals: prices, measures written with a few decimals.
    double scaled = std::round(unit(random) * 1e8) / std::pow(10.0, (int)(random() % 9));
    check(scaled);
    check(-scaled / 7.0);
    check(i / 7.0);
  }
  for (double v : {std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(),
                   std::numeric_limits<double>::max(), std::numeric_limits<double>::epsilon(),
                   5e-324, 2.2250738585072009e-308, 9007199254740993.0, 0x1p-1022, 0x1p+1000, 1e23, 1e22}) {
    check(v);
    check(-v);
  }
  EXPECT_GT(checked, 80000);
}
