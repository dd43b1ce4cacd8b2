// The state of one table and the steps its operations share; private to the engine.
//
// Every public operation of Table runs inside operate(): past the transaction gate
// (engine_lock.h) and under the engine lock, refused with 90 while a corruption check of an
// earlier operation is pending, with the physical file's changes committed and its
// operation lock released at the end (not while the file takes part in a transaction), and
// with a failure recorded as the program's last error.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "datafile/declaration.h"
#include "datafile/key_encoding.h"
#include "datafile/key_index.h"
#include "datafile/locale_tables.h"
#include "datafile/memory_record_store.h"
#include "datafile/record_tree.h"
#include "datafile/shared_file.h"
#include "datafile/table.h"

namespace orvel::datafile {

// Where sequential reading starts and goes on.
enum class ReadMode {
  kNone,           // no set() yet
  kTableStart,     // first / last data record
  kFileOrder,      // after / before record `number`
  kTableAtNumber,  // record `number`, else the next / previous one
  kTableAtValue,   // the entry of `key` for `value`, then file order
  kKeyStart,       // first / last entry of `key`
  kKeyOrder,       // after / before the entry `entry`
  kKeyAtPosition,  // the entry `entry`, else the next / previous one
  kKeyAtValue,     // the first entry at or after / last at or before `value`
  kKeyAtNumber,    // the entry of record `number`
};

struct ReadPosition {
  ReadMode mode = ReadMode::kNone;
  int key = Table::kFileOrder;
  uint32_t number = 0;
  Bytes entry;  // a whole key entry, for the key-order modes
  Bytes value;  // an encoded key value, for the at-value modes
  // Where the record of `number` (file order) or `entry` (key order in the file's tree)
  // stands in the tree, when cursor_placed: the next step starts there instead of
  // descending from the root.
  TreePosition cursor;
  bool cursor_placed = false;
};

// A dynamic index between its build and the closing of the table: its entries and count in
// a private tree, and what it was built with, for a build that repeats it.
struct DynamicIndex {
  MemoryRecordStore tree;
  std::function<bool(const uint8_t* image)> filter;
};

struct TableState {
  const TableImpl* owner;
  bool open;
  int mode;
  Bytes buffer;
  Bytes saved;
  uint32_t current;
  ReadPosition read;
  bool last_was_read;
};

class TableImpl {
 public:
  TableImpl(const TableDecl& decl, platform::FileSystem& fs);

  // Runs body as one operation (see above). body returns an error number.
  template <typename Body>
  int operate(Body body, bool allowed_after_corruption = false);
  // Runs a read or fetch as operations until it no longer ends with 43 for a requested hold
  // or the hold timeout has passed.
  template <typename Body>
  int read_operation(Body body);

  const TableDecl& decl() const { return read_decl_ ? *read_decl_ : declared_; }
  bool declares_layout() const { return declared_.record_length != 0 || !declared_.memos.empty(); }

  // Open, create, close (table_open.cc).
  int open(int mode);
  int create();
  int close();

  // Records (table_records.cc).
  int add(bool deferred);
  int put();
  int erase();
  int get(int key);
  int get_by_number(uint32_t number);
  int records(int key, uint32_t* count);
  int duplicate(int key);

  // Sequential reading (table_reading.cc).
  int set_reading(ReadPosition position);
  int read(bool forward);
  int skip(int count);
  bool has_candidate(bool forward);
  Position position(int key);
  int reset(const Position& position, int key);
  int reget(const Position& position, int key);
  std::shared_ptr<TableState> save_state();
  int restore_state(const TableState& state);

  // Holds, table locks and transactions (table_locking.cc).
  int hold(std::optional<int> seconds);
  int release();
  // One attempt (3 tries) at the table's lock byte; 32 when another program holds it.
  int lock_round();
  int unlock();
  int logout();

  // Whole-table work and options (table_maintenance.cc).
  int empty();
  int build(int key);
  // Builds dynamic index key on components, with the records that pass filter (all when
  // empty); without components, again as it was last built.
  int build_dynamic_index(int key, const std::vector<KeyComponent>* components,
                          std::function<bool(const uint8_t* image)> filter);
  int pack();
  int remove();
  std::string send(const std::string& option);
  int table_names(std::vector<std::string>* names);

  // Shared steps.
  DataFile& data() { return file_->data(); }
  RecordTree& tree() { return data().tree(); }
  TextCollation text() const { return {&locale_, oem_}; }
  TreeRecordStore records_of_file() { return TreeRecordStore(&tree()); }
  TableKeys table_keys(RecordStore& store);
  KeyIndex key_index(int key, RecordStore& store) {
    return KeyIndex(store_of_key(key, store), table_, keys_[key], text());
  }
  // Where the entries of key live: the file's tree, or a dynamic index's private tree.
  RecordStore& store_of_key(int key, RecordStore& file_store) {
    if (!keys_[key].is_dynamic_index()) return file_store;
    return dynamic_indexes_[key].tree;
  }
  std::optional<Record> data_record(uint32_t number);
  // The data record where the tree keeps it: valid until the next call on the tree.
  const Record* stored_data_record(uint32_t number);
  // Copies a data record into the buffer and the saved image and makes it current; loads
  // its memos. Ends the one-shot requests.
  void take_record(const Record& data_record);
  // The buffer's image as the tree stores it.
  Record data_record_of_buffer(uint32_t number) const;
  // True when the file may be changed, after switching it to writing; else *rc = 5.
  bool check_writable(int* rc);
  // check_writable(), then the header brought up to date for a change of records; else *rc
  // is 5 or the error of the refresh.
  bool begin_change(int* rc);
  // Ends this table's record hold, if any.
  void end_hold();
  // Takes the lock byte of the record when a hold was requested; 43 when another program
  // holds it.
  int hold_if_requested(uint32_t number);
  int key_error(int key) const;

  const TableDecl& declared_;
  platform::FileSystem& fs_;
  std::optional<TableDecl> read_decl_;  // the stored layout, for a program that declares none

  Bytes buffer_;
  Bytes saved_;
  std::vector<Bytes> memos_;

  std::shared_ptr<SharedFile> file_;
  bool open_ = false;
  int mode_ = 0;
  std::string file_name_;   // as opened, with the default extension
  std::string table_name_;  // upper case
  uint32_t table_ = 0;
  std::vector<KeyDescriptor> keys_;
  std::map<int, DynamicIndex> dynamic_indexes_;  // by key number; emptied at close
  LocaleTables locale_ = LocaleTables::defaults();
  bool oem_ = false;

  uint32_t current_ = 0;
  ReadPosition read_;
  ReadPosition reading_;  // read_ while a read moves on, kept for the capacity of its bytes
  bool last_was_read_ = false;
  // Holds and locks (sharing_locks.h). The hold request and timeout last for one read.
  bool hold_request_ = false;
  std::optional<int> hold_timeout_;  // seconds; none waits without end
  bool record_held_ = false;
  bool table_locked_ = false;
  bool watch_request_ = false;
  bool watched_ = false;
  bool no_memo_request_ = false;
  bool read_without_memos_ = false;  // the current record was read with the no-memo request
  std::vector<Bytes> saved_memos_;   // memos as last read, for a watched change
  bool full_build_ = false;
  bool decimal_check_ = true;
  int internal_error_ = 0;
  std::string error_message_;  // words for the last error, e.g. the attribute of a 47

 private:
  int finish(int rc);
  void drop_file();
};

// Deletes every record whose key starts with the table number.
void delete_table_records(RecordStore& store, uint32_t table);
// The table number that the name record of the table called name gives; none when there is
// no such record or it is too short to hold a number.
std::optional<uint32_t> named_table(RecordStore& store, const std::string& name);

// The engine-wide lock every operation of the process runs under.
std::recursive_mutex& engine_mutex();

}  // namespace orvel::datafile
