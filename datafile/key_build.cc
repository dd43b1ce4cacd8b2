#include "datafile/key_build.h"

#include <algorithm>
#include <vector>

#include "datafile/entry_sorter.h"
#include "datafile/record_keys.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

bool is_data_record_of(const Record& record, uint32_t table_number) {
  return record.key_length == kDataKeyLength && table_number_of(record.key()) == table_number &&
         record.bytes[4] == record_kind::kData;
}

// Deletes the key's entries of records numbered start or higher; returns how many remain.
uint32_t drop_entries_from(RecordStore& store, const KeyIndex& index, uint32_t start) {
  uint32_t remaining = 0;
  std::vector<Bytes> doomed;
  for (auto entry = index.first(); entry; entry = index.next_after(*entry)) {
    if (key_entry_record_number(*entry) >= start) {
      doomed.emplace_back(entry->key().begin(), entry->key().end());
    } else {
      ++remaining;
    }
  }
  for (const Bytes& key : doomed) store.erase(KeyView(key.data(), key.size()));
  return remaining;
}

}  // namespace

int build_key(const TableKeys& table, const KeyDescriptor& key, KeyBuildHost& host,
              const KeyBuildOptions& options) {
  RecordStore& store = *table.store;
  RecordStore& entries = options.private_tree ? *options.private_tree : store;
  const uint32_t table_number = table.table_number;
  const bool dynamic = options.private_tree != nullptr;
  Statistics stats;
  if (dynamic) {
    stats.mark = 1;
  } else {
    stats = read_statistics(store, table_number, key.number).value_or(Statistics{});
    if (options.full_build) stats.mark = 1;
  }
  const uint32_t start = stats.mark;
  if (start == 0) return kNoError;

  KeyIndex index(entries, table_number, key, table.text);
  const bool rebuilt = key.is_static_index() || options.full_build;
  if (dynamic) {
    drop_entries_from(entries, index, start);
    stats.count = 0;
  } else if (rebuilt) {
    stats.count = drop_entries_from(store, index, start);
  }

  EntrySorter sorter(key.entry_length(), options.sort_memory);
  Bytes image;
  Bytes probe = data_key(table_number, start - 1);
  for (auto record = store.find_first_above(KeyView(probe.data(), probe.size()));
       record && is_data_record_of(*record, table_number);
       record = store.find_first_above(record->key())) {
    host.image_of(*record, &image);
    if (key.opt() && is_empty_for_opt(key, image.data())) continue;
    if (options.filter && !options.filter(image.data())) continue;
    uint32_t number = record_number_of(record->key());
    if (!sorter.add(index.make_entry(image.data(), number).bytes.data())) return kSystemDiskFull;
  }

  uint32_t lowest_clash = 0;
  int commit_error = kNoError;
  auto checkpoint = [&] {
    write_statistics(entries, table_number, key.number, stats);
    return dynamic ? kNoError : host.commit();
  };
  Record entry;
  entry.key_length = key.entry_key_length();
  bool drained = sorter.drain([&](const uint8_t* bytes) {
    if (commit_error != kNoError) return;
    entry.bytes.assign(bytes, bytes + key.entry_length());
    if (!key.dup() || !rebuilt) {
      if (std::optional<Record> existing = index.find_exact(entry)) {
        uint32_t number = key_entry_record_number(entry);
        if (!key.dup() && key_entry_record_number(*existing) != number) {
          lowest_clash = lowest_clash == 0 ? number : std::min(lowest_clash, number);
        }
        return;
      }
    }
    entries.insert(entry);
    ++stats.count;
    if (!dynamic && host.cached_pages() >= kBuildCommitPages) commit_error = checkpoint();
  });
  if (commit_error != kNoError) return commit_error;
  if (!drained) return kSystemDiskFull;
  stats.mark = lowest_clash;
  if (int rc = checkpoint(); rc != kNoError) return rc;
  return lowest_clash != 0 ? kCreatesDuplicateKey : kNoError;
}

}  // namespace orvel::datafile
