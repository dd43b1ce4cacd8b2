#include "app/dates.h"

#include <cstddef>
#include <cstdlib>

namespace orvel::app {
namespace {

constexpr int kFirstYear = 1801;
constexpr int kLastYear = 9999;
constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Leap days in the years 1 to year.
int leap_days(int year) {
  return year / 4 + year / 400 - year / 100;
}

// The tokens of a picture, one character each: 'Y', 'M', 'D' or '-'.
constexpr std::string_view tokens_of(DatePicture picture) {
  return picture == DatePicture::kD06 ? "DD-MM-YYYY" : "YYYY-MM-DD";
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// The year, month and day of a walk over a picture's tokens.
struct DateParts {
  int year = 0;
  int month = 0;
  int day = 0;

  // The value a token stands for, or nullptr for a separator.
  int* value_of(char token) {
    switch (token) {
      case 'Y':
        return &year;
      case 'M':
        return &month;
      case 'D':
        return &day;
      default:
        return nullptr;
    }
  }
};

}  // namespace

bool is_leap_year(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int days_in_month(int year, int month) {
  return month == 2 && is_leap_year(year) ? 29 : kDaysInMonth[month - 1];
}

bool is_valid_day_number(int32_t day_number) {
  return day_number >= kFirstDayNumber && day_number <= kLastDayNumber;
}

int window_year(int year, int current_year) {
  const int k = current_year % 100 - year;
  int result = current_year - k;
  if (k <= -20) result -= 100;
  if (k > 80) result += 100;
  return result;
}

int32_t day_number(int year, int month, int day) {
  if (year >= 0 && year < 100) year = window_year(year, platform::local_date().year);
  if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1 ||
      day > days_in_month(year, month)) {
    return kInvalidDate;
  }
  int32_t n = (year - kFirstYear) * 365 + kDaysBeforeMonth[month - 1] + day + 3 + leap_days(year) -
              leap_days(1800);
  if (month <= 2 && is_leap_year(year)) n -= 1;
  return n;
}

int32_t day_number(const platform::LocalDate& date) {
  return day_number(date.year, date.month, date.day);
}

std::optional<platform::LocalDate> date_of(int32_t n) {
  if (!is_valid_day_number(n)) return std::nullopt;
  // An estimate from the mean Gregorian year, then corrected by at most a year or two.
  int year = kFirstYear + static_cast<int>(int64_t(n - kFirstDayNumber) * 400 / 146097);
  if (year > kLastYear) year = kLastYear;
  while (year > kFirstYear && day_number(year, 1, 1) > n) --year;
  while (year < kLastYear && day_number(year + 1, 1, 1) <= n) ++year;
  int day_of_year = n - day_number(year, 1, 1);  // from 0
  int month = 1;
  while (day_of_year >= days_in_month(year, month)) day_of_year -= days_in_month(year, month++);
  return platform::LocalDate{year, month, day_of_year + 1};
}

int32_t today() {
  return day_number(platform::local_date());
}

std::string format_date(int32_t day_number, DatePicture picture) {
  const std::string_view tokens = tokens_of(picture);
  const int64_t magnitude = std::abs(int64_t{day_number});
  std::optional<platform::LocalDate> date;
  if (magnitude <= kLastDayNumber) date = date_of(static_cast<int32_t>(magnitude));
  DateParts parts;
  if (date) parts = {date->year, date->month, date->day};
  std::string text(tokens.size(), ' ');
  // Digits of each value from the right: the last token of a kind is its units digit.
  for (size_t p = tokens.size(); p-- > 0;) {
    int* value = parts.value_of(tokens[p]);
    if (value == nullptr) {
      text[p] = '-';
    } else if (date) {
      text[p] = char('0' + *value % 10);
      *value /= 10;
    }
  }
  return text;
}

int32_t parse_date(std::string_view text, DatePicture picture) {
  const std::string_view tokens = tokens_of(picture);
  DateParts parts;
  bool digit_seen = false;
  ptrdiff_t offset = 0;  // 0 or below; p + offset never falls below an index already read
  for (size_t p = 0; p < tokens.size(); ++p) {
    const size_t index = static_cast<size_t>(static_cast<ptrdiff_t>(p) + offset);
    if (index >= text.size()) break;
    int* value = parts.value_of(tokens[p]);
    if (value == nullptr) continue;  // a separator takes any character
    const char c = text[index];
    if (is_digit(c)) {
      *value = *value * 10 + (c - '0');
      digit_seen = true;
    } else if (*value != 0) {
      --offset;  // the next token reads this character again
    }
  }
  if (!digit_seen) return kNoDate;
  int year = parts.year, month = parts.month;
  if (year < 100) year = window_year(year, platform::local_date().year);
  while (month > 12) {
    month -= 12;
    ++year;
  }
  const int32_t first = day_number(year, month, 1);
  if (first == kInvalidDate) return kInvalidDate;
  const int64_t result = int64_t{first} + parts.day - 1;
  return is_valid_day_number(static_cast<int32_t>(result)) ? static_cast<int32_t>(result)
                                                           : kInvalidDate;
}

}  // namespace orvel::app
