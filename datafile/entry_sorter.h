// Sorting of fixed-length key entries in bounded memory, for building keys over many
// records.
//
// Entries are collected in memory up to a limit; beyond it each full batch is sorted and
// written to a private temporary file as a run, and the runs are merged when the entries
// are taken back. Entries compare as unsigned bytes over their whole length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/temp_file.h"

namespace orvel::datafile {

class EntrySorter {
 public:
  // memory_limit: bytes of entries held in memory at once (at least one entry).
  EntrySorter(size_t entry_length, size_t memory_limit);
  EntrySorter(const EntrySorter&) = delete;
  EntrySorter& operator=(const EntrySorter&) = delete;

  // False when a run could not be written (no temporary file, or the disk is full).
  bool add(const uint8_t* entry);

  // Calls take(entry) for every entry in ascending order; false when a run could not be
  // read back. The sorter is empty afterwards.
  bool drain(const std::function<void(const uint8_t*)>& take);

  size_t runs() const { return runs_.size(); }

 private:
  struct Run {
    platform::TempFile file;
    size_t entries;
  };
  // Offsets of the batch's entries in ascending order of the entries.
  std::vector<size_t> sorted_batch() const;
  bool spill();
  bool merge_runs(const std::function<void(const uint8_t*)>& take);

  size_t entry_length_;
  size_t batch_capacity_;  // entries per batch
  std::vector<uint8_t> batch_;
  std::vector<Run> runs_;
};

}  // namespace orvel::datafile
