// Windows files for the File interface.
//
// The sharing of an open mode is the system's own: it becomes the share flags of CreateFileA,
// so an open that an earlier open's sharing forbids fails in the system with a sharing
// violation, reported as kAccessDenied. Byte-range locks are LockFile / UnlockFile; they
// belong to one handle, so two File objects of one file conflict even inside one process.
// Error numbers are the system's own (GetLastError), which are the numbers the program uses.
#include <windows.h>

#include <algorithm>

#include "platform/error_codes.h"
#include "platform/file.h"

namespace orvel::platform {
namespace {

// The largest piece one ReadFile or WriteFile call is given.
constexpr size_t kMaxChunk = 1u << 30;

// Translates GetLastError() into the numbers the program uses.
int from_last_error(DWORD err) {
  switch (err) {
    case ERROR_SUCCESS:
      return kNoError;
    case ERROR_SHARING_VIOLATION:
    case ERROR_FILE_EXISTS:  // its number is also the table's "Unsupported File Driver Function"
    case ERROR_ALREADY_EXISTS:
      return kAccessDenied;
    case ERROR_HANDLE_DISK_FULL:
      return kSystemDiskFull;
    case ERROR_FILENAME_EXCED_RANGE:
      return kInvalidFilename;
    default:
      return static_cast<int>(err);
  }
}

int last_error() {
  return from_last_error(::GetLastError());
}

DWORD low_part(uint64_t value) {
  return static_cast<DWORD>(value & 0xFFFFFFFFu);
}
DWORD high_part(uint64_t value) {
  return static_cast<DWORD>(value >> 32);
}

DWORD share_flags(int mode) {
  switch (open_mode::sharing(mode)) {
    case open_mode::kDenyAll:
      return 0;
    case open_mode::kDenyWrite:
      return FILE_SHARE_READ;
    case open_mode::kDenyRead:
      return FILE_SHARE_WRITE;
    default:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
  }
}

DWORD creation_flags(Disposition disposition) {
  switch (disposition) {
    case Disposition::kOpenExisting:
      return OPEN_EXISTING;
    case Disposition::kOpenOrCreate:
      return OPEN_ALWAYS;
    case Disposition::kCreateTruncate:
      // The system cuts the file only once the sharing check has passed, so a file that
      // another open protects stays intact.
      return CREATE_ALWAYS;
    case Disposition::kCreateNew:
      return CREATE_NEW;
  }
  return OPEN_EXISTING;
}

class Win32File final : public File {
 public:
  Win32File(HANDLE handle, bool readable, bool writable)
      : handle_(handle), readable_(readable), writable_(writable) {}
  ~Win32File() override { ::CloseHandle(handle_); }

  int read_at(uint64_t offset, void* buf, size_t len, size_t* got) override {
    *got = 0;
    if (!readable_) return kAccessDenied;
    if (int rc = seek(offset); rc != kNoError) return rc;
    auto* out = static_cast<char*>(buf);
    while (*got < len) {
      DWORD chunk = static_cast<DWORD>(std::min(len - *got, kMaxChunk));
      DWORD n = 0;
      if (!::ReadFile(handle_, out + *got, chunk, &n, nullptr)) return last_error();
      if (n == 0) break;
      *got += n;
    }
    return kNoError;
  }

  int write_at(uint64_t offset, const void* buf, size_t len, size_t* written) override {
    *written = 0;
    if (!writable_) return kAccessDenied;
    if (int rc = seek(offset); rc != kNoError) return rc;
    auto* in = static_cast<const char*>(buf);
    while (*written < len) {
      DWORD chunk = static_cast<DWORD>(std::min(len - *written, kMaxChunk));
      DWORD n = 0;
      if (!::WriteFile(handle_, in + *written, chunk, &n, nullptr)) return last_error();
      // A write that moves nothing and reports no error would loop for ever.
      if (n == 0) return kSystemIoError;
      *written += n;
    }
    return kNoError;
  }

  int flush() override {
    if (!writable_) return kNoError;
    return ::FlushFileBuffers(handle_) ? kNoError : last_error();
  }

  int truncate(uint64_t size) override {
    if (!writable_) return kAccessDenied;
    if (int rc = seek(size); rc != kNoError) return rc;
    return ::SetEndOfFile(handle_) ? kNoError : last_error();
  }

  int size(uint64_t* size) override {
    DWORD high = 0;
    DWORD low = ::GetFileSize(handle_, &high);
    if (low == INVALID_FILE_SIZE) {
      DWORD err = ::GetLastError();
      if (err != ERROR_SUCCESS) return from_last_error(err);
    }
    *size = (static_cast<uint64_t>(high) << 32) | low;
    return kNoError;
  }

  int lock(uint64_t offset, uint64_t len) override {
    if (::LockFile(handle_, low_part(offset), high_part(offset), low_part(len), high_part(len))) {
      return kNoError;
    }
    return last_error();
  }

  int unlock(uint64_t offset, uint64_t len) override {
    if (::UnlockFile(handle_, low_part(offset), high_part(offset), low_part(len), high_part(len))) {
      return kNoError;
    }
    return last_error();
  }

 private:
  int seek(uint64_t offset) {
    LONG high = static_cast<LONG>(high_part(offset));
    ::SetLastError(ERROR_SUCCESS);
    DWORD low = ::SetFilePointer(handle_, static_cast<LONG>(low_part(offset)), &high, FILE_BEGIN);
    // The low part of a valid position may equal INVALID_SET_FILE_POINTER; only the error
    // code tells.
    if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != ERROR_SUCCESS) return last_error();
    return kNoError;
  }

  HANDLE handle_;
  bool readable_;
  bool writable_;
};

class Win32FileSystem final : public FileSystem {
 public:
  int open(const std::string& path, int mode, Disposition disposition,
           std::unique_ptr<File>* file) override {
    file->reset();
    if (path.empty()) return kInvalidFilename;
    bool readable = open_mode::can_read(mode);
    bool writable = open_mode::can_write(mode);
    if (disposition != Disposition::kOpenExisting && !writable) return kAccessDenied;
    // Exactly the access asked for: the share flags of other opens are checked against it.
    DWORD access = (readable ? GENERIC_READ : 0) | (writable ? GENERIC_WRITE : 0);
    HANDLE handle = ::CreateFileA(path.c_str(), access, share_flags(mode), nullptr,
                                  creation_flags(disposition), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return last_error();
    *file = std::make_unique<Win32File>(handle, readable, writable);
    return kNoError;
  }

  int remove(const std::string& path) override {
    if (path.empty()) return kInvalidFilename;
    return ::DeleteFileA(path.c_str()) ? kNoError : last_error();
  }

  bool is_directory(const std::string& path) override {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
};

}  // namespace

FileSystem& system_file_system() {
  static Win32FileSystem fs;
  return fs;
}

}  // namespace orvel::platform
