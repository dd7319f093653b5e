// ROUND and TRUNC on stored doubles work on the value's 15 significant
// decimal digits, and the stored forms of dates are written digit by digit.
// The rounding is checked against the plain printf/strtod way of doing it,
// reproduced here as the reference, over every kind of double and place.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "ocilite/ocl_val.h"

namespace {
double reference_round(double value, int places, bool round) {
  if (value == 0 || !std::isfinite(value)) return value;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  int exponent = std::atoi(p + 1);
  int keep = exponent + 1 + places;
  if (keep < 0) return 0;
  if (keep >= (int)digits.size()) return value;
  bool up = round && digits[keep] >= '5';
  std::string kept = digits.substr(0, keep);
  for (int i = (int)kept.size() - 1; up && i >= 0; --i) {
    if (kept[i] == '9') kept[i] = '0';
    else { ++kept[i]; up = false; }
  }
  if (up) { kept.insert(kept.begin(), '1'); ++exponent; }
  if (kept.empty()) kept = "0";
  double result = std::strtod(("0." + kept + "e" + std::to_string(exponent + 1)).c_str(), nullptr);
  return value < 0 ? -result : result;
}
}  // namespace

TEST(OciliteRounding, DecimalDigitsNotBinaryOnes) {
  EXPECT_EQ(ocl::decimal_round(1.005, 2, true), 1.01);
  EXPECT_EQ(ocl::decimal_round(2.5, 0, true), 3.0);
  EXPECT_EQ(ocl::decimal_round(-2.5, 0, true), -3.0);
  EXPECT_EQ(ocl::decimal_round(-2.5, 0, false), -2.0);
  EXPECT_EQ(ocl::decimal_round(999.96, 1, true), 1000.0);
  EXPECT_EQ(ocl::decimal_round(1234.5, -2, true), 1200.0);
  EXPECT_EQ(ocl::decimal_round(1250.0, -2, true), 1300.0);
  EXPECT_EQ(ocl::decimal_round(0.0004, 3, true), 0.0);
  EXPECT_EQ(ocl::decimal_round(123456789012345678.0, 2, true), 123456789012345678.0);
}

TEST(OciliteRounding, AgreesWithThePrintfDigitsForEveryKindOfDouble) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto check = [&](double v) {
    for (int places : {-20, -3, -1, 0, 1, 2, 3, 6, 10, 14, 20}) {
      ASSERT_EQ(ocl::decimal_round(v, places, true), reference_round(v, places, true))
          << std::hexfloat << v << " at " << places;
      ASSERT_EQ(ocl::decimal_round(v, places, false), reference_round(v, places, false))
          << std::hexfloat << v << " at " << places;
    }
  };
  for (int i = 0; i < 5000; ++i) {
    uint64_t bits = random();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v)) check(v);
    check(std::round(unit(random) * 1e8) / std::pow(10.0, (int)(random() % 9)));  // a few decimals
    check(-(i / 7.0));
    check(static_cast<double>(random() >> (random() % 64)));  // whole numbers of any size
    check(i + 0.5);
  }
}

TEST(OciliteStoredForms, DatesAndTimestampsAsStored) {
  ocl::datetime v;
  v.year = 2026; v.month = 12; v.day = 8; v.hour = 3; v.minute = 4; v.second = 5;
  EXPECT_EQ(ocl::stored_date(v), "2026-12-08 03:04:05");
  v.nanos = 120000000;
  EXPECT_EQ(ocl::stored_timestamp(v), "2026-12-08 03:04:05.120000000");
  v.has_zone = true;
  v.zone_minutes = -330;
  EXPECT_EQ(ocl::stored_timestamp(v), "2026-12-08 03:04:05.120000000 -05:30");
  v.year = 7;
  v.has_zone = false;
  v.nanos = 0;
  EXPECT_EQ(ocl::stored_timestamp(v), "0007-12-08 03:04:05.000000000");
  v.year = -44;  // outside the digit-by-digit form: printed as printf prints it
  EXPECT_EQ(ocl::stored_date(v), "-044-12-08 03:04:05");
}
