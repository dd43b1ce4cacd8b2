// Opening, creating and closing a table.
#include <cstring>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"
#include "datafile/record_keys.h"
#include "datafile/statistics.h"
#include "datafile/table_definition.h"
#include "datafile/table_impl.h"
#include "datafile/table_name.h"
#include "datafile/transaction.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

namespace om = platform::open_mode;

KeyView view(const Bytes& bytes) {
  return KeyView(bytes.data(), bytes.size());
}

Record table_name_record(const std::string& name, uint32_t table) {
  Bytes number(4);
  store_u32_be(number.data(), table);
  Bytes key = table_name_key(name);
  return make_record(view(key), view(number));
}

Record collation_record(uint32_t table, bool oem, const LocaleTables& tables) {
  Bytes data(1 + kLocaleBlockSize);
  data[0] = oem ? 1 : 0;
  tables.to_block(data.data() + 1);
  Bytes key = collation_key(table);
  return make_record(view(key), view(data));
}

}  // namespace

std::optional<uint32_t> named_table(RecordStore& store, const std::string& name) {
  std::optional<Record> named = store.find_equal(view(table_name_key(name)));
  if (!named || named->data().size() < 4) return std::nullopt;
  return load_u32_be(named->data().data());
}

TableKeys TableImpl::table_keys(RecordStore& store) {
  return {&store, table_, &keys_, text()};
}

bool TableImpl::check_writable(int* rc) {
  if (file_ && file_->writable()) {
    data().switch_to_writing();
    return true;
  }
  *rc = kAccessDenied;
  return false;
}

bool TableImpl::begin_change(int* rc) {
  if (!check_writable(rc)) return false;
  // A journal that a full disk kept from being copied ends the change with the disk's error
  // here, where it can be returned; the next operation tries the copy again.
  *rc = data().refresh_header();
  return *rc == kNoError;
}

int TableImpl::key_error(int key) const {
  return key >= 0 && size_t(key) < keys_.size() ? kNoError : kInvalidRecordDeclaration;
}

void TableImpl::drop_file() {
  file_.reset();
  open_ = false;
}

int TableImpl::open(int mode) {
  if (open_) return kFileAlreadyOpen;
  if (declared_.file_name.empty()) return kInvalidFilename;
  if (om::access(mode) == om::kWriteOnly) return kAccessDenied;
  if (declares_layout()) {
    DefinitionResult limits = check_declaration_limits(declared_);
    if (!limits.ok()) {
      error_message_ = message_of(limits);
      return limits.error;
    }
  }
  for (size_t start = declared_.driver_options.find('/'); start != std::string::npos;) {
    size_t end = declared_.driver_options.find('/', start + 1);
    send(declared_.driver_options.substr(start + 1,
                                         end == std::string::npos ? end : end - start - 1));
    start = end;
  }

  TableName name = split_table_name(declared_.file_name, fs_);
  bool per_thread = (declared_.attributes & file_attr::kThread) != 0;
  if (int rc = SharedFile::acquire(fs_, name.file_name, mode, per_thread, &file_); rc != kNoError) {
    return rc;
  }
  file_name_ = name.file_name;
  table_name_ = name.table_name;

  TreeRecordStore store = records_of_file();
  std::optional<uint32_t> named = named_table(store, table_name_);
  if (!named) {
    drop_file();
    return kFileNotFound;
  }
  table_ = *named;

  DefinitionResult definition;
  if (declares_layout()) {
    definition = check_definition(store, table_, declared_, decimal_check_);
  } else {
    TableDecl stored;
    definition = read_definition(store, table_, &stored);
    if (definition.ok()) {
      stored.file_name = declared_.file_name;
      stored.attributes = declared_.attributes;
      read_decl_ = std::move(stored);
      buffer_.assign(read_decl_->record_length, 0);
      saved_ = buffer_;
      memos_.clear();
      for (const MemoDecl& memo : read_decl_->memos) memos_.emplace_back(memo.size, uint8_t(' '));
    }
  }
  if (!definition.ok()) {
    error_message_ = message_of(definition);
    drop_file();
    return definition.error;
  }

  keys_.clear();
  for (size_t k = 0; k < decl().keys.size(); ++k)
    keys_.push_back(make_key_descriptor(decl(), int(k)));
  std::optional<Record> collation = store.find_equal(view(collation_key(table_)));
  if (collation && collation->data().size() >= 1 + kLocaleBlockSize) {
    oem_ = collation->data()[0] == 1;
    locale_ = LocaleTables::from_block(collation->data().data() + 1);
  } else {
    oem_ = (decl().attributes & file_attr::kOem) != 0;
    locale_ = program_locale();
  }
  mode_ = mode;
  open_ = true;
  current_ = 0;
  read_ = {};
  watched_ = watch_request_ = no_memo_request_ = false;
  hold_request_ = record_held_ = table_locked_ = false;
  return kNoError;
}

int TableImpl::create() {
  if (!(declared_.attributes & file_attr::kCreate)) return kNoCreateAttribute;
  if (open_) return kFileAlreadyOpen;
  if (declared_.file_name.empty()) return kInvalidFilename;
  DefinitionResult limits = check_declaration_limits(declared_);
  if (!limits.ok()) {
    error_message_ = message_of(limits);
    return limits.error;
  }
  TableName name = split_table_name(declared_.file_name, fs_);
  const int mode = om::kReadWrite | om::kDenyNone;
  {
    std::unique_ptr<platform::File> created;
    if (int rc = fs_.open(name.file_name, mode, platform::Disposition::kOpenOrCreate, &created);
        rc != kNoError) {
      return rc;
    }
  }
  bool per_thread = (declared_.attributes & file_attr::kThread) != 0;
  if (int rc = SharedFile::acquire(fs_, name.file_name, mode, per_thread, &file_); rc != kNoError) {
    return rc;
  }
  file_name_ = name.file_name;
  table_name_ = name.table_name;

  data().switch_to_writing();
  TreeRecordStore store = records_of_file();
  Bytes name_key = table_name_key(table_name_);
  if (std::optional<Record> old = store.find_equal(view(name_key))) {
    if (old->data().size() >= 4) delete_table_records(store, load_u32_be(old->data().data()));
    store.erase(view(name_key));
  }
  table_ = data().issue_number();
  store.insert(table_name_record(table_name_, table_));
  write_definition(store, table_, declared_);
  write_statistics(store, table_, kTableStatistics, {});
  for (size_t k = 0; k < declared_.keys.size(); ++k) {
    write_statistics(store, table_, uint8_t(k), {});
  }
  store.insert(
      collation_record(table_, (declared_.attributes & file_attr::kOem) != 0, program_locale()));
  int rc = data().close();
  file_.reset();
  return rc;
}

int TableImpl::close() {
  if (!open_) return finish(kFileNotOpen);
  int rc = kNoError;
  end_hold();
  if (table_locked_) {
    file_->locks().release_hold();
    table_locked_ = false;
  }
  if (internal_error_ != 0) {
    // Nothing is known about where the failed operation stopped: let go of every region. A
    // transaction the file is part of cannot end well any more (its changes are gone): it
    // is rolled back, so that it does not outlive the table, keeping the file open.
    if (file_->in_transaction()) rollback_transaction();
    data().discard_changes();
    file_->locks().release_everything();
  } else {
    try {
      rc = data().close();
    } catch (const CorruptionError& e) {
      internal_error_ = e.check();
      rc = kFileSystemError;
      data().discard_changes();
    }
  }
  rc = finish(rc);
  drop_file();
  keys_.clear();
  dynamic_indexes_.clear();
  current_ = 0;
  read_ = {};
  internal_error_ = 0;
  return rc;
}

}  // namespace orvel::datafile
