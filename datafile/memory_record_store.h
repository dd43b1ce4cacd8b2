// A RecordStore held in memory, ordered like the record tree: the private tree of a dynamic
// index, and the stand-in for the record tree in tests of code above it. Like the record
// tree, it refuses to insert a key twice or to erase a missing one (a corruption check).
#pragma once

#include <map>

#include "datafile/record_store.h"

namespace orvel::datafile {

class MemoryRecordStore : public RecordStore {
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

  std::optional<Record> find_equal(KeyView key) override;
  std::optional<Record> find_first_above(KeyView key) override;
  std::optional<Record> find_last_below(KeyView key) override;
  void insert(const Record& record) override;
  void erase(KeyView key) override;

  const Map& records() const { return records_; }

 private:
  Map records_;
};

}  // namespace orvel::datafile
