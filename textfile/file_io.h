// The reads and writes of an open delimited text file: through the file buffer, or direct.
//
// With the buffer, a read fetches a window of the buffer's size from the asked offset and
// later reads inside that window are served from memory; writes are collected and written
// out when the buffer is full, when a read needs the buffer, and at flush(). The buffer is
// a cache, not a limit: a read that needs more than it holds gets a larger window. Without
// the buffer every read and write goes to the file and nothing is kept between calls, so
// the bytes that other programs append are seen.
//
// The end of the file is reported as an empty window; it ends a value and a record like a
// Ctrl-Z. A write that fails or falls short is kAccessDenied. The File is borrowed and must
// outlive this object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "textfile/byte_source.h"

namespace orvel::textfile {

class FileIo final : public ByteSource {
 public:
  // buffer_size 0 means no buffer. When that much memory cannot be had the size is halved
  // until it can; at 10 bytes or less the file goes without a buffer.
  FileIo(platform::File& file, size_t buffer_size);
  FileIo(const FileIo&) = delete;
  FileIo& operator=(const FileIo&) = delete;

  bool buffered() const { return !buffer_.empty(); }
  size_t buffer_size() const { return buffer_.size(); }

  int window(uint64_t offset, size_t min_len, const uint8_t** data, size_t* len) override;

  // Writes bytes at offset, which for collected writes must follow the ones before.
  int write(uint64_t offset, std::string_view bytes);
  // Writes out the collected bytes.
  int flush();
  // The offset from which bytes may not have reached the file since the last call, because
  // a write of them (or of bytes collected with them) failed; UINT64_MAX when none did.
  uint64_t take_lost_from();

 private:
  int write_direct(uint64_t offset, const void* data, size_t len);

  platform::File& file_;
  std::vector<uint8_t> buffer_;  // empty: no buffer
  std::vector<uint8_t> direct_;  // scratch of reads without the buffer
  // The read window the buffer holds, when window_valid_.
  bool window_valid_ = false;
  uint64_t window_offset_ = 0;
  size_t window_len_ = 0;
  bool window_at_end_ = false;  // the file ended inside the window
  // Collected writes, when pending_len_ is not 0; they share the buffer with the window.
  uint64_t pending_offset_ = 0;
  size_t pending_len_ = 0;
  uint64_t lost_from_ = UINT64_MAX;
};

}  // namespace orvel::textfile
