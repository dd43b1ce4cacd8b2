// The record operations that table definitions, memo chunks and keys need of the record
// tree, as an interface so that they can be built and tested over a simple ordered map.
//
// All keys are record keys (record.h). Results are copies: they stay valid after later
// changes. insert of a key already present and erase of a missing key are corruption checks
// of the implementation.
#pragma once

#include <optional>

#include "datafile/record.h"

namespace orvel::datafile {

class RecordStore {
 public:
  virtual ~RecordStore() = default;

  virtual std::optional<Record> find_equal(KeyView key) = 0;
  // The smallest record whose key is strictly greater than key.
  virtual std::optional<Record> find_first_above(KeyView key) = 0;
  // The greatest record whose key is strictly less than key, never the sentinel.
  virtual std::optional<Record> find_last_below(KeyView key) = 0;
  virtual void insert(const Record& record) = 0;
  virtual void erase(KeyView key) = 0;
  // Stores record in place of the record with its key, or adds it when there is none.
  virtual void replace(const Record& record) {
    if (find_equal(record.key())) erase(record.key());
    insert(record);
  }
};

}  // namespace orvel::datafile
