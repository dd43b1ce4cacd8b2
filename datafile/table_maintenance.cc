// Work on a whole table: emptying, building keys, packing, removing; driver options and
// the names of the tables of a file.
#include <algorithm>
#include <cctype>

#include "datafile/byte_order.h"
#include "datafile/data_record.h"
#include "datafile/key_build.h"
#include "datafile/record_keys.h"
#include "datafile/statistics.h"
#include "datafile/table_definition.h"
#include "datafile/table_impl.h"
#include "datafile/table_name.h"
#include "datafile/transaction.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

KeyView view(const Bytes& bytes) {
  return KeyView(bytes.data(), bytes.size());
}

std::string upper_ascii(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string trimmed(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

class TableBuildHost final : public KeyBuildHost {
 public:
  explicit TableBuildHost(TableImpl& table) : table_(table) {}
  size_t cached_pages() override {
    return table_.data().cache().unchanged_count() + table_.data().cache().changed_count();
  }
  int commit() override { return table_.data().commit(); }
  void image_of(const Record& record, Bytes* image) override {
    image->assign(table_.buffer_.size(), 0);
    read_data_record(record, table_.decl(), table_.oem_, image->data(), image->size());
  }

 private:
  TableImpl& table_;
};

// The names of the tables of a file, from its table-name records.
std::vector<std::string> names_in(RecordStore& store) {
  std::vector<std::string> names;
  Bytes probe{record_kind::kTableName};
  for (auto record = store.find_first_above(view(probe));
       record && !record->key().empty() && record->key()[0] == record_kind::kTableName;
       record = store.find_first_above(record->key())) {
    names.emplace_back(record->key().begin() + 1, record->key().end());
  }
  return names;
}

}  // namespace

int TableImpl::empty() {
  if (!open_) return kFileNotOpen;
  int rc;
  if (!check_writable(&rc)) return rc;
  TreeRecordStore store = records_of_file();
  Bytes cursor = table_kind_prefix(table_, 0);
  cursor.pop_back();
  const Bytes prefix = cursor;
  while (auto record = store.find_first_above(view(cursor))) {
    if (!has_prefix(record->key(), view(prefix))) break;
    uint8_t kind = record->key()[4];
    bool kept = kind == record_kind::kDefinition || kind == record_kind::kCollation ||
                kind == record_kind::kStatistics;
    if (kept) {
      cursor.assign(record->key().begin(), record->key().end());
    } else {
      store.erase(record->key());
    }
  }
  uint32_t flags = read_statistics(store, table_, kTableStatistics).value_or(Statistics{}).mark;
  write_statistics(store, table_, kTableStatistics, {0, flags});
  for (size_t k = 0; k < keys_.size(); ++k) write_statistics(store, table_, uint8_t(k), {});
  current_ = 0;
  return kNoError;
}

int TableImpl::build(int key) {
  bool opened_here = false;
  if (!open_) {
    if (int rc = open(platform::open_mode::kReadWrite | platform::open_mode::kDenyWrite);
        rc != kNoError) {
      return rc;
    }
    opened_here = true;
  }
  int rc = kNoError;
  if (!check_writable(&rc)) {
  } else if (key != Table::kFileOrder && key_error(key) != kNoError) {
    rc = key_error(key);
  } else {
    TreeRecordStore store = records_of_file();
    TableBuildHost host(*this);
    KeyBuildOptions options;
    options.full_build = full_build_;
    if (key == Table::kFileOrder && full_build_) {
      locale_ = program_locale();
      Bytes data(1 + kLocaleBlockSize);
      data[0] = oem_ ? 1 : 0;
      locale_.to_block(data.data() + 1);
      Bytes collation = collation_key(table_);
      if (store.find_equal(view(collation))) store.erase(view(collation));
      store.insert(make_record(view(collation), view(data)));
    }
    for (size_t k = 0; k < keys_.size() && rc == kNoError; ++k) {
      const KeyDescriptor& descriptor = keys_[k];
      if (key == Table::kFileOrder ? descriptor.is_index() : int(k) != key) continue;
      if (descriptor.is_dynamic_index()) {
        rc = build_dynamic_index(key, nullptr, {});
        break;
      }
      rc = build_key(table_keys(store), descriptor, host, options);
    }
  }
  if (opened_here) {
    int closed = close();
    if (rc == kNoError) rc = closed;
  }
  return rc;
}

int TableImpl::build_dynamic_index(int key, const std::vector<KeyComponent>* components,
                                   std::function<bool(const uint8_t* image)> filter) {
  // The index lives only in the open table, so a build never opens one for it.
  if (!open_) return kFileNotOpen;
  if (int rc = key_error(key); rc != kNoError) return rc;
  if (!keys_[key].is_dynamic_index()) return kUnsupportedFunction;
  if (!file_->writable()) return kAccessDenied;
  DynamicIndex& index = dynamic_indexes_[key];
  if (components) {
    const KeyDecl& decl = this->decl().keys[size_t(key)];
    DefinitionResult limits = check_key_components(this->decl(), decl.label, *components);
    if (!limits.ok()) {
      error_message_ = message_of(limits);
      return limits.error;
    }
    // Its entries may share values, as every index's: they are told apart by record number.
    keys_[key] = make_key_descriptor(this->decl(), key, decl.attributes | key_attr::kDup,
                                     *components);
    index.filter = std::move(filter);
  }
  TreeRecordStore store = records_of_file();
  TableBuildHost host(*this);
  KeyBuildOptions options;
  options.filter = index.filter;
  options.private_tree = &index.tree;
  return build_key(table_keys(store), keys_[key], host, options);
}

int TableImpl::pack() {
  if (int rc = build(Table::kFileOrder); rc != kNoError) return rc;
  if (!open_) return kNoError;
  return data().close();
}

int TableImpl::remove() {
  const bool was_open = open_;
  if (!was_open) {
    if (int rc = open(platform::open_mode::kReadWrite | platform::open_mode::kDenyNone);
        rc != kNoError) {
      return rc;
    }
  }
  int rc = kNoError;
  if (!check_writable(&rc)) {
    if (!was_open) close();
    return rc;
  }
  TreeRecordStore store = records_of_file();
  store.erase(view(table_name_key(table_name_)));
  Bytes collation = collation_key(table_);
  if (store.find_equal(view(collation))) store.erase(view(collation));
  bool others = !names_in(store).empty();
  if (others) delete_table_records(store, table_);
  internal_error_ = 0;
  rc = close();
  if (!others && rc == kNoError && !file_) rc = fs_.remove(file_name_);
  return rc;
}

std::string TableImpl::send(const std::string& option) {
  size_t equals = option.find('=');
  std::string word = upper_ascii(trimmed(option.substr(0, equals)));
  std::optional<std::string> value;
  if (equals != std::string::npos) value = trimmed(option.substr(equals + 1));
  auto on_off = [&](bool* setting) {
    if (value) *setting = upper_ascii(*value) != "OFF";
    return std::string(*setting ? "ON" : "OFF");
  };
  if (word == "DECIMALCHECK") return on_off(&decimal_check_);
  if (word == "FULLBUILD") return on_off(&full_build_);
  if (word == "TCF") {
    if (value) process_control_file() = *value;
    return process_control_file();
  }
  if (!open_) return "";
  TreeRecordStore store = records_of_file();
  if (word == "FLAGS") {
    // Switch before reading, so that the statistics are read and written under one lock.
    int rc;
    bool setting = value && check_writable(&rc);
    Statistics stats = read_statistics(store, table_, kTableStatistics).value_or(Statistics{});
    if (setting) {
      stats.mark = uint32_t(std::strtoul(value->c_str(), nullptr, 10));
      write_statistics(store, table_, kTableStatistics, stats);
    }
    return std::to_string(stats.mark);
  }
  if (word == "PNM") {
    std::string after = upper_ascii(value.value_or(""));
    for (const std::string& name : names_in(store)) {
      if (name > after) return name;
    }
    return "";
  }
  return "";
}

int TableImpl::table_names(std::vector<std::string>* names) {
  names->clear();
  if (open_) {
    TreeRecordStore store = records_of_file();
    *names = names_in(store);
    return kNoError;
  }
  TableName name = split_table_name(declared_.file_name, fs_);
  std::shared_ptr<SharedFile> file;
  int mode = platform::open_mode::kReadOnly | platform::open_mode::kDenyNone;
  bool per_thread = (declared_.attributes & file_attr::kThread) != 0;
  if (int rc = SharedFile::acquire(fs_, name.file_name, mode, per_thread, &file); rc != kNoError) {
    return rc;
  }
  TreeRecordStore store(&file->data().tree());
  *names = names_in(store);
  file->data().end_operation();
  return kNoError;
}

}  // namespace orvel::datafile
