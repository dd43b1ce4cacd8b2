// The byte-range lock regions by which programs that share a keyed data file coordinate,
// and the taking of one region.
//
// Every region lies at or above the lock base, 0x80000000, far beyond any real data, and is
// locked and unlocked as a whole with the operating system's exclusive byte-range lock:
//
//   OFFSET FROM BASE   LENGTH   REGION             GUARDS
//   s (0 ... 1022)     1        reader slot s      one operation that reads the file
//   0                  1023     all reader slots   a commit writing pages: excludes readers
//   1023               1        writer byte        an operation that changes the file
//   1025 + r           1        lock byte of r     a held record r, or a locked table r
//
// Record and table numbers come from one counter, so a table's lock byte never meets a
// record's. These offsets are shared with every other program that opens the file; they
// never change.
//
// Taking a region tries the lock; after a failure it sleeps 1 millisecond and tries again,
// 3 attempts in all, or without end for the waits that must not give up (operation locks,
// the all-slots lock). A failed attempt on a reader slot moves the slot on, so that readers
// spread over the 1023 slots. Failed attempts on lock bytes are written to the trace log
// (trace_log.h) as "LockFile failed with error " and the system's error number.
//
// Stateless and thread-safe; the File is used by the calling thread only.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace orvel::datafile {

inline constexpr uint64_t kLockBase = 0x80000000ULL;
inline constexpr int kReaderSlots = 1023;
inline constexpr uint64_t kWriterByteOffset = 1023;
inline constexpr uint64_t kLockByteBase = 1025;

struct LockRegion {
  uint64_t offset;  // absolute file offset
  uint64_t length;

  bool operator==(const LockRegion&) const = default;
};

inline LockRegion reader_slot_region(int slot) {
  return {kLockBase + uint64_t(slot), 1};
}
inline LockRegion all_reader_slots_region() {
  return {kLockBase, uint64_t(kReaderSlots)};
}
inline LockRegion writer_byte_region() {
  return {kLockBase + kWriterByteOffset, 1};
}
// The lock byte of a record number or table number.
inline LockRegion lock_byte_region(uint32_t number) {
  return {kLockBase + kLockByteBase + uint64_t(number), 1};
}

enum class Waiting { kThreeAttempts, kWithoutEnd };

// The slot a new physical file object tries first: the time of day in hundredths of a
// second, modulo 1023.
int first_reader_slot();

// Takes region; true when it was obtained. Waiting::kWithoutEnd returns only with the lock.
// trace: whether failed attempts go to the trace log (lock bytes only).
bool take_region(platform::File& file, LockRegion region, Waiting waiting, bool trace = false);
// Takes a reader slot starting at *slot, moving *slot on after every failed attempt.
bool take_reader_slot(platform::File& file, int* slot, Waiting waiting);
void release_region(platform::File& file, LockRegion region);

}  // namespace orvel::datafile
