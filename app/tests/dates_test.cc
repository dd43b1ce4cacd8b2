#include "app/dates.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <string>

namespace orvel::app {
namespace {

// Runs each case with ORVEL_TODAY set, so that the two-digit year window is repeatable.
class DatesTest : public ::testing::Test {
 protected:
  void SetUp() override { set_today("2006-03-01"); }
  void TearDown() override { unsetenv("ORVEL_TODAY"); }
  static void set_today(const char* date) { setenv("ORVEL_TODAY", date, 1); }
};

TEST_F(DatesTest, KnownDayNumbers) {
  struct Case {
    int year, month, day;
    int32_t number;
  };
  const Case cases[] = {
      {1801, 1, 1, 4},     {1801, 2, 28, 62},       {1900, 2, 28, 36221}, {1900, 3, 1, 36222},
      {2000, 1, 1, 72687}, {2000, 2, 29, 72746},    {2004, 2, 29, 74207}, {2005, 12, 31, 74878},
      {2006, 1, 5, 74883}, {9999, 12, 31, 2994626},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(day_number(c.year, c.month, c.day), c.number)
        << c.year << "-" << c.month << "-" << c.day;
    auto date = date_of(c.number);
    ASSERT_TRUE(date.has_value()) << c.number;
    EXPECT_EQ(date->year, c.year);
    EXPECT_EQ(date->month, c.month);
    EXPECT_EQ(date->day, c.day);
  }
}

TEST_F(DatesTest, InvalidTriplesGiveMinusOne) {
  struct Case {
    int year, month, day;
  };
  const Case cases[] = {
      {1800, 12, 31}, {10000, 1, 1}, {2006, 0, 1},  {2006, 13, 1}, {2006, 1, 0},
      {2006, 1, 32},  {2006, 2, 29}, {1900, 2, 29}, {2006, 4, 31}, {-5, 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(day_number(c.year, c.month, c.day), kInvalidDate)
        << c.year << "-" << c.month << "-" << c.day;
  }
  EXPECT_EQ(day_number(2000, 2, 29), 72746) << "divisible by 400 is a leap year";
}

TEST_F(DatesTest, ValidRange) {
  for (int32_t n : {INT_MIN, -1, 0, 1, 2, 3, 2994627, INT_MAX}) {
    EXPECT_FALSE(is_valid_day_number(n)) << n;
    EXPECT_FALSE(date_of(n).has_value()) << n;
  }
  EXPECT_TRUE(is_valid_day_number(kFirstDayNumber));
  EXPECT_TRUE(is_valid_day_number(kLastDayNumber));
}

// Walks every valid day number against a day-by-day calendar of its own.
TEST_F(DatesTest, EveryDayNumberRoundTrips) {
  auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int y = 1801, m = 1, d = 1;
  for (int32_t n = kFirstDayNumber; n <= kLastDayNumber; ++n) {
    auto date = date_of(n);
    ASSERT_TRUE(date.has_value()) << n;
    ASSERT_TRUE(date->year == y && date->month == m && date->day == d)
        << n << " gives " << date->year << "-" << date->month << "-" << date->day << ", expected "
        << y << "-" << m << "-" << d;
    ASSERT_EQ(day_number(*date), n);
    if (++d > lengths[m - 1] + (m == 2 && leap(y) ? 1 : 0)) {
      d = 1;
      if (++m > 12) {
        m = 1;
        ++y;
      }
    }
  }
  EXPECT_EQ(y, 10000);
}

TEST_F(DatesTest, TwoDigitYearWindow) {
  struct Case {
    int year, current, expected;
  };
  const Case cases[] = {
      {0, 2006, 2000},  {6, 2006, 2006},  {25, 2006, 2025}, {26, 2006, 1926},
      {99, 2006, 1999}, {19, 2000, 2019}, {20, 2000, 1920}, {0, 2000, 2000},
      {0, 2090, 2100},  {9, 2090, 2109},  {10, 2090, 2010}, {99, 2090, 2099},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(window_year(c.year, c.current), c.expected) << c.year << " in " << c.current;
  }
}

TEST_F(DatesTest, TwoDigitYearsFollowTheClock) {
  EXPECT_EQ(day_number(6, 1, 5), 74883);
  EXPECT_EQ(day_number(26, 1, 5), 45663);
  set_today("2030-06-15");
  EXPECT_EQ(day_number(26, 1, 5), day_number(2026, 1, 5));
  EXPECT_EQ(parse_date("49-01-01", DatePicture::kD10), day_number(2049, 1, 1));
  EXPECT_EQ(parse_date("50-01-01", DatePicture::kD10), day_number(1950, 1, 1));
}

TEST_F(DatesTest, TodayIsTheLocalDate) {
  set_today("2006-01-05");
  EXPECT_EQ(today(), 74883);
  set_today("9999-12-31");
  EXPECT_EQ(today(), 2994626);
}

struct ParseCase {
  const char* text;
  int32_t expected;
  const char* why;
};

TEST_F(DatesTest, ParseYearMonthDay) {
  const ParseCase cases[] = {
      {"2006-01-05", 74883, "plain"},
      {"2006-1-5", 74883, "one-digit month and day"},
      {"2006/01/05", 74883, "any separator"},
      {"06-01-05", 74883, "two-digit year"},
      {"", 0, "empty"},
      {"xyz", 0, "no digit"},
      {"    -  -  ", 0, "the blank date"},
      {"-", 0, "a separator alone"},
      {"2006-00-10", -1, "month 0"},
      {"1800-12-31", -1, "before the first day"},
      {"2006-02-30", 74939, "30 February runs on to 2 March"},
      {"2006-13-01", 75244, "month 13 is January of the next year"},
      {"2006-99-01", day_number(2014, 3, 1), "month 99 carries eight years"},
      {"2006-01-00", 74878, "day 0 is the last day of the month before"},
      {"2006-01-99", day_number(2006, 4, 9), "day 99 runs on"},
      {"26-01-05", 45663, "26 is 1926"},
      {"25-01-05", 81823, "25 is 2025"},
      {"99-01-05", 72326, "99 is 1999"},
      {"20060105", 75151, "separator positions skipped: month 10, day 0"},
      {"0000-01-05", 72691, "year 0 is a two-digit year"},
      {" 2006-01-05", -1, "a leading blank makes the year 200"},
      {"2006-01-05xyz", 74883, "characters after the last token are ignored"},
      {"2006-01-05          ", 74883, "trailing blanks"},
      {"2006-1-5            ", 74883, "trailing blanks after short fields"},
      {"2006", -1, "no month"},
      {"1801-01-01", 4, "first day"},
      {"1801-01-00", -1, "the day before the first"},
      {"9999-12-31", 2994626, "last day"},
      {"9999-12-32", -1, "the day after the last"},
      {"9999-13-01", -1, "month 13 of 9999 is in year 10000"},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(parse_date(c.text, DatePicture::kD10), c.expected)
        << "\"" << c.text << "\": " << c.why;
  }
}

TEST_F(DatesTest, ParseDayMonthYear) {
  const ParseCase cases[] = {
      {"05-01-2006", 74883, "plain"},
      {"5-1-2006", 74883, "one-digit day and month"},
      {"05.01.06", 74883, "dots and a two-digit year"},
      {"5-1-06", 74883, "all short"},
      {"05-01-2006          ", 74883, "trailing blanks"},
      {"01-01-1801", 4, "first day"},
      {"31-12-9999", 2994626, "last day"},
      {"  -  -    ", 0, "the blank date"},
      {"", 0, "empty"},
      {"00-01-2006", 74878, "day 0"},
      {"30-02-2006", 74939, "30 February"},
      {"05-00-2006", -1, "month 0"},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(parse_date(c.text, DatePicture::kD06), c.expected)
        << "\"" << c.text << "\": " << c.why;
  }
}

TEST_F(DatesTest, Format) {
  struct Case {
    int32_t number;
    const char* d06;
    const char* d10;
  };
  const Case cases[] = {
      {4, "01-01-1801", "1801-01-01"},       {74883, "05-01-2006", "2006-01-05"},
      {2994626, "31-12-9999", "9999-12-31"}, {-74883, "05-01-2006", "2006-01-05"},
      {-4, "01-01-1801", "1801-01-01"},      {0, "  -  -    ", "    -  -  "},
      {-1, "  -  -    ", "    -  -  "},      {3, "  -  -    ", "    -  -  "},
      {2994627, "  -  -    ", "    -  -  "}, {-2994627, "  -  -    ", "    -  -  "},
      {INT_MIN, "  -  -    ", "    -  -  "}, {INT_MAX, "  -  -    ", "    -  -  "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_date(c.number, DatePicture::kD06), c.d06) << c.number;
    EXPECT_EQ(format_date(c.number, DatePicture::kD10), c.d10) << c.number;
  }
}

TEST_F(DatesTest, EveryFormattedDateParsesBack) {
  for (int32_t n = kFirstDayNumber; n <= kLastDayNumber; ++n) {
    ASSERT_EQ(parse_date(format_date(n, DatePicture::kD06), DatePicture::kD06), n);
    ASSERT_EQ(parse_date(format_date(n, DatePicture::kD10), DatePicture::kD10), n);
  }
}

}  // namespace
}  // namespace orvel::app
