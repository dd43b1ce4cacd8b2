// The physical file object: one open keyed data file shared by every table of the process
// that names the same file (of the same thread, for tables declared with the thread
// attribute).
//
// It holds the operating-system file, the header copy and the page cache (inside DataFile),
// the lock state (SharingLocks, whose protocol follows the sharing of the mode the handle was
// opened with), whether it takes part in the process's transaction, the open mode in force
// and a count of its users. Its first reader slot is chosen from the time when it is
// created. A pending journal of a transaction is judged by the transaction control file
// named in the file's transaction marker (transaction.h). When a further
// opener asks for another mode, the mode is reconciled: the access becomes read and write
// unless both agree, and the sharing becomes the stricter of the two (deny none yields to
// any other; two different others give deny all); a handle that cannot write is opened
// again for the reconciled mode, which starts the lock state afresh (record holds and table
// locks of the other tables of the object are given up with the old handle). The lock
// protocol keeps to the sharing the handle was opened with.
//
// Callers hold the engine lock (table_impl.h); nothing here is thread-safe on its own.
#pragma once

#include <memory>
#include <string>

#include "datafile/data_file.h"
#include "datafile/sharing_locks.h"
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
  SharingLocks& locks() { return *locks_; }
  // Set by LOGOUT: the ends of operations neither commit nor release the operation lock
  // until the transaction is committed or rolled back.
  bool in_transaction() const { return in_transaction_; }
  void set_in_transaction(bool in) { in_transaction_ = in; }
  int mode() const { return mode_; }
  bool writable() const { return platform::open_mode::can_write(mode_); }
  const std::string& file_name() const { return file_name_; }
  platform::FileSystem& file_system() { return fs_; }

 private:
  SharedFile(platform::FileSystem& fs, std::string file_name);
  int open_handle(int mode);
  int join(int mode);

  platform::FileSystem& fs_;
  std::string file_name_;
  int mode_ = 0;
  bool in_transaction_ = false;
  int first_slot_;
  // Declared before data_, which uses it, so that it is destroyed after it.
  std::unique_ptr<SharingLocks> locks_;
  std::unique_ptr<DataFile> data_;
};

}  // namespace orvel::datafile
