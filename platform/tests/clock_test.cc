#include "platform/clock.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace orvel::platform {
namespace {

TEST(ClockTest, TodayOverrideReplacesTheSystemDate) {
  setenv("ORVEL_TODAY", "2006-03-01", 1);
  LocalDate date = local_date();
  EXPECT_EQ(date.year, 2006);
  EXPECT_EQ(date.month, 3);
  EXPECT_EQ(date.day, 1);
  unsetenv("ORVEL_TODAY");
}

TEST(ClockTest, MalformedOverrideIsIgnored) {
  LocalDate system = local_date();
  for (const char* bad : {"", "2006", "2006-13-01", "yesterday", "2006-03-01x"}) {
    setenv("ORVEL_TODAY", bad, 1);
    LocalDate date = local_date();
    EXPECT_EQ(date.year, system.year) << bad;
  }
  unsetenv("ORVEL_TODAY");
}

}  // namespace
}  // namespace orvel::platform
