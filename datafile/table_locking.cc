// Record holds, table locks and the joining of transactions, for one table.
//
// A hold is requested by HOLD and taken by the next read or fetch, after the record is
// found: its lock byte, with 3 attempts; when another program holds it the read ends with 43
// and is repeated as a whole operation until the hold timeout has passed (table.cc). The
// hold ends at the table's next read or fetch, ADD, the end of a PUT, DELETE, RELEASE or
// close. A table lock is the lock byte of the table number, counted with the holds of the
// physical file object.
#include "datafile/table_impl.h"
#include "datafile/transaction.h"
#include "platform/error_codes.h"

namespace orvel::datafile {

void TableImpl::end_hold() {
  if (!record_held_) return;
  file_->locks().release_hold();
  record_held_ = false;
}

int TableImpl::hold_if_requested(uint32_t number) {
  if (!hold_request_) return kNoError;
  if (!file_->locks().hold(number)) return kRecordIsAlreadyHeld;
  record_held_ = true;
  return kNoError;
}

int TableImpl::hold(std::optional<int> seconds) {
  hold_request_ = true;
  hold_timeout_ = seconds;
  return kNoError;
}

int TableImpl::release() {
  end_hold();
  return kNoError;
}

int TableImpl::lock_round() {
  if (!open_) return kFileNotOpen;
  if (table_locked_) return kNoError;
  if (!file_->locks().hold(table_)) return kFileIsAlreadyLocked;
  table_locked_ = true;
  return kNoError;
}

int TableImpl::unlock() {
  if (!open_) return kFileNotOpen;
  if (table_locked_) {
    file_->locks().release_hold();
    table_locked_ = false;
  }
  return kNoError;
}

int TableImpl::logout() {
  if (!open_) return kFileNotOpen;
  int rc;
  if (!check_writable(&rc)) return rc;
  return join_transaction(file_);
}

}  // namespace orvel::datafile
