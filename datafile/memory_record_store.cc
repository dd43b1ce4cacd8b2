#include "datafile/memory_record_store.h"

#include "datafile/corruption.h"

namespace orvel::datafile {

std::optional<Record> MemoryRecordStore::find_equal(KeyView key) {
  auto it = records_.find(key);
  if (it == records_.end()) return std::nullopt;
  return it->second;
}

std::optional<Record> MemoryRecordStore::find_first_above(KeyView key) {
  auto it = records_.upper_bound(key);
  if (it == records_.end()) return std::nullopt;
  return it->second;
}

std::optional<Record> MemoryRecordStore::find_last_below(KeyView key) {
  auto it = records_.lower_bound(key);
  if (it == records_.begin()) return std::nullopt;
  --it;
  if (it->first.empty()) return std::nullopt;  // the sentinel
  return it->second;
}

void MemoryRecordStore::insert(const Record& record) {
  Bytes key(record.key().begin(), record.key().end());
  if (!records_.emplace(std::move(key), record).second) corruption_check(706);
}

void MemoryRecordStore::erase(KeyView key) {
  auto it = records_.find(key);
  if (it == records_.end()) corruption_check(780);
  records_.erase(it);
}

}  // namespace orvel::datafile
