// The stored datetime form as the fetch reads it: the exact stored layout and
// every other text the general reading accepts give the same values.
#include <gtest/gtest.h>

#include "ocilite/ocl_val.h"

namespace {

struct reading {
  const char* text;
  bool valid;
  int year, month, day, hour, minute, second, nanos;
};

TEST(OciliteStoredDatetime, TheStoredLayoutAndItsNeighboursRead) {
  const reading cases[] = {
      {"2024-02-29 23:59:59", true, 2024, 2, 29, 23, 59, 59, 0},
      {"0001-01-01 00:00:00", true, 1, 1, 1, 0, 0, 0, 0},
      {"2024-01-01 10:00:00.5", true, 2024, 1, 1, 10, 0, 0, 500000000},
      {"2024-01-01 10:00:00.123456789", true, 2024, 1, 1, 10, 0, 0, 123456789},
      {"2024-01-01 10:00:00.", true, 2024, 1, 1, 10, 0, 0, 0},
      {"2024-01-01T10:00:00", true, 2024, 1, 1, 10, 0, 0, 0},
      {" 2024-01-01 10:00:00 ", true, 2024, 1, 1, 10, 0, 0, 0},
      {"2024-01-01", true, 2024, 1, 1, 0, 0, 0, 0},
      {"2023-02-29 00:00:00", false, 0, 0, 0, 0, 0, 0, 0},
      {"2024-13-01 00:00:00", false, 0, 0, 0, 0, 0, 0, 0},
      {"2024-01-01 24:00:00", false, 0, 0, 0, 0, 0, 0, 0},
      {"2024-01-01 1a:00:00", false, 0, 0, 0, 0, 0, 0, 0},
      {"2024-01-01 10:00:00.12x", false, 0, 0, 0, 0, 0, 0, 0},
      {"2024/01/01 10:00:00", false, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const reading& c : cases) {
    ocl::datetime v;
    ASSERT_EQ(ocl::parse_stored_datetime(c.text, v), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(v.year, c.year) << c.text;
    EXPECT_EQ(v.month, c.month) << c.text;
    EXPECT_EQ(v.day, c.day) << c.text;
    EXPECT_EQ(v.hour, c.hour) << c.text;
    EXPECT_EQ(v.minute, c.minute) << c.text;
    EXPECT_EQ(v.second, c.second) << c.text;
    EXPECT_EQ(v.nanos, c.nanos) << c.text;
    EXPECT_FALSE(v.has_zone) << c.text;
  }
  ocl::datetime zoned;
  ASSERT_TRUE(ocl::parse_stored_datetime("2024-01-01 10:00:00.25 +02:30", zoned));
  EXPECT_EQ(zoned.nanos, 250000000);
  EXPECT_TRUE(zoned.has_zone);
  EXPECT_EQ(zoned.zone_minutes, 150);
}

}  // namespace
