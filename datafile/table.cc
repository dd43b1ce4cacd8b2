// The public face of a table: every operation runs as one operation of the engine.
#include "datafile/table.h"

#include <mutex>

#include "datafile/corruption.h"
#include "datafile/table_impl.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

thread_local LastError g_last_error;

ReadPosition reading(ReadMode mode, int key = Table::kFileOrder, uint32_t number = 0) {
  ReadPosition at;
  at.mode = mode;
  at.key = key;
  at.number = number;
  return at;
}

}  // namespace

const LastError& last_error() {
  return g_last_error;
}

std::recursive_mutex& engine_mutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

TableImpl::TableImpl(const TableDecl& decl, platform::FileSystem& fs)
    : declared_(decl), fs_(fs), buffer_(decl.record_length, 0), saved_(decl.record_length, 0) {
  for (const MemoDecl& memo : decl.memos) memos_.emplace_back(memo.size, uint8_t(' '));
}

template <typename Body>
int TableImpl::operate(Body body, bool allowed_after_corruption) {
  std::lock_guard<std::recursive_mutex> lock(engine_mutex());
  if (internal_error_ != 0 && !allowed_after_corruption) return finish(kFileSystemError);
  error_message_.clear();
  int rc;
  try {
    rc = body();
    if (file_ && internal_error_ == 0) {
      int committed = data().end_operation();
      if (committed != kNoError && rc == kNoError) {
        rc = committed;
        current_ = 0;  // what the operation wrote is gone with the discarded changes
      }
    }
  } catch (const CorruptionError& e) {
    internal_error_ = e.check();
    rc = kFileSystemError;
    if (file_) data().discard_changes();
  }
  return finish(rc);
}

int TableImpl::finish(int rc) {
  if (rc != kNoError) {
    g_last_error.code = rc;
    g_last_error.file = file_name_.empty() ? declared_.file_name : file_name_;
    g_last_error.file_code = rc == kFileSystemError ? internal_error_ : 0;
    g_last_error.file_text = rc == kFileSystemError ? kCorruptionText : "";
    g_last_error.message = error_message_;
  }
  return rc;
}

Table::Table(const TableDecl& decl, platform::FileSystem& fs)
    : impl_(std::make_unique<TableImpl>(decl, fs)) {}

Table::~Table() {
  if (impl_->open_) close();
}

const TableDecl& Table::declaration() const {
  return impl_->decl();
}
uint8_t* Table::record() {
  return impl_->buffer_.data();
}
Bytes& Table::memo(int m) {
  return impl_->memos_[m];
}
uint32_t Table::pointer() const {
  return impl_->current_;
}
bool Table::is_open() const {
  return impl_->open_;
}

std::string Table::name() const {
  std::lock_guard<std::recursive_mutex> lock(engine_mutex());
  return impl_->file_name_.empty() ? impl_->declared_.file_name : impl_->file_name_;
}

int Table::open(int mode) {
  return impl_->operate([&] { return impl_->open(mode); });
}
int Table::create() {
  return impl_->operate([&] { return impl_->create(); });
}
int Table::close() {
  std::lock_guard<std::recursive_mutex> lock(engine_mutex());
  return impl_->close();
}

int Table::records(uint32_t* count) {
  return records(kFileOrder, count);
}
int Table::records(int key, uint32_t* count) {
  return impl_->operate([&] { return impl_->records(key, count); });
}

int Table::add() {
  return impl_->operate([&] { return impl_->add(false); });
}
int Table::append() {
  return impl_->operate([&] { return impl_->add(true); });
}
int Table::put() {
  return impl_->operate([&] { return impl_->put(); });
}
int Table::erase() {
  return impl_->operate([&] { return impl_->erase(); });
}
int Table::get(int key) {
  return impl_->operate([&] { return impl_->get(key); });
}
int Table::get_by_number(uint32_t number) {
  return impl_->operate([&] { return impl_->get_by_number(number); });
}

int Table::set() {
  return impl_->operate([&] { return impl_->set_reading(reading(ReadMode::kTableStart)); });
}
int Table::set_at_number(uint32_t number) {
  ReadPosition at =
      reading(number > 0 ? ReadMode::kTableAtNumber : ReadMode::kTableStart, kFileOrder, number);
  return impl_->operate([&] { return impl_->set_reading(at); });
}
int Table::set_at_value_of(int key) {
  ReadPosition at = reading(ReadMode::kTableAtValue, key);
  return impl_->operate([&] { return impl_->set_reading(at); });
}
int Table::set(int key) {
  ReadPosition at = reading(ReadMode::kKeyStart, key);
  return impl_->operate([&] { return impl_->set_reading(at); });
}
int Table::set_at(int key) {
  ReadPosition at = reading(ReadMode::kKeyAtValue, key);
  return impl_->operate([&] { return impl_->set_reading(at); });
}
int Table::set_at(int key, uint32_t number) {
  ReadPosition at =
      reading(number > 0 ? ReadMode::kKeyAtPosition : ReadMode::kKeyAtValue, key, number);
  return impl_->operate([&] { return impl_->set_reading(at); });
}
int Table::set_at_number(int key, uint32_t number) {
  ReadPosition at = reading(number > 0 ? ReadMode::kKeyAtNumber : ReadMode::kKeyStart, key, number);
  return impl_->operate([&] { return impl_->set_reading(at); });
}
int Table::next() {
  return impl_->operate([&] { return impl_->read(true); });
}
int Table::previous() {
  return impl_->operate([&] { return impl_->read(false); });
}
int Table::skip(int count) {
  return impl_->operate([&] { return impl_->skip(count); });
}
bool Table::bof() {
  bool none = false;
  impl_->operate([&] {
    none = !impl_->has_candidate(false);
    return kNoError;
  });
  return none;
}
bool Table::eof() {
  bool none = false;
  impl_->operate([&] {
    none = !impl_->has_candidate(true);
    return kNoError;
  });
  return none;
}

Position Table::position(int key) {
  Position result;
  impl_->operate([&] {
    result = impl_->position(key);
    return kNoError;
  });
  return result;
}
int Table::reset(const Position& position, int key) {
  return impl_->operate([&] { return impl_->reset(position, key); });
}
int Table::reget(const Position& position, int key) {
  return impl_->operate([&] { return impl_->reget(position, key); });
}

// Holds, locks and transactions arrive with the sharing layer.
int Table::hold(std::optional<int>) {
  return impl_->operate([] { return kUnsupportedFunction; });
}
int Table::release() {
  return impl_->operate([] { return kUnsupportedFunction; });
}
int Table::lock(std::optional<int>) {
  return impl_->operate([] { return kUnsupportedFunction; });
}
int Table::unlock() {
  return impl_->operate([] { return kUnsupportedFunction; });
}
int Table::logout() {
  return impl_->operate([] { return kUnsupportedFunction; });
}
int Table::commit() {
  return impl_->operate([] { return kUnsupportedFunction; });
}
int Table::rollback() {
  return impl_->operate([] { return kUnsupportedFunction; });
}
int Table::watch() {
  return impl_->operate([&] {
    impl_->watch_request_ = true;
    return kNoError;
  });
}

int Table::stream() {
  return impl_->operate([] { return kNoError; });
}
int Table::flush() {
  return impl_->operate([] { return kNoError; });
}
int Table::empty() {
  return impl_->operate([&] { return impl_->empty(); });
}
int Table::build() {
  return build(kFileOrder);
}
int Table::build(int key) {
  return impl_->operate([&] { return impl_->build(key); });
}
int Table::pack() {
  return impl_->operate([&] { return impl_->pack(); });
}
int Table::remove() {
  return impl_->operate([&] { return impl_->remove(); }, true);
}
int Table::duplicate(int key) {
  int result = 0;
  impl_->operate([&] {
    result = impl_->duplicate(key);
    return kNoError;
  });
  return result;
}

std::string Table::send(const std::string& option) {
  std::string value;
  impl_->operate([&] {
    value = impl_->send(option);
    return kNoError;
  });
  return value;
}
int Table::table_names(std::vector<std::string>* names) {
  return impl_->operate([&] { return impl_->table_names(names); });
}

std::shared_ptr<TableState> Table::save_state() {
  std::lock_guard<std::recursive_mutex> lock(engine_mutex());
  return impl_->save_state();
}
int Table::restore_state(const TableState& state) {
  return impl_->operate([&] { return impl_->restore_state(state); });
}

}  // namespace orvel::datafile
