// The lock calls that the container, the commit and recovery make on an open file, as an
// interface that the sharing and locking layer fills in (sharing_locks.h).
//
// held_for_writing() tells whether the file is held for changing it (the writer byte, or an
// open that no other program may write); issuing numbers, inserting and deleting require
// it. The all-slots lock shuts readers out while a commit writes pages. The operation lock
// is the reader slot or the writer byte of the current operation; a refresh of a file
// shared with writers takes it before reading the header, and releasing it returns the
// file to reading. switch_to_writing() marks the file as writing, so that the next
// operation lock is the writer byte; it returns true when it had to give up a reader slot,
// since the header must then be read again under the writer byte. begin_repair() is asked
// before an interrupted commit is resolved: true when this open may write the repair (it
// may take a lock for it, which end_repair() gives back).
//
// SingleUserLocks is the implementation for a file no other program shares: no locks, and
// held for writing exactly when the file was opened for writing.
//
// The lock calls cannot fail: waits are without end. An implementation is used by the one
// thread that uses its file at a time.
#pragma once

namespace orvel::datafile {

class FileLocks {
 public:
  virtual ~FileLocks() = default;
  virtual bool held_for_writing() const = 0;
  // Waits without end.
  virtual void take_operation_lock() = 0;
  virtual void release_operation_lock() = 0;
  // Waits without end.
  virtual void take_all_slots() = 0;
  virtual void release_all_slots() = 0;
  virtual bool switch_to_writing() { return false; }
  virtual bool begin_repair() { return held_for_writing(); }
  virtual void end_repair() {}
};

class SingleUserLocks final : public FileLocks {
 public:
  explicit SingleUserLocks(bool writing) : writing_(writing) {}
  bool held_for_writing() const override { return writing_; }
  void set_writing(bool writing) { writing_ = writing; }
  void take_operation_lock() override {}
  void release_operation_lock() override {}
  void take_all_slots() override {}
  void release_all_slots() override {}

 private:
  bool writing_;
};

}  // namespace orvel::datafile
