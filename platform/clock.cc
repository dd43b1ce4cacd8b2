#include "platform/clock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

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
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &seconds);
#else
  localtime_r(&seconds, &parts);
#endif
  auto since_second = now - std::chrono::system_clock::from_time_t(seconds);
  int hundredths = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since_second).count() / 10);
  LocalTime time{{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday},
                 parts.tm_hour,
                 parts.tm_min,
                 parts.tm_sec,
                 hundredths};
  date_override(&time.date);
  return time;
}

LocalDate local_date() {
  return local_time().date;
}

uint32_t tick_count_ms() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void sleep_ms(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace orvel::platform
