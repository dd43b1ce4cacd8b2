// POSIX files for the File interface.
//
// Byte-range locks are open-file-description locks (F_OFD_SETLK): they belong to one open,
// not to the process, so two File objects of one file conflict even inside one process.
//
// Sharing. POSIX has no share modes, so the sharing of an open mode is kept between our own
// programs with OFD locks on five bytes far beyond any real data, at kShareBase:
//   +0  held shared by every open with read access
//   +1  held shared by every open with write access
//   +2  held shared by every open that denies reading to others
//   +3  held shared by every open that denies writing to others
//   +4  gate, held exclusively while an open checks and takes the bytes above
// An open fails with kAccessDenied when a byte it conflicts with is held by another open:
// reading conflicts with +2, writing with +3, denying reading with +0, denying writing
// with +1. The engine's own locks lie below 2^33, far from this range.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/error_codes.h"
#include "platform/file.h"

namespace orvel::platform {
namespace {

constexpr off_t kShareBase = 0x7FFFFFFF00000000LL;
enum ShareByte : off_t {
  kOpenRead = 0,
  kOpenWrite = 1,
  kDeniesRead = 2,
  kDeniesWrite = 3,
  kGate = 4
};

std::string parent_directory(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool directory_exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Translates errno into the numbers the program uses.
int from_errno(int err, const std::string& path = {}) {
  switch (err) {
    case 0:
      return kNoError;
    case ENOENT:
      return (!path.empty() && !directory_exists(parent_directory(path))) ? kPathNotFound
                                                                          : kFileNotFound;
    case ENOTDIR:
      return kPathNotFound;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY:
      return kAccessDenied;
    case EROFS:
      return kSystemWriteProtect;
    case ENAMETOOLONG:
      return kInvalidFilename;
    case EINVAL:
      return kSystemInvalidName;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kSystemDiskFull;
    case EIO:
      return kSystemIoError;
    case EBADF:
      return kSystemInvalidHandle;
    case EAGAIN:
      return kSystemLockViolation;
    default:
      return err;
  }
}

int ofd_lock(int fd, short type, off_t start, off_t len, bool wait) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) != 0) {
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EACCES) ? kSystemLockViolation : from_errno(errno);
  }
  return kNoError;
}

// True when another open holds any lock on the share byte.
bool share_byte_taken(int fd, off_t byte) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kShareBase + byte;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

class PosixFile final : public File {
 public:
  // readable and writable are the access asked for; fd_flags the access of the descriptor.
  PosixFile(int fd, bool readable, bool writable, int fd_flags)
      : fd_(fd),
        readable_(readable),
        writable_(writable),
        fd_readable_(fd_flags != O_WRONLY),
        fd_writable_(fd_flags != O_RDONLY) {}
  ~PosixFile() override { ::close(fd_); }

  int read_at(uint64_t offset, void* buf, size_t len, size_t* got) override {
    *got = 0;
    if (!readable_) return kAccessDenied;
    auto* out = static_cast<char*>(buf);
    while (*got < len) {
      ssize_t n = ::pread(fd_, out + *got, len - *got, static_cast<off_t>(offset + *got));
      if (n < 0) {
        if (errno == EINTR) continue;
        return from_errno(errno);
      }
      if (n == 0) break;
      *got += static_cast<size_t>(n);
    }
    return kNoError;
  }

  int write_at(uint64_t offset, const void* buf, size_t len, size_t* written) override {
    *written = 0;
    if (!writable_) return kAccessDenied;
    auto* in = static_cast<const char*>(buf);
    while (*written < len) {
      ssize_t n =
          ::pwrite(fd_, in + *written, len - *written, static_cast<off_t>(offset + *written));
      if (n < 0) {
        if (errno == EINTR) continue;
        return from_errno(errno);
      }
      *written += static_cast<size_t>(n);
    }
    return kNoError;
  }

  int flush() override {
    if (!writable_) return kNoError;
    while (::fdatasync(fd_) != 0) {
      if (errno != EINTR) return from_errno(errno);
    }
    return kNoError;
  }

  int truncate(uint64_t size) override {
    if (!writable_) return kAccessDenied;
    while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return from_errno(errno);
    }
    return kNoError;
  }

  int size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return from_errno(errno);
    *size = static_cast<uint64_t>(st.st_size);
    return kNoError;
  }

  // A descriptor opened only for reading can take only shared locks; those still exclude
  // every exclusive lock of other opens, which is what readers need.
  int lock(uint64_t offset, uint64_t len) override {
    return ofd_lock(fd_, fd_writable_ ? F_WRLCK : F_RDLCK, static_cast<off_t>(offset),
                    static_cast<off_t>(len), false);
  }

  int unlock(uint64_t offset, uint64_t len) override {
    return ofd_lock(fd_, F_UNLCK, static_cast<off_t>(offset), static_cast<off_t>(len), false);
  }

  // Checks the sharing of earlier opens against this one and records this one's.
  int claim_sharing(int mode) {
    int share = open_mode::sharing(mode);
    bool deny_read = share == open_mode::kDenyAll || share == open_mode::kDenyRead;
    bool deny_write = share == open_mode::kDenyAll || share == open_mode::kDenyWrite;
    short mark = fd_readable_ ? F_RDLCK : F_WRLCK;
    int rc = ofd_lock(fd_, F_WRLCK, kShareBase + kGate, 1, true);
    if (rc != kNoError && rc != kSystemLockViolation) return kNoError;  // no lock support here
    bool refused = (readable_ && share_byte_taken(fd_, kDeniesRead)) ||
                   (writable_ && share_byte_taken(fd_, kDeniesWrite)) ||
                   (deny_read && share_byte_taken(fd_, kOpenRead)) ||
                   (deny_write && share_byte_taken(fd_, kOpenWrite));
    if (!refused) {
      if (readable_) ofd_lock(fd_, mark, kShareBase + kOpenRead, 1, false);
      if (writable_) ofd_lock(fd_, mark, kShareBase + kOpenWrite, 1, false);
      if (deny_read) ofd_lock(fd_, mark, kShareBase + kDeniesRead, 1, false);
      if (deny_write) ofd_lock(fd_, mark, kShareBase + kDeniesWrite, 1, false);
    }
    ofd_lock(fd_, F_UNLCK, kShareBase + kGate, 1, false);
    return refused ? kAccessDenied : kNoError;
  }

 private:
  int fd_;
  bool readable_;
  bool writable_;
  bool fd_readable_;
  bool fd_writable_;
};

class PosixFileSystem final : public FileSystem {
 public:
  int open(const std::string& path, int mode, Disposition disposition,
           std::unique_ptr<File>* file) override {
    file->reset();
    if (path.empty()) return kInvalidFilename;
    bool readable = open_mode::can_read(mode);
    bool writable = open_mode::can_write(mode);
    int create_flags = disposition == Disposition::kOpenExisting ? 0 : O_CREAT;
    if (create_flags && !writable) return kAccessDenied;
    // A new file is as readable as the user's umask allows; a temporary under kCreateNew is
    // the owner's alone until it takes its place.
    const mode_t permissions = disposition == Disposition::kCreateNew ? 0600 : 0666;
    if (disposition == Disposition::kCreateNew) create_flags |= O_EXCL;
    // Not waiting for a pipe's other end or a device, nor making a terminal ours: the name
    // may come from a file the program reads, and only a plain file is kept below.
    create_flags |= O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    // Read and write when the system allows it, so that locks can be exclusive; the File
    // itself keeps to the access that was asked for.
    int fd_flags = O_RDWR;
    int fd = ::open(path.c_str(), fd_flags | create_flags, permissions);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM) &&
        !(readable && writable)) {
      fd_flags = readable ? O_RDONLY : O_WRONLY;
      fd = ::open(path.c_str(), fd_flags | create_flags, permissions);
    }
    if (fd < 0 && (errno == EEXIST || errno == ENXIO)) return kAccessDenied;
    if (fd < 0) return from_errno(errno, path);
    // Every read and write here is positioned, which only a plain file allows.
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return kAccessDenied;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    auto posix = std::make_unique<PosixFile>(fd, readable, writable, fd_flags);
    if (int rc = posix->claim_sharing(mode); rc != kNoError) return rc;
    // Cut only after the sharing check: a file that another open protects stays intact.
    if (disposition == Disposition::kCreateTruncate) {
      if (int rc = posix->truncate(0); rc != kNoError) return rc;
    }
    *file = std::move(posix);
    return kNoError;
  }

  int remove(const std::string& path) override {
    if (path.empty()) return kInvalidFilename;
    if (::unlink(path.c_str()) != 0) return from_errno(errno, path);
    return kNoError;
  }

  bool is_directory(const std::string& path) override { return directory_exists(path); }
};

}  // namespace

FileSystem& system_file_system() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace orvel::platform
