// Day numbers and the two date pictures.
//
// Every date of the program is a day number: a signed 32-bit count of the days since
// 28 December 1800 in the Gregorian calendar, so 1 January 1801 is 4, 1 January 2000 is
// 72687 and 31 December 9999 is 2994626, the last valid one. 0 means no date; -1 is what a
// conversion returns for something that names no valid date.
//
// Dates become text through a date picture of ten tokens, each a year digit Y, a month digit
// M, a day digit D or the separator "-":
//   d06-   DD-MM-YYYY   the screen               05-01-2006
//   d10-   YYYY-MM-DD   the import/export files  2006-01-05
//
// Two-digit years. A year y of 0 to 99 given to day_number() or read by parse_date() is a
// year of the window c - 80 to c + 19 around the current year c, the year of the local date
// (platform::local_date(), so ORVEL_TODAY applies), read at each conversion that needs it.
// With c = 2006: 0 is 2000, 25 is 2025, 26 is 1926, 99 is 1999.
//
// All functions are thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace orvel::app {

inline constexpr int32_t kNoDate = 0;
inline constexpr int32_t kInvalidDate = -1;
inline constexpr int32_t kFirstDayNumber = 4;       // 1 January 1801
inline constexpr int32_t kLastDayNumber = 2994626;  // 31 December 9999

enum class DatePicture {
  kD06,  // d06-: DD-MM-YYYY
  kD10,  // d10-: YYYY-MM-DD
};

bool is_leap_year(int year);
// Days in month 1 to 12 of year.
int days_in_month(int year, int month);

bool is_valid_day_number(int32_t day_number);

// The year of the window around current_year that ends in the two digits of year (0 to 99).
int window_year(int year, int current_year);

// The day number of a date, or -1 unless 1801 <= year <= 9999 (after the two-digit window
// for years 0 to 99), 1 <= month <= 12 and 1 <= day <= days in the month.
int32_t day_number(int year, int month, int day);
int32_t day_number(const platform::LocalDate& date);

// The date of a valid day number; nothing for any other number.
std::optional<platform::LocalDate> date_of(int32_t day_number);

// The day number of the local calendar date.
int32_t today();

// Exactly ten characters. The sign of day_number is ignored. A value that is not a valid day
// number gives blanks for the digits and hyphens for the separators: "  -  -    " for d06-,
// "    -  -  " for d10-.
std::string format_date(int32_t day_number, DatePicture picture);

// The day number that text names in the picture: 0 when no digit was read, -1 when the
// digits read make no valid date. Trailing blanks never change the result.
//
// The walk is forgiving in fixed ways. Token p reads the character at p + offset, offset
// starting at 0, until ten tokens are done or the text ends. A separator token skips its
// character whatever it is. A digit token adds a digit to the year, month or day; a
// non-digit is skipped while that value is still 0, and otherwise read again by the next
// token (offset - 1), so "2006-1-5" reads as 2006-01-05. Then a two-digit year goes through
// the window, a month above 12 carries into the year, month 0 is invalid, and the day counts
// on from the first of the month: day 0 is the last day of the month before, 30 February
// is 1 or 2 March.
int32_t parse_date(std::string_view text, DatePicture picture);

}  // namespace orvel::app
