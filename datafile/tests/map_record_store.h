// The in-memory record store for tests, counting what the code under test inserts and
// erases.
#pragma once

#include "datafile/memory_record_store.h"

namespace orvel::datafile {

class MapRecordStore : public MemoryRecordStore {
 public:
  void insert(const Record& record) override {
    MemoryRecordStore::insert(record);
    ++inserts_;
  }
  void erase(KeyView key) override {
    MemoryRecordStore::erase(key);
    ++erases_;
  }

  int inserts() const { return inserts_; }
  int erases() const { return erases_; }

 private:
  int inserts_ = 0;
  int erases_ = 0;
};

}  // namespace orvel::datafile
