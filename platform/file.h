// The one interface through which the engine and the delimited text files reach files.
//
// A File is one open of one operating-system file: positioned reads and writes, flush,
// truncate, size, and exclusive byte-range locks at 64-bit offsets. Two File objects of the
// same file exclude each other's locks even inside one process, as two programs would.
// A FileSystem opens, creates and removes files by name and applies the sharing of the open
// mode: an open that the sharing of an earlier open forbids fails with kAccessDenied.
//
// Every call returns 0 or an error number (platform/error_codes.h). A File is used by one
// thread at a time; a FileSystem may be used from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orvel::platform {

// Open mode bits, one number as the program passes it.
namespace open_mode {
constexpr int kAccessMask = 0x03;
constexpr int kReadOnly = 0x00;
constexpr int kWriteOnly = 0x01;
constexpr int kReadWrite = 0x02;
constexpr int kShareMask = 0x70;
constexpr int kDenyAll = 0x10;
constexpr int kDenyWrite = 0x20;
constexpr int kDenyRead = 0x30;
constexpr int kDenyNone = 0x40;
constexpr int kCreate = 0x100;

inline int access(int mode) {
  return mode & kAccessMask;
}
inline bool can_read(int mode) {
  return access(mode) != kWriteOnly;
}
inline bool can_write(int mode) {
  return access(mode) != kReadOnly;
}
// The sharing of a mode; a value below 0x10 counts as deny none.
inline int sharing(int mode) {
  int share = mode & kShareMask;
  return share < kDenyAll ? kDenyNone : share;
}
}  // namespace open_mode

// What an open does when the file exists or does not.
enum class Disposition {
  kOpenExisting,    // fails with kFileNotFound when missing
  kOpenOrCreate,    // creates an empty file when missing
  kCreateTruncate,  // creates, or cuts an existing file to length 0
  // Creates a file under a name that is free, for contents written before they take another
  // file's place: an existing file or link of that name is never opened (kAccessDenied), and
  // on POSIX systems the new file is readable and writable by its owner only.
  kCreateNew,
};

class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  virtual ~File() = default;

  // Reads up to len bytes at offset into buf; *got is the number read, fewer only at the end
  // of the file.
  virtual int read_at(uint64_t offset, void* buf, size_t len, size_t* got) = 0;
  // Writes len bytes at offset, extending the file as needed; *written is the number
  // written, which may be short only when an error is returned.
  virtual int write_at(uint64_t offset, const void* buf, size_t len, size_t* written) = 0;
  // Returns when everything written before has reached stable storage.
  virtual int flush() = 0;
  // Sets the length of the file.
  virtual int truncate(uint64_t size) = 0;
  virtual int size(uint64_t* size) = 0;
  // Takes an exclusive lock on [offset, offset + len) without waiting. A byte held by another
  // File gives kSystemLockViolation. Locks are not nested: a File must not lock a byte it
  // already holds.
  virtual int lock(uint64_t offset, uint64_t len) = 0;
  // Releases a range exactly as it was locked.
  virtual int unlock(uint64_t offset, uint64_t len) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens path with the access and sharing of mode (the kCreate bit is ignored: the
  // disposition decides). A file it creates gets the permissions the user's umask leaves of
  // read and write for everyone, except under kCreateNew. Errors: kFileNotFound, kPathNotFound (a
  // directory of the path is missing), kTooManyOpenFiles, kAccessDenied (permissions, or the
  // sharing of another open), kInvalidFilename (empty or unusable name), and system errors.
  virtual int open(const std::string& path, int mode, Disposition disposition,
                   std::unique_ptr<File>* file) = 0;
  virtual int remove(const std::string& path) = 0;
  virtual bool is_directory(const std::string& path) = 0;
};

// The file system of this machine.
FileSystem& system_file_system();

}  // namespace orvel::platform
