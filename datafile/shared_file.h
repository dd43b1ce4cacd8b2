// The physical file object: one open keyed data file shared by every table of the process
// that names the same file (of the same thread, for tables declared with the thread
// attribute).
//
// It holds the operating-system file, the header copy, the page cache and the lock state
// (all inside DataFile), the open mode in force and a count of its users. When a further
// opener asks for another mode, the mode is reconciled: the access becomes read and write
// unless both agree, and the sharing becomes the stricter of the two (deny none yields to
// any other; two different others give deny all); a handle that cannot write is opened
// again for the reconciled mode.
//
// Callers hold the engine lock (engine_lock.h); nothing here is thread-safe on its own.
#pragma once

#include <memory>
#include <string>

#include "datafile/data_file.h"
#include "platform/file.h"

namespace orvel::datafile {

class SharedFile {
 public:
  // Joins the object of file_name (opening the file with mode when nobody has it open).
  // Errors: those of FileSystem::open, and 36 when the file is no keyed data file.
  static int acquire(platform::FileSystem& fs, const std::string& file_name, int mode,
                     bool per_thread, std::shared_ptr<SharedFile>* out);
  ~SharedFile();
  SharedFile(const SharedFile&) = delete;
  SharedFile& operator=(const SharedFile&) = delete;

  DataFile& data() { return *data_; }
  int mode() const { return mode_; }
  bool writable() const { return platform::open_mode::can_write(mode_); }
  const std::string& file_name() const { return file_name_; }
  platform::FileSystem& file_system() { return fs_; }

 private:
  SharedFile(platform::FileSystem& fs, std::string file_name) : fs_(fs), file_name_(file_name) {}
  int open_handle(int mode);
  int join(int mode);

  platform::FileSystem& fs_;
  std::string file_name_;
  int mode_ = 0;
  std::unique_ptr<DataFile> data_;
};

}  // namespace orvel::datafile
