#include "datafile/file_io.h"

#include "datafile/corruption.h"
#include "platform/error_codes.h"

namespace orvel::datafile {

size_t FileIo::read(uint64_t offset, void* buf, size_t len) {
  if (len % 64 != 0) corruption_check(2272);
  size_t got = 0;
  if (file_->read_at(offset, buf, len, &got) != kNoError) corruption_check(kReadFailedCheck);
  return got;
}

void FileIo::read_full(uint64_t offset, void* buf, size_t len) {
  if (read(offset, buf, len) != len) corruption_check(2172);
}

void FileIo::write(uint64_t offset, const void* buf, size_t len) {
  if (len % 64 != 0) corruption_check(2286);
  if (pending_error_ != kNoError) return;
  size_t written = 0;
  int rc = file_->write_at(offset, buf, len, &written);
  if (rc != kNoError) {
    pending_error_ = rc;
  } else if (written != len) {
    pending_error_ = kAccessDenied;
  }
}

void FileIo::flush() {
  if (int rc = file_->flush(); rc != kNoError && pending_error_ == kNoError) pending_error_ = rc;
}

int FileIo::truncate(uint64_t size) {
  return file_->truncate(size);
}

int FileIo::size(uint64_t* size) {
  return file_->size(size);
}

}  // namespace orvel::datafile
