// The system's own local date and time, for clock.cc, which applies the date override of
// ORVEL_TODAY on top. One implementation per system (posix_clock.cc, win32_clock.cc), which
// also provides tick_count_ms() and sleep_ms() of clock.h.
#pragma once

#include "platform/clock.h"

namespace orvel::platform {

LocalTime system_local_time();

}  // namespace orvel::platform
