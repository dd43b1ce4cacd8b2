// Building the entries of a key from the data records of its table, in one sorted pass.
//
// A build starts at the key's build mark (the lowest record number the key does not hold),
// or at record 1 for a full build; a complete key (mark 0) needs nothing. Entries are sorted
// in bounded memory (EntrySorter) and inserted in order. The host commits the record tree
// whenever its cache holds many pages, so that a build over millions of records keeps
// memory bounded. A dynamic index keeps its entries and count in a private tree of its own,
// always built from record 1 and never committed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "datafile/key_index.h"
#include "datafile/record.h"

namespace orvel::datafile {

// What a build needs of the open table around it.
class KeyBuildHost {
 public:
  virtual ~KeyBuildHost() = default;
  // Pages held in the record tree's cache; a build commits at 400 or more.
  virtual size_t cached_pages() = 0;
  // Commits the record tree; 0 or an error number.
  virtual int commit() = 0;
  // The record image of a stored data record (text converted back for an OEM table).
  virtual void image_of(const Record& data_record, Bytes* image) = 0;
};

struct KeyBuildOptions {
  bool full_build = false;                           // start from record 1
  std::function<bool(const uint8_t* image)> filter;  // empty: every record
  size_t sort_memory = size_t(64) << 20;             // bytes of entries sorted in memory
  RecordStore* private_tree = nullptr;               // a dynamic index's own, emptied first
};

inline constexpr size_t kBuildCommitPages = 400;

// Builds one key. Returns 0, kCreatesDuplicateKey when records clash in a key without
// duplicates (the key then stays incomplete from the lowest clashing record), the error of
// a commit, or kSystemDiskFull when the sort cannot spill.
int build_key(const TableKeys& table, const KeyDescriptor& key, KeyBuildHost& host,
              const KeyBuildOptions& options);

}  // namespace orvel::datafile
