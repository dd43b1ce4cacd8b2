#include "textfile/file_io.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/error_codes.h"

namespace orvel::textfile {
namespace {

// Reads without the buffer fetch this much at a time; the next record's read fetches anew.
constexpr size_t kDirectReadSize = 512;
constexpr size_t kSmallestBuffer = 10;

}  // namespace

FileIo::FileIo(platform::File& file, size_t buffer_size) : file_(file) {
  for (size_t size = buffer_size; size > kSmallestBuffer; size /= 2) {
    try {
      buffer_.resize(size);
      return;
    } catch (const std::bad_alloc&) {
    }
  }
}

int FileIo::window(uint64_t offset, size_t min_len, const uint8_t** data, size_t* len) {
  *data = nullptr;
  *len = 0;
  if (!buffered()) {
    direct_.resize(std::max(kDirectReadSize, min_len));
    size_t got = 0;
    if (int rc = file_.read_at(offset, direct_.data(), direct_.size(), &got); rc != kNoError) {
      return rc;
    }
    *data = direct_.data();
    *len = got;
    return kNoError;
  }
  if (int rc = flush(); rc != kNoError) return rc;
  if (window_valid_ && offset >= window_offset_ && offset - window_offset_ <= window_len_) {
    size_t skip = static_cast<size_t>(offset - window_offset_);
    if (window_len_ - skip >= min_len || window_at_end_) {
      *data = buffer_.data() + skip;
      *len = window_len_ - skip;
      return kNoError;
    }
  }
  window_valid_ = false;
  if (min_len > buffer_.size()) buffer_.resize(min_len);
  size_t got = 0;
  if (int rc = file_.read_at(offset, buffer_.data(), buffer_.size(), &got); rc != kNoError) {
    return rc;
  }
  window_valid_ = true;
  window_offset_ = offset;
  window_len_ = got;
  window_at_end_ = got < buffer_.size();
  *data = buffer_.data();
  *len = got;
  return kNoError;
}

int FileIo::write(uint64_t offset, std::string_view bytes) {
  if (!buffered()) return write_direct(offset, bytes.data(), bytes.size());
  window_valid_ = false;
  if (pending_len_ != 0 &&
      (offset != pending_offset_ + pending_len_ || bytes.size() > buffer_.size() - pending_len_)) {
    if (int rc = flush(); rc != kNoError) return rc;
  }
  if (bytes.size() >= buffer_.size()) return write_direct(offset, bytes.data(), bytes.size());
  if (pending_len_ == 0) pending_offset_ = offset;
  std::memcpy(buffer_.data() + pending_len_, bytes.data(), bytes.size());
  pending_len_ += bytes.size();
  return pending_len_ == buffer_.size() ? flush() : kNoError;
}

int FileIo::flush() {
  if (pending_len_ == 0) return kNoError;
  size_t len = pending_len_;
  pending_len_ = 0;
  return write_direct(pending_offset_, buffer_.data(), len);
}

uint64_t FileIo::take_lost_from() {
  uint64_t lost = lost_from_;
  lost_from_ = UINT64_MAX;
  return lost;
}

int FileIo::write_direct(uint64_t offset, const void* data, size_t len) {
  size_t written = 0;
  int rc = file_.write_at(offset, data, len, &written);
  if (rc == kNoError && written == len) return kNoError;
  lost_from_ = std::min(lost_from_, offset);
  return kAccessDenied;
}

}  // namespace orvel::textfile
