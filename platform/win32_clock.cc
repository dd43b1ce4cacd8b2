// The local time, the tick count and sleeping on Windows: GetLocalTime, GetTickCount, Sleep.
#include <windows.h>

#include "platform/system_clock.h"

namespace orvel::platform {

LocalTime system_local_time() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {{now.wYear, now.wMonth, now.wDay},
          now.wHour,
          now.wMinute,
          now.wSecond,
          now.wMilliseconds / 10};
}

uint32_t tick_count_ms() {
  return ::GetTickCount();
}

void sleep_ms(int milliseconds) {
  ::Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}

}  // namespace orvel::platform
