#include "datafile/file_summary.h"

#include "datafile/byte_order.h"
#include "datafile/record_keys.h"
#include "datafile/statistics.h"
#include "datafile/table_definition.h"

namespace orvel::datafile {
namespace {

KeyView view(const Bytes& bytes) {
  return KeyView(bytes.data(), bytes.size());
}

void count_pages(DataFile* file, FileSummary* summary) {
  std::vector<int32_t> pending{file->root_address()};
  while (!pending.empty()) {
    int32_t address = pending.back();
    pending.pop_back();
    int size_class = file->header().size_class_of(address);
    Page* page = file->load_page(address);
    ++summary->pages[{page->contents.level, size_class}];
    // Copy before the next load, which may drop this page from the cache.
    pending.insert(pending.end(), page->contents.children.begin(), page->contents.children.end());
  }
}

}  // namespace

FileSummary summarize(DataFile* file) {
  FileSummary summary;
  if (file->root_address() >= 0 && !file->header().all_regions_empty()) count_pages(file, &summary);
  const FileHeader& header = file->header();
  summary.data_end = header.data_end();
  summary.journal_end = header.journal_end();
  summary.change_counter = header.change_counter();
  summary.last_issued = header.last_issued();
  summary.root = header.root();
  for (int i = 1; i <= kMaxSizeClass; ++i) {
    if (header.region_end(i) > header.region_start(i)) {
      summary.regions.push_back({i, header.region_start(i), header.region_end(i)});
    }
  }
  TreeRecordStore store(&file->tree());
  Bytes probe{record_kind::kTableName};
  for (auto named = store.find_first_above(view(probe));
       named && !named->key().empty() && named->key()[0] == record_kind::kTableName;
       named = store.find_first_above(named->key())) {
    TableSummary table;
    table.name.assign(named->key().begin() + 1, named->key().end());
    if (named->data().size() == 4) table.number = load_u32_be(named->data().data());
    table.definition_error = read_definition(store, table.number, &table.definition).error;
    table.records =
        read_statistics(store, table.number, kTableStatistics).value_or(Statistics{}).count;
    for (size_t k = 0; k < table.definition.keys.size(); ++k) {
      table.key_entries.push_back(
          read_statistics(store, table.number, uint8_t(k)).value_or(Statistics{}).count);
    }
    auto collation = store.find_equal(view(collation_key(table.number)));
    table.oem = collation && !collation->data().empty() && collation->data()[0] == 1;
    summary.tables.push_back(std::move(table));
  }
  return summary;
}

}  // namespace orvel::datafile
