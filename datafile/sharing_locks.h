// The lock state of one physical file object and the protocol by which it shares its file
// with other programs (the regions are in lock_regions.h).
//
// The protocol follows the sharing of the open mode:
//
//   deny none    Every operation holds an operation lock from its first access to the
//                record tree until its end, taken without end: the reader slot while the
//                object is reading, the writer byte while it is writing. An operation that
//                changes the file switches to writing before its first access; when it
//                already holds its reader slot it releases it first (nothing is pending),
//                so that the refresh is repeated under the writer byte. Readers never block
//                each other (each on its own slot) and writers exclude each other for the
//                whole operation. A commit takes the all-slots lock without end before it
//                writes any page and releases it when the header is final, so readers are
//                shut out only while pages are written. The end of the operation releases
//                the operation lock and returns the object to reading.
//   deny write   No other program writes: no operation lock. A commit still takes the
//                all-slots lock, which shuts out readers that opened the file shared, and
//                the repair of an interrupted commit takes the writer byte.
//   deny all,    Nobody else has the file open: no lock at all.
//   deny read
//
// Record holds and table locks take lock bytes (when the file is shared with anyone, that
// is with deny none or deny write) with 3 attempts. The object counts nested holds and
// locks of all its tables; only the first takes a byte, so that one byte at most is really
// held, and the last release gives it back. Failed attempts on lock bytes go to the trace
// log.
//
// Not thread-safe: callers hold the engine lock. The File is not owned; it must stay open
// for as long as the object is called.
#pragma once

#include <cstdint>
#include <optional>

#include "datafile/file_locks.h"
#include "datafile/lock_regions.h"
#include "platform/file.h"

namespace orvel::datafile {

class SharingLocks final : public FileLocks {
 public:
  // mode: the open mode in force (access and sharing). first_slot: the reader slot to try
  // first (first_reader_slot() for a new physical file object).
  SharingLocks(platform::File* file, int mode, int first_slot);
  SharingLocks(const SharingLocks&) = delete;
  SharingLocks& operator=(const SharingLocks&) = delete;

  // FileLocks
  bool held_for_writing() const override;
  void take_operation_lock() override;
  void release_operation_lock() override;
  void take_all_slots() override;
  void release_all_slots() override;
  bool switch_to_writing() override;
  bool begin_repair() override;
  void end_repair() override;

  // Holds record or table number (3 attempts); false when another program holds its byte.
  bool hold(uint32_t number);
  // Ends one hold; the byte goes when no other hold of this object remains.
  void release_hold();
  // Releases every region the object may hold and forgets all holds: for a close after an
  // internal error, when nothing is known about where the operation stopped.
  void release_everything();

  bool writing() const { return writing_; }
  bool operation_lock_held() const { return operation_lock_held_; }
  bool all_slots_held() const { return all_slots_held_; }
  int hold_count() const { return hold_count_; }
  int reader_slot() const { return slot_; }

 private:
  enum class Protocol { kNone, kCommitsOnly, kFull };

  platform::File* file_;
  const Protocol protocol_;
  const bool writable_;
  int slot_;
  bool writing_ = false;
  bool operation_lock_held_ = false;
  int held_slot_ = -1;  // the reader slot really locked, while operation_lock_held_
  bool all_slots_held_ = false;
  bool repair_lock_held_ = false;
  int hold_count_ = 0;
  std::optional<uint32_t> held_byte_;  // the one lock byte really held
};

}  // namespace orvel::datafile
