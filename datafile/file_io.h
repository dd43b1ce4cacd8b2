// Positioned I/O of a keyed data file: every byte the engine reads or writes passes here.
//
// Lengths are multiples of 64 (corruption checks 2272 for reads, 2286 for writes), so that
// scrambled files can pass each 64-byte block through their scrambling step. A read whose
// operating-system call fails is corruption check 2277; read_full() also insists on every
// byte (2172). Writes never throw: a failed write records the system's error as the pending
// I/O error, a short write records 5 (access denied), and while an error is pending further
// writes are skipped. The commit clears the pending error before it writes and tests it
// afterwards. A failed flush records its error the same way, since the order of writes on
// disk is no longer known after it.
//
// FileIo does not own the File; the File must outlive it. Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file.h"

namespace orvel::datafile {

// The corruption check of a read that the operating system failed.
inline constexpr int kReadFailedCheck = 2277;

class FileIo {
 public:
  explicit FileIo(platform::File* file) : file_(file) {}
  FileIo(const FileIo&) = delete;
  FileIo& operator=(const FileIo&) = delete;

  // Reads up to len bytes at offset; returns the number read (fewer only at the end of the
  // file).
  size_t read(uint64_t offset, void* buf, size_t len);
  // Reads exactly len bytes at offset, corruption check 2172 when fewer exist.
  void read_full(uint64_t offset, void* buf, size_t len);

  void write(uint64_t offset, const void* buf, size_t len);
  void flush();
  // Sets the file's length; returns 0 or the system's error.
  int truncate(uint64_t size);
  int size(uint64_t* size);

  int pending_error() const { return pending_error_; }
  void clear_pending_error() { pending_error_ = 0; }

  platform::File* file() const { return file_; }

 private:
  platform::File* file_;
  int pending_error_ = 0;
};

}  // namespace orvel::datafile
