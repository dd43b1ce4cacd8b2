// The header refresh at the start of every operation, and the recovery of a commit that
// was cut short.
//
// A journal is complete when every item from data end to journal end can be read whole and
// the header copy among them is a header. A complete journal is rolled forward: a writer
// copies every item to the offset in its first four bytes and ends the journal; a reader
// instead reads the new state through the journal, by a map from destination offsets to
// journal offsets, and writes nothing. An incomplete journal is discarded: the header at
// offset 0 still describes the old state, and a writer ends the journal without applying
// it. An unreadable journal (a damaged one) counts as incomplete. Two failures of the system
// are not taken for damage, since they say nothing of the journal: a read that fails ends
// the operation with corruption check 2277, and a copy whose writes fail makes the refresh
// return their error; either way the journal stays announced on disk, nothing in memory
// claims otherwise, and the next refresh tries again.
#include <vector>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"
#include "datafile/data_file.h"
#include "datafile/record_keys.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

// The region table of a header read from the file is out of order, overlapping or unpacked.
constexpr int kBadRegions = 1737;

struct JournalItem {
  uint64_t destination;
  uint64_t position;
  uint64_t length;
};

}  // namespace

int DataFile::refresh_header() {
  if (refreshed_) return kNoError;
  if (shared_with_writers_) locks_->take_operation_lock();
  // A reader leaves a pending journal on disk (reading through it, or ignoring it); once
  // this open holds the file for writing it must resolve it before changing anything.
  if (header_valid_ && !journal_pending_ && header_.data_end() != header_.journal_end() &&
      locks_->held_for_writing()) {
    header_valid_ = false;
  }
  if (!shared_with_writers_ && header_valid_) {
    refreshed_ = true;
    return kNoError;
  }
  uint8_t bytes[kFileHeaderSize];
  size_t got = io_.read(0, bytes, kFileHeaderSize);
  if (got == 0) {
    // A new file: nothing to compare with; a header forgotten by a discard starts afresh.
    if (!header_valid_) {
      take_header(FileHeader::new_file());
      drop_cached_pages();
      journal_map_.clear();
      forget_changes();
    }
    refreshed_ = true;
    return kNoError;
  }
  if (got < kFileHeaderSize) return kInvalidDataFile;
  FileHeader on_disk = FileHeader::from_bytes(bytes);
  if (!on_disk.has_magic()) return kInvalidDataFile;
  // The usual case of every operation: nobody committed since, and the header in memory,
  // checked when it was taken, stays.
  if (header_valid_ && still_current(on_disk)) {
    refreshed_ = true;
    return kNoError;
  }
  // A header announcing a journal may be one that phase 2 was writing: recovery decides.
  if (on_disk.data_end() == on_disk.journal_end() && !on_disk.regions_valid()) {
    corruption_check(kBadRegions);
  }
  drop_cached_pages();
  journal_map_.clear();
  forget_changes();
  take_header(on_disk);
  refreshed_ = true;
  if (on_disk.data_end() != on_disk.journal_end()) return recover();
  return kNoError;
}

// Phase 1 announces its journal under the old change counter, so a committer that died
// before phase 2 leaves the counter as it was; its journal (decided, when it belongs to a
// transaction past its commit point) must be resolved all the same. Whoever holds the
// operation lock and sees an announced journal that is not its own knows that its committer
// is gone.
bool DataFile::still_current(const FileHeader& on_disk) const {
  if (on_disk.change_counter() > header_.change_counter()) return false;
  if (on_disk.data_end() == on_disk.journal_end() || journal_pending_) return true;
  return reading_through_journal() &&
         on_disk.change_counter() == journal_announcement_.change_counter &&
         on_disk.data_end() == journal_announcement_.data_end &&
         on_disk.journal_end() == journal_announcement_.journal_end;
}

int DataFile::recover() {
  std::vector<JournalItem> items;
  std::map<uint64_t, uint64_t> map;
  FileHeader copy;
  bool complete = true;
  try {
    uint64_t size = 0;
    if (io_.size(&size) != kNoError) size = 0;
    uint64_t position = header_.data_end();
    uint64_t end = header_.journal_end();
    if (end < position || end > size) complete = false;
    while (complete && position < end) {
      uint8_t first[kFileHeaderSize];
      if (io_.read(position, first, kFileHeaderSize) < kFileHeaderSize) {
        complete = false;
        break;
      }
      uint64_t length = round_up_256(load_u16_le(first + 4));
      if (length == 0 || length > kMaxPageImage || position + length > end) {
        complete = false;
        break;
      }
      uint64_t destination = load_u32_le(first);
      items.push_back({destination, position, length});
      map[destination] = position;
      position += length;
    }
    if (complete) {
      auto it = map.find(0);
      uint8_t bytes[kFileHeaderSize];
      if (io_.read(it == map.end() ? 0 : it->second, bytes, kFileHeaderSize) < kFileHeaderSize) {
        complete = false;
      } else {
        copy = FileHeader::from_bytes(bytes);
        complete = copy.has_magic() && copy.regions_valid();
      }
    }
    // Every item belongs inside the new state; one aimed past it is damage, and copying it
    // would stretch the file by up to 4 GB.
    for (const JournalItem& item : items) {
      if (complete && item.destination + item.length > copy.data_end()) complete = false;
    }
    if (complete) complete = decide_journal(copy, map);
  } catch (const CorruptionError& e) {
    if (e.check() == kReadFailedCheck) {
      forget_header();
      throw;
    }
    complete = false;
  }

  drop_cached_pages();
  journal_map_.clear();
  // Only an open that may write repairs the file; the lock layer may take a lock for it.
  struct Repair {
    FileLocks* locks;
    bool writer;
    ~Repair() { locks->end_repair(); }
  } repair{locks_, locks_->begin_repair()};
  if (!complete) {
    uint8_t bytes[kFileHeaderSize];
    io_.read_full(0, bytes, kFileHeaderSize);
    take_header(FileHeader::from_bytes(bytes));
    if (!header_.regions_valid()) {
      header_valid_ = false;
      refreshed_ = false;
      corruption_check(kBadRegions);
    }
    if (repair.writer) {
      io_.clear_pending_error();
      finish_header();
    }
    return kNoError;
  }
  if (!repair.writer) {
    journal_announcement_ = {header_.change_counter(), header_.data_end(), header_.journal_end()};
    take_header(copy);
    journal_map_ = std::move(map);
    return kNoError;
  }
  io_.clear_pending_error();
  Bytes image;
  for (const JournalItem& item : items) {
    image.resize(kPageUnit);
    io_.read_full(item.position, image.data(), kPageUnit);
    image.resize(item.length);
    if (item.length > kPageUnit) {
      io_.read_full(item.position + kPageUnit, image.data() + kPageUnit, item.length - kPageUnit);
    }
    io_.write(load_u32_le(image.data()), image.data(), image.size());
  }
  if (io_.pending_error() == kNoError) finish_header();
  if (int rc = io_.pending_error(); rc != kNoError) {
    // Pages may be half copied: neither the old header nor the cache may be used now, and a
    // commit must not write over the journal. Copying again later is harmless.
    forget_header();
    return rc;
  }
  return kNoError;
}

void DataFile::forget_header() {
  cache_.drop_all();
  journal_map_.clear();
  header_valid_ = false;
  refreshed_ = false;
}

// A complete journal of a file that holds a transaction marker record counts only when the
// transaction was decided. The marker is looked up in the new state, through the journal.
bool DataFile::decide_journal(const FileHeader& copy, const std::map<uint64_t, uint64_t>& map) {
  if (!transaction_decided_) return true;
  FileHeader saved = header_;
  header_ = copy;
  journal_map_ = map;
  bool decided = true;
  bool read_failed = false;
  try {
    const Bytes key = transaction_marker_key();
    if (const Record* marker = tree_.find_equal(KeyView(key.data(), key.size()))) {
      decided = transaction_decided_(*marker);
    }
  } catch (const CorruptionError& e) {
    decided = false;
    read_failed = e.check() == kReadFailedCheck;
  }
  drop_cached_pages();
  journal_map_.clear();
  next_negative_ = -1;
  header_ = saved;
  if (read_failed) corruption_check(kReadFailedCheck);
  return decided;
}

}  // namespace orvel::datafile
