// Sequential reading in file order and in key order, positions, and saved states.
#include <algorithm>

#include "datafile/byte_order.h"
#include "datafile/data_record.h"
#include "datafile/record_keys.h"
#include "datafile/table_impl.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

KeyView view(const Bytes& bytes) {
  return KeyView(bytes.data(), bytes.size());
}

bool in_file_order(ReadMode mode) {
  return mode == ReadMode::kTableStart || mode == ReadMode::kFileOrder ||
         mode == ReadMode::kTableAtNumber;
}

bool is_data_of(const std::optional<Record>& record, uint32_t table) {
  return record && record->key_length == kDataKeyLength &&
         table_number_of(record->key()) == table && record->bytes[4] == record_kind::kData;
}

}  // namespace

// The next (forward) or previous record the position leads to: a data record in the file
// order modes, a key entry in the others.
static std::optional<Record> candidate(TableImpl& t, bool forward, const ReadPosition& at) {
  TreeRecordStore store = t.records_of_file();
  auto only_data = [&](std::optional<Record> r) {
    return is_data_of(r, t.table_) ? r : std::nullopt;
  };
  auto data_after = [&](uint32_t number) {
    return only_data(store.find_first_above(view(data_key(t.table_, number))));
  };
  auto data_before = [&](uint32_t number) {
    return only_data(store.find_last_below(view(data_key(t.table_, number))));
  };
  switch (at.mode) {
    case ReadMode::kNone:
      return std::nullopt;
    case ReadMode::kTableStart:
      return forward ? data_after(0) : data_before(0xFFFFFFFFu);
    case ReadMode::kFileOrder:
      return forward ? data_after(at.number) : data_before(at.number);
    case ReadMode::kTableAtNumber:
      if (auto exact = t.data_record(at.number)) return exact;
      return forward ? data_after(at.number) : data_before(at.number);
    default:
      break;
  }
  KeyIndex index = t.key_index(at.key, store);
  switch (at.mode) {
    case ReadMode::kTableAtValue:
    case ReadMode::kKeyAtValue:
      return forward ? index.position_forward(at.value.data())
                     : index.position_backward(at.value.data());
    case ReadMode::kKeyStart:
      return forward ? index.first() : index.last();
    case ReadMode::kKeyOrder: {
      Record entry{at.entry, t.keys_[at.key].entry_key_length()};
      return forward ? index.next_after(entry) : index.previous_before(entry);
    }
    case ReadMode::kKeyAtPosition: {
      Record entry{at.entry, t.keys_[at.key].entry_key_length()};
      if (auto exact = index.find_exact(entry);
          exact && key_entry_record_number(*exact) == key_entry_record_number(entry)) {
        return exact;
      }
      return forward ? index.next_after(entry) : index.previous_before(entry);
    }
    case ReadMode::kKeyAtNumber: {
      std::optional<Record> record = t.data_record(at.number);
      if (!record) return std::nullopt;
      Bytes image(t.buffer_.size(), 0);
      read_data_record(*record, t.decl(), t.oem_, image.data(), image.size());
      return index.find_exact(index.make_entry(image.data(), at.number));
    }
    default:
      return std::nullopt;
  }
}

// The position after a candidate has been taken.
static ReadPosition adopted(const ReadPosition& at, const Record& taken) {
  ReadPosition next;
  next.key = at.key;
  if (in_file_order(at.mode)) {
    next.mode = ReadMode::kFileOrder;
    next.number = record_number_of(taken.key());
  } else if (at.mode == ReadMode::kTableAtValue) {
    next.mode = ReadMode::kFileOrder;
    next.number = key_entry_record_number(taken);
    next.key = Table::kFileOrder;
  } else {
    next.mode = ReadMode::kKeyOrder;
    next.entry = taken.bytes;
  }
  return next;
}

int TableImpl::set_reading(ReadPosition position) {
  if (!open_) return kFileNotOpen;
  if (position.mode != ReadMode::kTableStart && position.mode != ReadMode::kTableAtNumber) {
    if (int rc = key_error(position.key); rc != kNoError) return rc;
  }
  if (position.mode == ReadMode::kTableAtValue || position.mode == ReadMode::kKeyAtValue) {
    position.value = buffer_;
  } else if (position.mode == ReadMode::kKeyAtPosition) {
    TreeRecordStore store = records_of_file();
    position.entry =
        key_index(position.key, store).make_entry(buffer_.data(), position.number).bytes;
  }
  read_ = std::move(position);
  last_was_read_ = false;
  return kNoError;
}

int TableImpl::read(bool forward) {
  if (!open_) return kFileNotOpen;
  current_ = 0;
  ReadPosition at = read_;
  for (;;) {
    std::optional<Record> found = candidate(*this, forward, at);
    if (!found) {
      watch_request_ = no_memo_request_ = false;
      return kRecordNotAvailable;
    }
    std::optional<Record> record =
        in_file_order(at.mode) ? found : data_record(key_entry_record_number(*found));
    at = adopted(at, *found);
    if (!record) continue;  // an entry left behind by an interrupted change: skip it
    take_record(*record);
    read_ = at;
    last_was_read_ = true;
    return kNoError;
  }
}

int TableImpl::skip(int count) {
  if (!open_) return kFileNotOpen;
  bool forward = count > 0;
  for (int left = forward ? count : -count; left > 0; --left) {
    std::optional<Record> found = candidate(*this, forward, read_);
    if (!found) break;
    read_ = adopted(read_, *found);
  }
  return kNoError;
}

bool TableImpl::has_candidate(bool forward) {
  return open_ && candidate(*this, forward, read_).has_value();
}

Position TableImpl::position(int key) {
  Position result(4);
  store_u32_be(result.data(), current_);
  if (key == Table::kFileOrder || key_error(key) != kNoError) return result;
  result.resize(4 + keys_[key].value_length);
  encode_key_value(keys_[key], saved_.data(), text(), result.data() + 4);
  return result;
}

// The key entry a key position names, or none when its length does not fit the key.
static std::optional<Record> entry_of_position(TableImpl& t, const Position& position, int key) {
  const KeyDescriptor& descriptor = t.keys_[key];
  if (position.size() != 4 + size_t(descriptor.value_length)) return std::nullopt;
  TreeRecordStore store = t.records_of_file();
  Record entry = t.key_index(key, store).make_entry(nullptr, load_u32_be(position.data()));
  std::copy(position.begin() + 4, position.end(), entry.bytes.begin() + 5);
  return entry;
}

int TableImpl::reset(const Position& position, int key) {
  if (!open_) return kFileNotOpen;
  ReadPosition at;
  if (key == Table::kFileOrder) {
    if (position.size() != 4) return kRecordNotFound;
    at.mode = ReadMode::kTableAtNumber;
    at.number = load_u32_be(position.data());
  } else {
    if (int rc = key_error(key); rc != kNoError) return rc;
    std::optional<Record> entry = entry_of_position(*this, position, key);
    if (!entry) return kRecordNotFound;
    at.mode = ReadMode::kKeyAtPosition;
    at.key = key;
    at.entry = entry->bytes;
  }
  read_ = std::move(at);
  last_was_read_ = false;
  return kNoError;
}

int TableImpl::reget(const Position& position, int key) {
  if (!open_) return kFileNotOpen;
  if (position.size() < 4) return kRecordNotFound;
  uint32_t number = load_u32_be(position.data());
  if (key != Table::kFileOrder) {
    if (int rc = key_error(key); rc != kNoError) return rc;
    std::optional<Record> entry = entry_of_position(*this, position, key);
    if (!entry) return kRecordNotFound;
    TreeRecordStore store = records_of_file();
    std::optional<Record> exact = key_index(key, store).find_exact(*entry);
    if (!exact || key_entry_record_number(*exact) != number) return kRecordNotFound;
  }
  std::optional<Record> record = data_record(number);
  if (!record) return kRecordNotFound;
  take_record(*record);
  return kNoError;
}

std::shared_ptr<TableState> TableImpl::save_state() {
  return std::make_shared<TableState>(
      TableState{this, open_, mode_, buffer_, saved_, current_, read_, last_was_read_});
}

int TableImpl::restore_state(const TableState& state) {
  if (state.owner != this) return kInvalidRecordDeclaration;
  if (state.open != open_) {
    int rc = state.open ? open(state.mode) : close();
    if (rc != kNoError) return rc;
  }
  buffer_ = state.buffer;
  saved_ = state.saved;
  read_ = state.read;
  last_was_read_ = state.last_was_read;
  if (!open_ || !state.last_was_read) return kNoError;
  // Read the record of the saved position again, from just before it.
  ReadPosition at;
  at.key = state.read.key;
  if (state.read.mode == ReadMode::kKeyOrder) {
    at.mode = ReadMode::kKeyAtPosition;
    at.entry = state.read.entry;
  } else {
    at.mode = ReadMode::kTableAtNumber;
    at.number = state.read.number;
  }
  read_ = at;
  if (int rc = read(true); rc != kNoError) return rc == kRecordNotAvailable ? kRecordNotFound : rc;
  return current_ == state.current ? kNoError : kRecordNotFound;
}

}  // namespace orvel::datafile
