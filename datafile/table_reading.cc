// Sequential reading in file order and in key order, positions, and saved states.
#include <algorithm>

#include "datafile/byte_order.h"
#include "datafile/data_record.h"
#include "datafile/record_keys.h"
#include "datafile/table_impl.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

bool in_file_order(ReadMode mode) {
  return mode == ReadMode::kTableStart || mode == ReadMode::kFileOrder ||
         mode == ReadMode::kTableAtNumber;
}

bool is_data_of(const Record& record, uint32_t table) {
  return record.key_length == kDataKeyLength && table_number_of(record.key()) == table &&
         record.bytes[4] == record_kind::kData;
}

}  // namespace

// One step in the file's tree from the record the position stands on, whose key is key, or,
// when it is not placed, from key; the position follows the record found.
static const Record* tree_step(TableImpl& t, bool forward, ReadPosition& at, KeyView key) {
  RecordTree& tree = t.tree();
  const Record* found = nullptr;
  if (at.cursor_placed) {
    found = forward ? tree.next(&at.cursor) : tree.previous(&at.cursor);
    // A damaged tree may lead back to records already read, for ever; a search from key
    // always moves on.
    if (found && (forward ? found->key() <= key : found->key() >= key)) {
      at.cursor_placed = false;
    }
  }
  if (!at.cursor_placed) {
    found = forward ? tree.place_first_above(&at.cursor, key)
                    : tree.place_last_below(&at.cursor, key);
  }
  // Nothing found leaves the position where it stood; a record of another kind moves it.
  at.cursor_placed = found != nullptr;
  return found;
}

// The next (forward) or previous record the position leads to: a data record in the file
// order modes, a key entry in the others. Steps through the file's tree return the record
// where the tree keeps it and place at.cursor on it; the other ways return a copy in *copy.
static const Record* candidate(TableImpl& t, bool forward, ReadPosition& at,
                               std::optional<Record>* copy) {
  auto data_step = [&](uint32_t number) -> const Record* {
    const Record* r = tree_step(t, forward, at, DataKey(t.table_, number).view());
    return r && is_data_of(*r, t.table_) ? r : nullptr;
  };
  auto copied = [&](std::optional<Record> r) -> const Record* {
    at.cursor_placed = false;
    *copy = std::move(r);
    return *copy ? &**copy : nullptr;
  };
  switch (at.mode) {
    case ReadMode::kNone:
      return nullptr;
    case ReadMode::kTableStart:
      at.cursor_placed = false;
      return data_step(forward ? 0 : 0xFFFFFFFFu);
    case ReadMode::kFileOrder:
      return data_step(at.number);
    case ReadMode::kTableAtNumber:
      if (const Record* exact = t.tree().seek(&at.cursor, DataKey(t.table_, at.number).view())) {
        at.cursor_placed = true;
        return exact;
      }
      at.cursor_placed = false;
      return data_step(at.number);
    default:
      break;
  }
  TreeRecordStore store = t.records_of_file();
  KeyIndex index = t.key_index(at.key, store);
  const bool in_file_tree = !t.keys_[at.key].is_dynamic_index();
  switch (at.mode) {
    case ReadMode::kTableAtValue:
    case ReadMode::kKeyAtValue:
      return copied(forward ? index.position_forward(at.value.data())
                            : index.position_backward(at.value.data()));
    case ReadMode::kKeyStart:
      return copied(forward ? index.first() : index.last());
    case ReadMode::kKeyOrder: {
      if (!in_file_tree) {
        Record entry{at.entry, t.keys_[at.key].entry_key_length()};
        return copied(forward ? index.next_after(entry) : index.previous_before(entry));
      }
      KeyView entry_key(at.entry.data(), t.keys_[at.key].entry_key_length());
      const Record* r = tree_step(t, forward, at, entry_key);
      return r && index.belongs(*r) ? r : nullptr;
    }
    case ReadMode::kKeyAtPosition: {
      Record entry{at.entry, t.keys_[at.key].entry_key_length()};
      if (auto exact = index.find_exact(entry);
          exact && key_entry_record_number(*exact) == key_entry_record_number(entry)) {
        return copied(std::move(exact));
      }
      return copied(forward ? index.next_after(entry) : index.previous_before(entry));
    }
    case ReadMode::kKeyAtNumber: {
      const Record* record = t.stored_data_record(at.number);
      if (!record) return copied(std::nullopt);
      Bytes image(t.buffer_.size(), 0);
      read_data_record(*record, t.decl(), t.oem_, image.data(), image.size());
      return copied(index.find_exact(index.make_entry(image.data(), at.number)));
    }
    default:
      return nullptr;
  }
}

// Moves the position on to a candidate it has taken. The cursor stays placed only where
// it stands on what the new position names.
static void adopt(ReadPosition& at, const Record& taken) {
  if (in_file_order(at.mode)) {
    at.mode = ReadMode::kFileOrder;
    at.number = record_number_of(taken.key());
  } else if (at.mode == ReadMode::kTableAtValue) {
    at.mode = ReadMode::kFileOrder;
    at.number = key_entry_record_number(taken);
    at.key = Table::kFileOrder;
    at.cursor_placed = false;
  } else {
    at.mode = ReadMode::kKeyOrder;
    at.entry.assign(taken.bytes.begin(), taken.bytes.end());
  }
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
  end_hold();
  // The position moves on in reading_ and becomes read_ only when a record is taken: an
  // end reached after entries left behind keeps the position of the last record read.
  reading_ = read_;
  std::optional<Record> copy;
  for (;;) {
    const Record* found = candidate(*this, forward, reading_, &copy);
    if (!found) {
      watch_request_ = no_memo_request_ = hold_request_ = false;
      return kRecordNotAvailable;
    }
    const bool file_order = in_file_order(reading_.mode);
    const uint32_t number =
        file_order ? record_number_of(found->key()) : key_entry_record_number(*found);
    adopt(reading_, *found);
    const Record* record = file_order ? found : stored_data_record(number);
    if (!record) continue;  // an entry left behind by an interrupted change: skip it
    if (int rc = hold_if_requested(number); rc != kNoError) return rc;
    take_record(*record);
    std::swap(read_, reading_);
    last_was_read_ = true;
    return kNoError;
  }
}

int TableImpl::skip(int count) {
  if (!open_) return kFileNotOpen;
  bool forward = count > 0;
  std::optional<Record> copy;
  for (int left = forward ? count : -count; left > 0; --left) {
    reading_ = read_;
    const Record* found = candidate(*this, forward, reading_, &copy);
    if (!found) break;
    adopt(reading_, *found);
    std::swap(read_, reading_);
  }
  return kNoError;
}

bool TableImpl::has_candidate(bool forward) {
  if (!open_) return false;
  reading_ = read_;
  std::optional<Record> copy;
  return candidate(*this, forward, reading_, &copy) != nullptr;
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
  end_hold();
  std::optional<Record> record = data_record(number);
  if (!record) return kRecordNotFound;
  if (int rc = hold_if_requested(number); rc != kNoError) return rc;
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
