// Sorting every record of a table by a list of fields, with bounded memory: only the sort
// keys and record numbers are kept, never the records, and keys that outgrow the memory
// limit are sorted in runs written to private temporary files (platform/temp_file.h) and
// merged. The result is the record numbers in sorted order, itself in a temporary file, so a
// list can read any stretch of it by index.
//
// Order: the components one after another, then the record number (so that equal records
// keep the order a key with duplicates gives them). Text fields compare as the program
// compares text, trailing blanks ignored, upper-cased when the component asks for it;
// integer fields by value; fields of other types by their bytes.
//
// The table is read in file order; its own state (record buffer, reading position) is
// restored afterwards. The temporary files disappear with the objects that hold them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "datafile/table.h"
#include "platform/temp_file.h"

namespace orvel::browse {

struct SortComponent {
  uint16_t field = 0;  // 0-based field number in the table declaration
  bool descending = false;
  bool upper_case = false;  // text compared upper-cased
};

// The record numbers of a table in sorted order.
class SortedNumbers {
 public:
  SortedNumbers(platform::TempFile file, size_t count) : file_(std::move(file)), count_(count) {}

  size_t size() const { return count_; }
  // Appends the numbers at index, index + 1, ... up to count of them and the end; 0, or
  // kSystemIoError when the file cannot be read.
  int read(size_t index, size_t count, std::vector<uint32_t>* numbers);
  // The index of a record number, by a scan of the whole list.
  std::optional<size_t> index_of(uint32_t number);

 private:
  platform::TempFile file_;
  size_t count_;
};

struct SortLimits {
  size_t memory_bytes = size_t(16) << 20;  // sort keys held at once before a run is written
  size_t merge_fan_in = 32;                // runs merged at once
};

struct SortStatistics {
  size_t records = 0;
  size_t runs = 0;               // 0 when everything was sorted in memory
  size_t peak_memory_bytes = 0;  // the most held in sort keys and their index
};

// Sorts the records of the open table. Returns 0 with *result set; the engine's error when
// reading the table fails; kSystemIoError when a temporary file cannot be made or written.
int sort_table(datafile::Table& table, const std::vector<SortComponent>& order,
               std::unique_ptr<SortedNumbers>* result, const SortLimits& limits = {},
               SortStatistics* statistics = nullptr);

}  // namespace orvel::browse
