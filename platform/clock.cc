#include "platform/clock.h"

#include <cstdio>
#include <cstdlib>

#include "platform/system_clock.h"

namespace orvel::platform {
namespace {

// The date of ORVEL_TODAY when it holds a plausible YYYY-MM-DD.
bool date_override(LocalDate* date) {
  const char* text = std::getenv("ORVEL_TODAY");
  if (text == nullptr) return false;
  int y = 0, m = 0, d = 0;
  char tail = 0;
  if (std::sscanf(text, "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return false;
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > 31) return false;
  *date = {y, m, d};
  return true;
}

}  // namespace

LocalTime local_time() {
  LocalTime time = system_local_time();
  date_override(&time.date);
  return time;
}

LocalDate local_date() {
  return local_time().date;
}

}  // namespace orvel::platform
