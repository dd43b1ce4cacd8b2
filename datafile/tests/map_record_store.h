// A RecordStore over an ordered map, for tests of the layers above the record tree.
#pragma once

#include <map>
#include <stdexcept>

#include "datafile/record_store.h"

namespace orvel::datafile {

class MapRecordStore : public RecordStore {
 public:
  std::optional<Record> find_equal(KeyView key) override {
    auto it = records_.find(Bytes(key.begin(), key.end()));
    if (it == records_.end()) return std::nullopt;
    return it->second;
  }
  std::optional<Record> find_first_above(KeyView key) override {
    auto it = records_.upper_bound(Bytes(key.begin(), key.end()));
    if (it == records_.end()) return std::nullopt;
    return it->second;
  }
  std::optional<Record> find_last_below(KeyView key) override {
    auto it = records_.lower_bound(Bytes(key.begin(), key.end()));
    if (it == records_.begin()) return std::nullopt;
    return std::prev(it)->second;
  }
  void insert(const Record& record) override {
    Bytes key(record.key().begin(), record.key().end());
    if (!records_.emplace(key, record).second) throw std::logic_error("duplicate record key");
  }
  void erase(KeyView key) override {
    if (records_.erase(Bytes(key.begin(), key.end())) != 1) throw std::logic_error("no such key");
  }

  // Record keys compare as unsigned bytes, shorter first: exactly the order of Bytes.
  const std::map<Bytes, Record>& records() const { return records_; }

 private:
  std::map<Bytes, Record> records_;
};

}  // namespace orvel::datafile
