// A RecordStore over an ordered map, for tests of the code that works through the record
// operations. Like the record tree, it refuses to insert a key twice or erase a missing one.
#pragma once

#include <map>

#include "datafile/corruption.h"
#include "datafile/record_store.h"

namespace orvel::datafile {

class MapRecordStore : public RecordStore {
 public:
  struct KeyLess {
    using is_transparent = void;
    static KeyView view(const Bytes& b) { return KeyView(b.data(), b.size()); }
    static KeyView view(KeyView k) { return k; }
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
      return compare_keys(view(a), view(b)) < 0;
    }
  };
  using Map = std::map<Bytes, Record, KeyLess>;

  std::optional<Record> find_equal(KeyView key) override {
    auto it = records_.find(key);
    if (it == records_.end()) return std::nullopt;
    return it->second;
  }
  std::optional<Record> find_first_above(KeyView key) override {
    auto it = records_.upper_bound(key);
    if (it == records_.end()) return std::nullopt;
    return it->second;
  }
  std::optional<Record> find_last_below(KeyView key) override {
    auto it = records_.lower_bound(key);
    if (it == records_.begin()) return std::nullopt;
    --it;
    if (it->first.empty()) return std::nullopt;  // the sentinel
    return it->second;
  }
  void insert(const Record& record) override {
    Bytes key(record.key().begin(), record.key().end());
    if (!records_.emplace(key, record).second) corruption_check(9001);
    ++inserts_;
  }
  void erase(KeyView key) override {
    auto it = records_.find(key);
    if (it == records_.end()) corruption_check(9002);
    records_.erase(it);
    ++erases_;
  }

  const Map& records() const { return records_; }
  int inserts() const { return inserts_; }
  int erases() const { return erases_; }

 private:
  Map records_;
  int inserts_ = 0;
  int erases_ = 0;
};

}  // namespace orvel::datafile
