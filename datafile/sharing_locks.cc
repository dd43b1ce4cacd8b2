#include "datafile/sharing_locks.h"

#include "datafile/trace_log.h"

namespace orvel::datafile {
namespace {

namespace om = platform::open_mode;

}  // namespace

SharingLocks::SharingLocks(platform::File* file, int mode, int first_slot)
    : file_(file),
      protocol_(om::sharing(mode) == om::kDenyNone    ? Protocol::kFull
                : om::sharing(mode) == om::kDenyWrite ? Protocol::kCommitsOnly
                                                      : Protocol::kNone),
      writable_(om::can_write(mode)),
      slot_(first_slot % kReaderSlots) {}

bool SharingLocks::held_for_writing() const {
  if (!writable_) return false;
  if (protocol_ != Protocol::kFull) return true;
  return writing_ && operation_lock_held_;
}

void SharingLocks::take_operation_lock() {
  if (protocol_ != Protocol::kFull || operation_lock_held_) return;
  if (writing_) {
    take_region(*file_, writer_byte_region(), Waiting::kWithoutEnd);
  } else {
    take_reader_slot(*file_, &slot_, Waiting::kWithoutEnd);
    held_slot_ = slot_;
  }
  operation_lock_held_ = true;
}

void SharingLocks::release_operation_lock() {
  if (operation_lock_held_) {
    if (held_slot_ >= 0) {
      release_region(*file_, reader_slot_region(held_slot_));
    } else {
      release_region(*file_, writer_byte_region());
    }
    operation_lock_held_ = false;
    held_slot_ = -1;
  }
  writing_ = false;
}

void SharingLocks::take_all_slots() {
  if (protocol_ == Protocol::kNone || all_slots_held_) return;
  take_region(*file_, all_reader_slots_region(), Waiting::kWithoutEnd);
  all_slots_held_ = true;
}

void SharingLocks::release_all_slots() {
  if (!all_slots_held_) return;
  release_region(*file_, all_reader_slots_region());
  all_slots_held_ = false;
}

bool SharingLocks::switch_to_writing() {
  if (writing_) return false;
  writing_ = true;
  if (held_slot_ < 0) return false;
  release_region(*file_, reader_slot_region(held_slot_));
  held_slot_ = -1;
  operation_lock_held_ = false;
  return true;
}

bool SharingLocks::begin_repair() {
  if (protocol_ != Protocol::kCommitsOnly) return held_for_writing();
  if (!writable_) return false;
  if (!repair_lock_held_) {
    take_region(*file_, writer_byte_region(), Waiting::kWithoutEnd);
    repair_lock_held_ = true;
  }
  return true;
}

void SharingLocks::end_repair() {
  if (!repair_lock_held_) return;
  release_region(*file_, writer_byte_region());
  repair_lock_held_ = false;
}

bool SharingLocks::hold(uint32_t number) {
  if (hold_count_ > 0 || protocol_ == Protocol::kNone) {
    ++hold_count_;
    return true;
  }
  if (!take_region(*file_, lock_byte_region(number), Waiting::kThreeAttempts, trace_enabled())) {
    return false;
  }
  held_byte_ = number;
  hold_count_ = 1;
  return true;
}

// The byte given back is the one really locked, whichever hold was taken first: nested
// holds of other numbers never locked a byte of their own.
void SharingLocks::release_hold() {
  if (hold_count_ <= 1 && held_byte_) {
    release_region(*file_, lock_byte_region(*held_byte_));
    held_byte_.reset();
  }
  if (hold_count_ > 0) --hold_count_;
}

void SharingLocks::release_everything() {
  release_operation_lock();
  release_all_slots();
  end_repair();
  hold_count_ = 1;
  release_hold();
}

}  // namespace orvel::datafile
