#include "datafile/key_index.h"

#include <cstring>

#include "datafile/record_keys.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

KeyView view(const Bytes& bytes) {
  return KeyView(bytes.data(), bytes.size());
}

}  // namespace

bool KeyIndex::belongs(const Record& record) const {
  return record.bytes.size() == key_.entry_length() &&
         record.key_length == key_.entry_key_length() &&
         table_number_of(record.key()) == table_number_ && record.bytes[4] == key_.number;
}

std::optional<Record> KeyIndex::only_if_own(std::optional<Record> record) const {
  if (record && !belongs(*record)) return std::nullopt;
  return record;
}

std::optional<Record> KeyIndex::find_exact(const Record& entry) const {
  return only_if_own(store_.find_equal(entry.key()));
}

std::optional<Record> KeyIndex::find_by_value(const uint8_t* image) const {
  Record probe = make_entry(image, 0);
  if (!key_.dup()) return find_exact(probe);
  std::optional<Record> found = only_if_own(store_.find_first_above(probe.key()));
  if (!found) return std::nullopt;
  // Equal value: every byte but the record number in the last four.
  size_t value_end = probe.bytes.size() - 4;
  if (std::memcmp(found->bytes.data(), probe.bytes.data(), value_end) != 0) return std::nullopt;
  return found;
}

std::optional<Record> KeyIndex::first() const {
  return only_if_own(store_.find_first_above(view(table_kind_prefix(table_number_, key_.number))));
}

std::optional<Record> KeyIndex::last() const {
  // Key numbers stop at 0xEF, so number + 1 never wraps into another kind.
  Bytes after = table_kind_prefix(table_number_, uint8_t(key_.number + 1));
  return only_if_own(store_.find_last_below(view(after)));
}

std::optional<Record> KeyIndex::next_after(const Record& entry) const {
  return only_if_own(store_.find_first_above(entry.key()));
}

std::optional<Record> KeyIndex::previous_before(const Record& entry) const {
  return only_if_own(store_.find_last_below(entry.key()));
}

std::optional<Record> KeyIndex::position_forward(const uint8_t* image) const {
  Record probe = make_entry(image, 0);
  if (!key_.dup()) {
    if (auto exact = find_exact(probe)) return exact;
  }
  return next_after(probe);
}

std::optional<Record> KeyIndex::position_backward(const uint8_t* image) const {
  Record probe = make_entry(image, 0xFFFFFFFFu);
  if (!key_.dup()) {
    if (auto exact = find_exact(probe)) return exact;
  }
  return previous_before(probe);
}

namespace {

// One key's part of maintain_keys; returns kCreatesDuplicateKey without changing anything
// when the new value clashes.
int maintain_key(const TableKeys& table, const KeyDescriptor& key, const uint8_t* new_image,
                 const uint8_t* old_image, uint32_t record_number, bool deferred) {
  if (key.is_dynamic_index()) return 0;
  RecordStore& store = *table.store;
  const bool postponed = key.is_static_index() || deferred;
  Statistics stats = read_statistics(store, table.table_number, key.number).value_or(Statistics{});
  if (postponed && stats.mark != 0 && record_number >= stats.mark) return 0;

  KeyIndex index(store, table.table_number, key, table.text);
  std::optional<Record> old_entry, new_entry;
  if (old_image && !(key.opt() && is_empty_for_opt(key, old_image))) {
    old_entry = index.make_entry(old_image, record_number);
  }
  if (new_image && !(key.opt() && is_empty_for_opt(key, new_image))) {
    new_entry = index.make_entry(new_image, record_number);
  }
  if (old_entry && new_entry && old_entry->key() == new_entry->key()) return 0;

  if (postponed) {
    if (stats.mark == 0 || record_number < stats.mark) {
      stats.mark = record_number;
      write_statistics(store, table.table_number, key.number, stats);
    }
    return 0;
  }

  bool inserted = false, deleted = false;
  if (new_entry) {
    if (!key.dup() && index.find_exact(*new_entry)) return kCreatesDuplicateKey;
    store.insert(*new_entry);
    inserted = true;
  }
  if (old_entry) {
    std::optional<Record> existing = index.find_exact(*old_entry);
    if (existing && key_entry_record_number(*existing) == record_number) {
      store.erase(old_entry->key());
      deleted = true;
    }
  }
  if (inserted != deleted) {
    stats.count += inserted ? 1 : uint32_t(-1);
    write_statistics(store, table.table_number, key.number, stats);
  }
  return 0;
}

}  // namespace

int maintain_keys(const TableKeys& table, const uint8_t* new_image, const uint8_t* old_image,
                  uint32_t record_number, bool deferred) {
  const std::vector<KeyDescriptor>& keys = *table.keys;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (maintain_key(table, keys[i], new_image, old_image, record_number, deferred) != 0) {
      for (size_t j = 0; j < i; ++j) {
        maintain_key(table, keys[j], old_image, new_image, record_number, deferred);
      }
      return kCreatesDuplicateKey;
    }
  }
  return 0;
}

}  // namespace orvel::datafile
