// Statistics records: one per table and one per key, counting data records or key entries.
//
// Statistics record (kind 0xF6):
//   offset  width  content
//   0       4      table number, big-endian
//   4       1      0xF6
//   5       1      index byte: the key number, or 0xF3 for the table itself
//   6       4      count, u32 little-endian
//   10      4      u32 little-endian: the build mark of a key (the lowest record number
//                  whose entries the key does not hold yet, 0 when complete); the FLAGS
//                  option value for the table
// Record key length 6. Both values are 0 for a new or emptied table.
#pragma once

#include <cstdint>
#include <optional>

#include "datafile/record.h"
#include "datafile/record_keys.h"
#include "datafile/record_store.h"

namespace orvel::datafile {

struct Statistics {
  uint32_t count = 0;
  uint32_t mark = 0;  // build mark of a key; FLAGS of the table

  bool operator==(const Statistics&) const = default;
};

Record make_statistics_record(uint32_t table_number, uint8_t index, const Statistics& values);

// The statistics of a table (index kTableStatistics) or key; none when the record is
// missing, as after another opener removed the table.
std::optional<Statistics> read_statistics(RecordStore& store, uint32_t table_number, uint8_t index);

// Replaces the statistics record.
void write_statistics(RecordStore& store, uint32_t table_number, uint8_t index,
                      const Statistics& values);

}  // namespace orvel::datafile
