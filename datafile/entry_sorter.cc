#include "datafile/entry_sorter.h"

#include <algorithm>
#include <cstring>
#include <queue>

namespace orvel::datafile {
namespace {

// Reads a run back in blocks of entries.
class RunReader {
 public:
  RunReader(std::FILE* file, size_t entries, size_t entry_length, size_t block_entries)
      : file_(file),
        left_(entries),
        entry_length_(entry_length),
        block_(block_entries * entry_length) {}

  // The current entry, or null at the end of the run (or on a read error, then failed()).
  const uint8_t* current() {
    if (pos_ == filled_ && !refill()) return nullptr;
    return block_.data() + pos_;
  }
  void advance() { pos_ += entry_length_; }
  bool failed() const { return failed_; }

 private:
  bool refill() {
    if (left_ == 0) return false;
    size_t want = std::min(left_, block_.size() / entry_length_);
    if (std::fread(block_.data(), entry_length_, want, file_) != want) {
      failed_ = true;
      left_ = 0;
      return false;
    }
    left_ -= want;
    pos_ = 0;
    filled_ = want * entry_length_;
    return true;
  }

  std::FILE* file_;
  size_t left_;
  size_t entry_length_;
  std::vector<uint8_t> block_;
  size_t pos_ = 0;
  size_t filled_ = 0;
  bool failed_ = false;
};

}  // namespace

EntrySorter::EntrySorter(size_t entry_length, size_t memory_limit)
    : entry_length_(entry_length),
      batch_capacity_(std::max<size_t>(1, memory_limit / entry_length)) {}

bool EntrySorter::add(const uint8_t* entry) {
  if (batch_.size() / entry_length_ == batch_capacity_ && !spill()) return false;
  batch_.insert(batch_.end(), entry, entry + entry_length_);
  return true;
}

std::vector<size_t> EntrySorter::sorted_batch() const {
  std::vector<size_t> offsets(batch_.size() / entry_length_);
  for (size_t i = 0; i < offsets.size(); ++i) offsets[i] = i * entry_length_;
  const uint8_t* base = batch_.data();
  size_t length = entry_length_;
  std::sort(offsets.begin(), offsets.end(), [base, length](size_t a, size_t b) {
    return std::memcmp(base + a, base + b, length) < 0;
  });
  return offsets;
}

bool EntrySorter::spill() {
  platform::TempFile file = platform::open_private_temp_file();
  if (!file) return false;
  for (size_t offset : sorted_batch()) {
    if (std::fwrite(batch_.data() + offset, entry_length_, 1, file.get()) != 1) return false;
  }
  if (std::fflush(file.get()) != 0) return false;
  runs_.push_back({std::move(file), batch_.size() / entry_length_});
  batch_.clear();
  return true;
}

bool EntrySorter::drain(const std::function<void(const uint8_t*)>& take) {
  if (runs_.empty()) {
    for (size_t offset : sorted_batch()) take(batch_.data() + offset);
    batch_.clear();
    return true;
  }
  if (!batch_.empty() && !spill()) return false;
  bool ok = merge_runs(take);
  runs_.clear();
  return ok;
}

bool EntrySorter::merge_runs(const std::function<void(const uint8_t*)>& take) {
  // Memory for the merge: the batch's budget shared by the runs' read blocks.
  size_t block_entries = std::max<size_t>(16, batch_capacity_ / runs_.size());
  std::vector<RunReader> readers;
  readers.reserve(runs_.size());
  for (Run& run : runs_) {
    std::rewind(run.file.get());
    readers.emplace_back(run.file.get(), run.entries, entry_length_, block_entries);
  }
  size_t length = entry_length_;
  auto later = [&](size_t a, size_t b) {
    return std::memcmp(readers[a].current(), readers[b].current(), length) > 0;
  };
  std::priority_queue<size_t, std::vector<size_t>, decltype(later)> heads(later);
  for (size_t i = 0; i < readers.size(); ++i) {
    if (readers[i].current()) heads.push(i);
  }
  while (!heads.empty()) {
    size_t i = heads.top();
    heads.pop();
    take(readers[i].current());
    readers[i].advance();
    if (readers[i].current()) heads.push(i);
  }
  return std::none_of(readers.begin(), readers.end(),
                      [](const RunReader& r) { return r.failed(); });
}

}  // namespace orvel::datafile
