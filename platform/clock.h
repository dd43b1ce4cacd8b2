// Time as the program sees it: the local calendar date and time, a millisecond tick count,
// and sleeping.
//
// The environment variable ORVEL_TODAY=YYYY-MM-DD, when set to a valid date, replaces the
// system's date for local_date(), so that tests and scripted runs are repeatable. It is read
// at every call. Thread-safe.
#pragma once

#include <cstdint>

namespace orvel::platform {

struct LocalDate {
  int year;
  int month;  // 1 to 12
  int day;    // 1 to 31
};

struct LocalTime {
  LocalDate date;
  int hour;
  int minute;
  int second;
  int hundredths;
};

LocalDate local_date();
LocalTime local_time();

// Milliseconds since an arbitrary start; wraps like a 32-bit counter.
uint32_t tick_count_ms();

void sleep_ms(int milliseconds);

}  // namespace orvel::platform
