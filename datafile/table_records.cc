// Adding, changing, deleting and fetching records; counts and duplicate tests.
#include "datafile/corruption.h"
#include "datafile/data_record.h"
#include "datafile/memo_store.h"
#include "datafile/record_keys.h"
#include "datafile/statistics.h"
#include "datafile/table_impl.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

KeyView view(const Bytes& bytes) {
  return KeyView(bytes.data(), bytes.size());
}

}  // namespace

void delete_table_records(RecordStore& store, uint32_t table) {
  Bytes prefix = table_kind_prefix(table, 0);
  prefix.pop_back();
  while (auto record = store.find_first_above(view(prefix))) {
    if (!has_prefix(record->key(), view(prefix))) break;
    store.erase(record->key());
  }
}

std::optional<Record> TableImpl::data_record(uint32_t number) {
  const Record* stored = stored_data_record(number);
  return stored ? std::optional<Record>(*stored) : std::nullopt;
}

const Record* TableImpl::stored_data_record(uint32_t number) {
  return tree().find_equal(DataKey(table_, number).view());
}

Record TableImpl::data_record_of_buffer(uint32_t number) const {
  return make_data_record(table_, number, decl(), oem_, buffer_.data(), buffer_.size());
}

void TableImpl::take_record(const Record& record) {
  read_data_record(record, decl(), oem_, buffer_.data(), buffer_.size());
  saved_ = buffer_;
  current_ = record_number_of(record.key());
  watched_ = watch_request_;
  if (!no_memo_request_ && !memos_.empty()) {
    TreeRecordStore store = records_of_file();
    for (size_t m = 0; m < memos_.size(); ++m) {
      memos_[m] = read_memo(store, {table_, current_, uint8_t(m)}, decl().memos[m], oem_);
    }
    saved_memos_ = memos_;
  }
  read_without_memos_ = no_memo_request_;
  watch_request_ = false;
  no_memo_request_ = false;
  hold_request_ = false;
}

// The lock byte of a record that a change takes for its own duration when the table does
// not hold the record already.
class ChangeLock {
 public:
  explicit ChangeLock(TableImpl& table) : table_(table) {}
  ~ChangeLock() {
    if (taken_) table_.file_->locks().release_hold();
  }
  ChangeLock(const ChangeLock&) = delete;
  ChangeLock& operator=(const ChangeLock&) = delete;

  bool take(uint32_t number) {
    if (table_.record_held_) return true;
    taken_ = table_.file_->locks().hold(number);
    return taken_;
  }

 private:
  TableImpl& table_;
  bool taken_ = false;
};

int TableImpl::add(bool deferred) {
  if (!open_) return kFileNotOpen;
  int rc;
  if (!begin_change(&rc)) return rc;
  end_hold();
  TreeRecordStore store = records_of_file();
  uint32_t number = data().issue_number();
  if (int keys = maintain_keys(table_keys(store), buffer_.data(), nullptr, number, deferred);
      keys != kNoError) {
    return keys;
  }
  watched_ = false;
  saved_ = buffer_;
  store.insert(data_record_of_buffer(number));
  current_ = number;
  std::optional<Statistics> stats = read_statistics(store, table_, kTableStatistics);
  if (!stats) {
    // While the table's name still leads to its number the table is there and the
    // statistics record is damaged: taking the table back would wipe a damaged file's data.
    if (named_table(store, table_name_) == table_) corruption_check(1927);
    // Another opener removed the table meanwhile: take back everything of it.
    delete_table_records(store, table_);
    current_ = 0;
    return kAccessDenied;
  }
  ++stats->count;
  write_statistics(store, table_, kTableStatistics, *stats);
  for (size_t m = 0; m < memos_.size(); ++m) {
    store_memo(store, {table_, number, uint8_t(m)}, decl().memos[m], oem_, view(memos_[m]));
  }
  return kNoError;
}

int TableImpl::put() {
  if (!open_) return kFileNotOpen;
  int rc;
  if (!begin_change(&rc)) return rc;
  if (current_ == 0) return kRecordNotAvailable;
  ChangeLock change_lock(*this);
  if (!change_lock.take(current_)) return kAccessDenied;
  TreeRecordStore store = records_of_file();
  std::optional<Record> stored = data_record(current_);
  if (!stored) return kRecordNotAvailable;
  Bytes disk(buffer_.size(), 0);
  read_data_record(*stored, decl(), oem_, disk.data(), disk.size());
  if (watched_) {
    bool memos_same = true;
    for (size_t m = 0; m < memos_.size() && !read_without_memos_; ++m) {
      memos_same = memos_same && memo_matches(store, {table_, current_, uint8_t(m)},
                                              decl().memos[m], oem_, view(saved_memos_[m]));
    }
    if (disk != saved_ || !memos_same) return kRecordChangedByAnotherStation;
  }
  if (buffer_ != disk) {
    if (int keys = maintain_keys(table_keys(store), buffer_.data(), disk.data(), current_, false);
        keys != kNoError) {
      return keys;
    }
    saved_ = buffer_;
    store.erase(stored->key());
    store.insert(data_record_of_buffer(current_));
  }
  if (!read_without_memos_) {
    for (size_t m = 0; m < memos_.size(); ++m) {
      store_memo(store, {table_, current_, uint8_t(m)}, decl().memos[m], oem_, view(memos_[m]));
    }
  }
  watched_ = false;
  end_hold();
  return kNoError;
}

int TableImpl::erase() {
  if (!open_) return kFileNotOpen;
  int rc;
  if (!begin_change(&rc)) return rc;
  if (current_ == 0) return kRecordNotAvailable;
  ChangeLock change_lock(*this);
  if (!change_lock.take(current_)) return kRecordNotAvailable;
  TreeRecordStore store = records_of_file();
  std::optional<Record> stored = data_record(current_);
  if (!stored) return kRecordNotAvailable;
  read_data_record(*stored, decl(), oem_, saved_.data(), saved_.size());
  store.erase(stored->key());
  maintain_keys(table_keys(store), nullptr, saved_.data(), current_, false);
  if (std::optional<Statistics> stats = read_statistics(store, table_, kTableStatistics)) {
    if (stats->count > 0) --stats->count;
    write_statistics(store, table_, kTableStatistics, *stats);
  }
  delete_memos(store, table_, current_);
  watched_ = false;
  end_hold();
  current_ = 0;
  return kNoError;
}

int TableImpl::get(int key) {
  if (!open_) return kFileNotOpen;
  if (int rc = key_error(key); rc != kNoError) return rc;
  end_hold();
  TreeRecordStore store = records_of_file();
  std::optional<Record> entry = key_index(key, store).find_by_value(buffer_.data());
  if (!entry) return kRecordNotFound;
  uint32_t number = key_entry_record_number(*entry);
  const Record* record = stored_data_record(number);
  if (!record) return kRecordNotFound;
  if (int rc = hold_if_requested(number); rc != kNoError) return rc;
  take_record(*record);
  return kNoError;
}

int TableImpl::get_by_number(uint32_t number) {
  if (!open_) return kFileNotOpen;
  end_hold();
  const Record* record = stored_data_record(number);
  if (!record) return kRecordNotFound;
  if (int rc = hold_if_requested(number); rc != kNoError) return rc;
  take_record(*record);
  return kNoError;
}

int TableImpl::records(int key, uint32_t* count) {
  *count = 0;
  if (!open_) return kFileNotOpen;
  if (key != Table::kFileOrder) {
    if (int rc = key_error(key); rc != kNoError) return rc;
  }
  TreeRecordStore store = records_of_file();
  uint8_t index = key == Table::kFileOrder ? kTableStatistics : uint8_t(key);
  RecordStore& counted = key == Table::kFileOrder ? store : store_of_key(key, store);
  *count = read_statistics(counted, table_, index).value_or(Statistics{}).count;
  return kNoError;
}

int TableImpl::duplicate(int key) {
  if (!open_) return 0;
  TreeRecordStore store = records_of_file();
  for (size_t k = 0; k < keys_.size(); ++k) {
    const KeyDescriptor& descriptor = keys_[k];
    if (key != Table::kFileOrder ? int(k) != key : descriptor.dup()) continue;
    if (descriptor.opt() && is_empty_for_opt(descriptor, buffer_.data())) continue;
    KeyIndex index = key_index(int(k), store);
    if (descriptor.dup() ? bool(index.find_by_value(buffer_.data()))
                         : bool(index.find_exact(index.make_entry(buffer_.data(), 0)))) {
      return 1;
    }
  }
  return 0;
}

}  // namespace orvel::datafile
