// What a keyed data file holds, as the hvk tool shows it: header fields, regions, pages by
// level and size class, and every table with its definition and record count.
//
// Pages are walked from the root through the record tree's pages; the tables come from
// their table-name records. The file must have no uncommitted changes. A damaged file ends
// the walk with CorruptionError (corruption.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "datafile/data_file.h"
#include "datafile/declaration.h"

namespace orvel::datafile {

struct RegionSummary {
  int size_class;
  int32_t start, end;  // in page-address units
};

struct TableSummary {
  std::string name;
  uint32_t number = 0;
  int definition_error = 0;  // 0 when the definition could be read
  TableDecl definition;
  uint32_t records = 0;
  std::vector<uint32_t> key_entries;  // per key
  bool oem = false;
};

struct FileSummary {
  uint32_t data_end = 0;
  uint32_t journal_end = 0;
  uint32_t change_counter = 0;
  uint32_t last_issued = 0;
  int32_t root = 0;
  std::vector<RegionSummary> regions;  // the regions that hold pages
  // (level, size class) -> pages
  std::map<std::pair<int, int>, uint32_t> pages;
  std::vector<TableSummary> tables;
};

FileSummary summarize(DataFile* file);

}  // namespace orvel::datafile
