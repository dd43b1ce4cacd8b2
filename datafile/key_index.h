// The entries of one key of one table in the record tree: making them from record images,
// keeping them in step with the data records, finding and walking them.
//
// A KeyIndex is a light view (store, table number, key descriptor, text collation) made
// for an operation; it owns nothing. Entries are found only through the RecordStore's find
// equal, find first above and find last below. Entries of a key are contiguous in the tree
// and ordered by encoded value, then (for a key with duplicates) by record number.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "datafile/key_encoding.h"
#include "datafile/record_store.h"
#include "datafile/statistics.h"

namespace orvel::datafile {

class KeyIndex {
 public:
  KeyIndex(RecordStore& store, uint32_t table_number, const KeyDescriptor& key,
           const TextCollation& text)
      : store_(store), table_number_(table_number), key_(key), text_(text) {}

  const KeyDescriptor& descriptor() const { return key_; }

  // The entry of a record image (none means the value bytes are left zero).
  Record make_entry(const uint8_t* image, uint32_t record_number) const {
    return make_key_entry(table_number_, key_, image, text_, record_number);
  }
  bool belongs(const Record& record) const;

  // The entry whose value equals the image's: for a key with duplicates the one of the
  // lowest record number.
  std::optional<Record> find_by_value(const uint8_t* image) const;
  std::optional<Record> find_exact(const Record& entry) const;
  std::optional<Record> first() const;
  std::optional<Record> last() const;
  std::optional<Record> next_after(const Record& entry) const;
  std::optional<Record> previous_before(const Record& entry) const;
  // Where reading forward (first entry at or after the image's value) or backward (last
  // entry at or before it) starts.
  std::optional<Record> position_forward(const uint8_t* image) const;
  std::optional<Record> position_backward(const uint8_t* image) const;

 private:
  std::optional<Record> only_if_own(std::optional<Record> record) const;

  RecordStore& store_;
  uint32_t table_number_;
  const KeyDescriptor& key_;
  TextCollation text_;
};

// The keys of a table as key maintenance needs them.
struct TableKeys {
  RecordStore* store;
  uint32_t table_number;
  const std::vector<KeyDescriptor>* keys;
  TextCollation text;
};

// Brings the entries of every key in step with a change of record record_number: an add
// (no old image), a delete (no new image) or a change (both). With deferred set (append),
// keys are not touched but marked incomplete from this record on, as for static indexes;
// dynamic indexes are skipped. Returns 0, or kCreatesDuplicateKey when a key without
// duplicates already holds the new value, after undoing the keys already changed.
int maintain_keys(const TableKeys& table, const uint8_t* new_image, const uint8_t* old_image,
                  uint32_t record_number, bool deferred);

}  // namespace orvel::datafile
