// A delimited text file: one record layout paired with a file name and an option string,
// read record by record and appended to through the operations of the program's files.
//
// The object owns its record image: the program fills it before append() and reads it
// after next(). The file name is taken from the caller's text at every create() and
// open(), with trailing blanks dropped; a relative name is taken relative to the current
// directory and no extension is added. Every open applies the defaults for its mode and
// then the option string (driver_options.h).
//
// Lifecycle: closed, then open after a successful open(); close() always returns to closed,
// and so does the destructor. create() needs the closed state and leaves it closed.
//
// Every operation returns 0 or an error number (platform/error_codes.h), and a failing one
// also leaves it in last_error():
//   kFileNotFound (2), kPathNotFound (3), kTooManyOpenFiles (4) from the system at open;
//   kAccessDenied (5): refused by the system or by another open's sharing, append() to a
//     file opened read-only, a failed lock in shared mode, a short write;
//   kRecordNotAvailable (33): next() at the end of the file, without set(), or after a
//     failed next();
//   kFileNotOpen (37): any operation but open() and create() on a closed file;
//   kInvalidFilename (45): an empty name, one the system rejects, 260 characters or more;
//   kFileAlreadyOpen (52): open() or create() on an open file;
//   kNoCreateAttribute (54): create() of a file declared without the create attribute;
//   kUnsupportedFunction (80): operations such files do not offer;
//   any other system error unchanged.
// One object belongs to one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "textfile/driver_options.h"
#include "textfile/file_io.h"
#include "textfile/record_layout.h"
#include "textfile/record_reader.h"

namespace orvel::textfile {

// Names of this many characters or more are refused.
inline constexpr size_t kMaxNameLength = 260;

struct TextFileDecl {
  RecordLayout layout;
  // The text that holds the file name, read at every create() and open().
  std::function<std::string_view()> name;
  std::string options;  // "/COMMA=59"
  bool create = false;  // whether create() may make the file
};

class TextFile {
 public:
  // fs must outlive the object.
  explicit TextFile(TextFileDecl decl, platform::FileSystem& fs = platform::system_file_system());
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  ~TextFile();

  // Makes an empty file of the name, cutting an existing one to length 0, and closes it.
  int create();
  // Opens the existing file with mode: access in bits 0x03 (0 read-only, 1 write-only,
  // 2 read/write), sharing in bits 0x70 (0x10 none, 0x20 others may read, 0x30 others may
  // write, 0 or 0x40 everyone). Afterwards there is no current record and no position.
  int open(int mode);
  // Positions at the start of the file for next().
  int set();
  // Reads the record at the position into the record image; it becomes the current record
  // and the position moves past it.
  int next();
  // The length of the current record after a successful next(); else the file size.
  int bytes(uint64_t* count);
  // Writes the record image as one record at the end of the file. With sharing 0x40 byte 0
  // of the file is locked meanwhile and, without the file buffer, the size read anew.
  int append();
  // Writes out the file buffer, has the system flush the file and closes it.
  int close();
  // Counting records is not offered by delimited text files.
  int records(uint64_t* count);
  // For every other operation of the program's files that such files do not offer.
  int unsupported();

  const RecordLayout& layout() const { return decl_.layout; }
  std::span<uint8_t> record() { return record_; }
  std::span<const uint8_t> record() const { return record_; }

  bool is_open() const { return file_ != nullptr; }
  // The number of the last failed operation, 0 while none has failed.
  int last_error() const { return last_error_; }
  // The name as the last create() or open() resolved it.
  const std::string& resolved_name() const { return resolved_name_; }
  // The settings in force since the last open().
  const DriverSettings& settings() const { return settings_; }
  // Bytes of the file buffer, 0 without one.
  size_t buffer_size() const { return io_ ? io_->buffer_size() : 0; }

 private:
  int fail(int code);
  int resolve_name();
  void release();

  // Constant after construction.
  const TextFileDecl decl_;
  platform::FileSystem& fs_;
  std::vector<uint8_t> record_;

  int last_error_ = 0;
  std::string resolved_name_;

  // State of an open file.
  std::unique_ptr<platform::File> file_;
  std::unique_ptr<FileIo> io_;
  int mode_ = 0;
  DriverSettings settings_;
  std::optional<RecordReader> reader_;
  uint64_t file_size_ = 0;
  bool positioned_ = false;   // set() since the last failed next()
  uint64_t next_offset_ = 0;  // 0-based: the byte after the current record
  bool has_current_ = false;
  uint64_t current_length_ = 0;
  std::string line_;  // the text of the record being appended
};

}  // namespace orvel::textfile
