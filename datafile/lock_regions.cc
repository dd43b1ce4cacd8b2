#include "datafile/lock_regions.h"

#include <string>

#include "datafile/trace_log.h"
#include "platform/clock.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

constexpr int kAttempts = 3;
constexpr int kPauseMs = 1;

}  // namespace

int first_reader_slot() {
  platform::LocalTime now = platform::local_time();
  long hundredths = ((long(now.hour) * 60 + now.minute) * 60 + now.second) * 100 + now.hundredths;
  return int(hundredths % kReaderSlots);
}

bool take_region(platform::File& file, LockRegion region, Waiting waiting, bool trace) {
  for (int attempt = 1;; ++attempt) {
    int rc = file.lock(region.offset, region.length);
    if (rc == kNoError) return true;
    if (trace) trace_line("LockFile failed with error " + std::to_string(rc));
    if (waiting == Waiting::kThreeAttempts && attempt >= kAttempts) return false;
    platform::sleep_ms(kPauseMs);
  }
}

bool take_reader_slot(platform::File& file, int* slot, Waiting waiting) {
  for (int attempt = 1;; ++attempt) {
    LockRegion region = reader_slot_region(*slot);
    if (file.lock(region.offset, region.length) == kNoError) return true;
    *slot = (*slot + 1) % kReaderSlots;
    if (waiting == Waiting::kThreeAttempts && attempt >= kAttempts) return false;
    platform::sleep_ms(kPauseMs);
  }
}

void release_region(platform::File& file, LockRegion region) {
  // Nothing useful can be done when an unlock fails: the lock goes with the handle at the
  // latest.
  file.unlock(region.offset, region.length);
}

}  // namespace orvel::datafile
