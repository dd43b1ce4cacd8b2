// One table of a keyed data file, as programs use it: a declaration, a record buffer, and
// the operations that read and write records one at a time.
//
// The program fills the record buffer before an operation and reads it after one. Every
// operation returns 0 or an error number (platform/error_codes.h); a non-zero number also
// becomes the program's last error, together with the table that raised it (last_error()).
// An operation commits its changes before it returns, so every add, change and delete is on
// disk, crash-safe, when it reports success.
//
// All tables of the process that name the same file share one physical file object (one
// handle, header, page cache and lock state); with the thread attribute each thread has its
// own. Every operation of the process runs under one engine-wide lock, so a Table may be
// used from any thread, one operation at a time.
//
// Sequential reading. set...() chooses where reading starts and in which order; next() and
// previous() read the following record. Orders: file order (record numbers) or the order of
// a key. Keys are named by their 0-based number in the declaration.
//
//   call                         starts at                                      order
//   set()                        the first / last record of the table           file
//   set_at_number(n)             record n, else the next / previous one         file
//   set_at_value_of(key)         the key's entry for the buffer's value         file
//   set(key)                     the first / last entry of the key              key
//   set_at(key)                  the first entry at or after (next) / the last   key
//                                at or before (previous) the buffer's value
//   set_at(key, n)               the entry of (buffer's value, record n)        key
//   set_at_number(key, n)        the entry of record n                          key
//
// A failed read (33 at either end, 43 for a held record) leaves the position unchanged.
// A corruption check inside an operation ends it with 90 and disables the table until it
// is closed; only close(), name() and remove() still work.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "datafile/declaration.h"
#include "datafile/record.h"
#include "platform/file.h"

namespace orvel::datafile {

class TableImpl;
struct TableState;

// What the program knows of its last failed operation.
struct LastError {
  int code = 0;           // the error number
  std::string file;       // the name of the erring table's file
  int file_code = 0;      // for 90: the corruption check's number
  std::string file_text;  // for 90: "Possible data corruption in file"
  std::string message;    // for 47: the attribute word and any text
};
const LastError& last_error();

// What a program may ask of a key of the declaration: its names, attributes and components
// (field number and direction). An INDEX reports DUP, since its entries may share values.
struct KeyProperties {
  std::string label;
  std::string external_name;
  bool dup = false;
  bool opt = false;
  bool nocase = false;
  bool primary = false;
  bool is_index = false;
  std::vector<KeyComponent> components;

  const char* kind() const { return is_index ? "INDEX" : "KEY"; }
};

// An opaque position of a record in file order or in a key's order.
using Position = Bytes;

class Table {
 public:
  static constexpr int kFileOrder = -1;

  // decl must outlive the table. fs is the file system every file of the table lives in.
  explicit Table(const TableDecl& decl, platform::FileSystem& fs = platform::system_file_system());
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  const TableDecl& declaration() const;
  // The record buffer, record_length bytes.
  uint8_t* record();
  // The buffer of memo m, its declared size.
  Bytes& memo(int m);

  // Opens the table with an open mode (platform/file.h open_mode); share() is the same.
  // Errors: 45 empty name, 5 write-only access or a sharing violation, 2 missing file or
  // table, 36 not a keyed data file, 47 declaration differs from the stored definition,
  // 52 already open.
  int open(int mode = 0x22);
  int share(int mode = 0x42) { return open(mode); }
  // Creates the table in its file (the file when missing; other tables stay), replacing a
  // table of the same name. Requires the create attribute (54). Leaves the table closed.
  int create();
  // Commits, cuts the file at its data end and leaves it; releases every lock.
  int close();
  bool is_open() const;
  // The file name: as declared until the first open, then as the file reports it.
  std::string name() const;

  // The count of the table's data records, or of a key's entries.
  int records(uint32_t* count);
  int records(int key, uint32_t* count);

  int add();     // the buffer as a new record, keys maintained (40 on a duplicate)
  int append();  // the same, key maintenance left to a later build()
  // put() and erase() lock a record the table does not hold for the time of the change;
  // held by another program, put() returns 5 and erase() 33.
  int put();    // replaces the current record (33 without one, 89 watched and changed)
  int erase();  // deletes the current record (33 without one)

  int get(int key);                    // the record whose key value is the buffer's (35)
  int get_by_number(uint32_t number);  // the data record with that number (35)

  int set();
  int set_at_number(uint32_t number);
  int set_at_value_of(int key);
  int set(int key);
  int set_at(int key);
  int set_at(int key, uint32_t number);
  int set_at_number(int key, uint32_t number);
  int next();
  int previous();
  int skip(int count);
  bool bof();
  bool eof();

  // The position of the current record in file order or in a key's order.
  Position position(int key = kFileOrder);
  int reset(const Position& position, int key = kFileOrder);
  int reget(const Position& position, int key = kFileOrder);
  // The current record's number, 0 when there is none.
  uint32_t pointer() const;

  // Sharing with other programs (sharing_locks.h, transaction.h).
  //
  // hold(): the next read or fetch also holds the record it reads (its lock byte), so that
  // no other program changes or holds it. Held elsewhere, the read is repeated until the
  // holder lets go, or, with seconds, until more than that time has passed; then it returns
  // 43 "Record Is Already Held" and reads nothing. The hold lasts until the table's next
  // read or fetch, add(), the end of put(), erase(), release() or close().
  int hold(std::optional<int> seconds = std::nullopt);
  int release();
  // The next read keeps a copy of the record; a put() of it then fails with 89 "Record
  // Changed By Another Station" when the record or its memos changed on disk meanwhile.
  int watch();
  // Locks the table against other programs' lock() (not against reads or changes). Without
  // seconds it waits until it gets the lock; with seconds it tries once a second and returns
  // 32 "File Is Already Locked" when the time has passed.
  int lock(std::optional<int> seconds = std::nullopt);
  int unlock();
  // logout() makes the table's file part of the process's transaction: nothing it changes
  // reaches the disk until commit(), which commits every file of the transaction at once,
  // or rollback(), which forgets their changes. Meanwhile the file stays locked against
  // other writers, and other threads of the process wait. commit() and rollback() act on
  // the whole transaction at their first call; later calls find it empty and return 0.
  int logout();
  int commit();
  int rollback();

  int stream();
  int flush();
  int empty();  // deletes every record; keys and counts start again from nothing
  int build();  // builds every key that is not an index
  int build(int key);
  // Builds dynamic index key (an INDEX declared without components) on the components
  // given, from the records that pass filter (every record when it is empty). The index
  // lives in memory until the table closes; changes after its build do not reach it, and
  // build(key) builds it again as before. The table must be open for reading and writing
  // (37, 5). 80 for a key that is not a dynamic index; 47 or 75 for components that break
  // the limits of a key.
  int build(int key, const std::vector<KeyComponent>& components,
            std::function<bool(const uint8_t* image)> filter = {});
  int pack();    // build(), then cut the file at its data end
  int remove();  // deletes the table, and the file when no other table remains
  // 1 when the buffer's value already exists in a key without duplicates (or in key), else 0.
  int duplicate(int key = kFileOrder);

  // Reads or sets a driver option ("FULLBUILD=ON", "DecimalCheck", "FLAGS=3", "PNM=NAME",
  // "TCF=name"); returns its value as text, empty for an unknown word.
  std::string send(const std::string& option);
  // The properties of key of the declaration (47 for a key it does not have).
  int key_properties(int key, KeyProperties* properties) const;
  // Every table name of the file (PNMQ).
  int table_names(std::vector<std::string>* names);

  // A snapshot of the table's state for a list that reads on later from where it was;
  // dropping the handle frees it.
  std::shared_ptr<TableState> save_state();
  int restore_state(const TableState& state);

 private:
  std::unique_ptr<TableImpl> impl_;
};

}  // namespace orvel::datafile
