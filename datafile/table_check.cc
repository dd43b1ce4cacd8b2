#include "datafile/table_check.h"

#include "datafile/byte_order.h"
#include "datafile/corruption.h"
#include "datafile/data_record.h"
#include "datafile/integrity_check.h"
#include "datafile/key_index.h"
#include "datafile/record_keys.h"
#include "datafile/statistics.h"
#include "datafile/table_definition.h"

namespace orvel::datafile {
namespace {

KeyView view(const Bytes& bytes) {
  return KeyView(bytes.data(), bytes.size());
}

std::string hex(KeyView bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes.substr(0, 16)) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  if (bytes.size() > 16) out += "...";
  return out;
}

void check_table(RecordStore& store, const std::string& name, uint32_t table,
                 std::vector<std::string>* problems) {
  auto problem = [&](const std::string& what) {
    problems->push_back("table " + name + " (" + std::to_string(table) + "): " + what);
  };
  TableDecl decl;
  if (DefinitionResult r = read_definition(store, table, &decl); !r.ok()) {
    problem("definition unreadable: error " + std::to_string(r.error) + " " + r.attribute);
    return;
  }
  bool oem = false;
  LocaleTables locale = program_locale();
  if (auto collation = store.find_equal(view(collation_key(table)));
      collation && collation->data().size() >= 1 + kLocaleBlockSize) {
    oem = collation->data()[0] == 1;
    locale = LocaleTables::from_block(collation->data().data() + 1);
  }
  TextCollation text{&locale, oem};
  std::vector<KeyDescriptor> keys;
  std::vector<Statistics> stats;
  for (size_t k = 0; k < decl.keys.size(); ++k) {
    keys.push_back(make_key_descriptor(decl, int(k)));
    auto s = read_statistics(store, table, uint8_t(k));
    if (!s) problem("key " + std::to_string(k) + " has no statistics record");
    stats.push_back(s.value_or(Statistics{}));
  }

  // Data records against the keys.
  uint32_t data_count = 0;
  Bytes image(decl.record_length, 0);
  Bytes start = data_key(table, 0);
  for (auto record = store.find_first_above(view(start));
       record && record->key_length == kDataKeyLength && table_number_of(record->key()) == table &&
       record->bytes[4] == record_kind::kData;
       record = store.find_first_above(record->key())) {
    ++data_count;
    uint32_t number = record_number_of(record->key());
    read_data_record(*record, decl, oem, image.data(), image.size());
    for (size_t k = 0; k < keys.size(); ++k) {
      const KeyDescriptor& key = keys[k];
      if (key.is_index()) continue;
      if (stats[k].mark != 0 && number >= stats[k].mark) continue;
      if (key.opt() && is_empty_for_opt(key, image.data())) continue;
      KeyIndex index(store, table, key, text);
      Record wanted = index.make_entry(image.data(), number);
      std::optional<Record> found = index.find_exact(wanted);
      if (!found || key_entry_record_number(*found) != number) {
        problem("record " + std::to_string(number) + " has no entry in key " + std::to_string(k));
      }
    }
  }

  // Key entries against the data records.
  for (size_t k = 0; k < keys.size(); ++k) {
    const KeyDescriptor& key = keys[k];
    if (key.is_dynamic_index()) continue;
    KeyIndex index(store, table, key, text);
    uint32_t entries = 0;
    for (auto entry = index.first(); entry; entry = index.next_after(*entry)) {
      ++entries;
      uint32_t number = key_entry_record_number(*entry);
      std::optional<Record> record = store.find_equal(view(data_key(table, number)));
      if (!record) {
        problem("key " + std::to_string(k) + " entry " + hex(entry->key()) +
                " names missing record " + std::to_string(number));
        continue;
      }
      read_data_record(*record, decl, oem, image.data(), image.size());
      if (index.make_entry(image.data(), number).bytes != entry->bytes) {
        problem("key " + std::to_string(k) + " entry of record " + std::to_string(number) +
                " does not match the record's values");
      }
    }
    if (entries != stats[k].count) {
      problem("key " + std::to_string(k) + " counts " + std::to_string(stats[k].count) +
              " entries, holds " + std::to_string(entries));
    }
  }
  auto table_stats = read_statistics(store, table, kTableStatistics);
  if (!table_stats) {
    problem("no statistics record");
  } else if (table_stats->count != data_count) {
    problem("counts " + std::to_string(table_stats->count) + " records, holds " +
            std::to_string(data_count));
  }
}

}  // namespace

std::vector<std::string> check_tables(DataFile* file) {
  std::vector<std::string> problems;
  TreeRecordStore store(&file->tree());
  try {
    Bytes probe{record_kind::kTableName};
    for (auto named = store.find_first_above(view(probe));
         named && !named->key().empty() && named->key()[0] == record_kind::kTableName;
         named = store.find_first_above(named->key())) {
      std::string name(named->key().begin() + 1, named->key().end());
      if (named->data().size() != 4) {
        problems.push_back("table name " + name + " holds no table number");
        continue;
      }
      check_table(store, name, load_u32_be(named->data().data()), &problems);
    }
  } catch (const CorruptionError& e) {
    problems.push_back(std::string(kCorruptionText) + " (" + std::to_string(e.check()) + ")");
  }
  return problems;
}

std::vector<std::string> check_file(DataFile* file) {
  std::vector<std::string> problems = check_integrity(file);
  if (!problems.empty()) return problems;
  return check_tables(file);
}

}  // namespace orvel::datafile
