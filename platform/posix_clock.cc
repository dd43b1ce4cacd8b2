// The local time, the tick count and sleeping on POSIX systems.
#include <time.h>

#include <chrono>
#include <thread>

#include "platform/system_clock.h"

namespace orvel::platform {

LocalTime system_local_time() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm parts{};
  localtime_r(&seconds, &parts);
  auto since_second = now - std::chrono::system_clock::from_time_t(seconds);
  int hundredths = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since_second).count() / 10);
  return {{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday},
          parts.tm_hour,
          parts.tm_min,
          parts.tm_sec,
          hundredths};
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
