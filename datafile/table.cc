// The public face of a table: every operation runs as one operation of the engine.
#include "datafile/table.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "datafile/corruption.h"
#include "datafile/engine_lock.h"
#include "datafile/table_impl.h"
#include "datafile/trace_log.h"
#include "datafile/transaction.h"
#include "platform/clock.h"
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
  SharedPass pass;
  std::lock_guard<std::recursive_mutex> lock(engine_mutex());
  if (internal_error_ != 0 && !allowed_after_corruption) return finish(kFileSystemError);
  error_message_.clear();
  int rc;
  try {
    rc = body();
    if (file_ && internal_error_ == 0 && !file_->in_transaction()) {
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

// Each attempt is a whole operation, so that between attempts nothing is pending and no
// operation lock is held: the program holding the record can go on meanwhile.
template <typename Body>
int TableImpl::read_operation(Body body) {
  const uint32_t started = platform::tick_count_ms();
  for (;;) {
    int rc = operate(body);
    if (rc != kRecordIsAlreadyHeld || !hold_request_) {
      // The requests last for one read, also one that found nothing.
      if (rc != kNoError) watch_request_ = no_memo_request_ = hold_request_ = false;
      return rc;
    }
    uint32_t hundredths = (platform::tick_count_ms() - started) / 10;
    if (hold_timeout_ && hundredths > uint32_t(std::max(*hold_timeout_, 0)) * 100) {
      watch_request_ = no_memo_request_ = hold_request_ = false;
      return rc;
    }
    platform::sleep_ms(1);
  }
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
  int rc;
  {
    SharedPass pass;
    std::lock_guard<std::recursive_mutex> lock(engine_mutex());
    bool in_transaction = transaction_open();
    rc = impl_->close();
    if (!in_transaction || transaction_open()) return rc;
  }
  // The close rolled back this thread's transaction: other threads may go on.
  transaction_gate().leave();
  return rc;
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
  return impl_->read_operation([&] { return impl_->get(key); });
}
int Table::get_by_number(uint32_t number) {
  return impl_->read_operation([&] { return impl_->get_by_number(number); });
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
  return impl_->read_operation([&] { return impl_->read(true); });
}
int Table::previous() {
  return impl_->read_operation([&] { return impl_->read(false); });
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
  return impl_->read_operation([&] { return impl_->reget(position, key); });
}

int Table::hold(std::optional<int> seconds) {
  return impl_->operate([&] { return impl_->hold(seconds); });
}
int Table::release() {
  return impl_->operate([&] { return impl_->release(); });
}

// Without seconds the rounds follow each other until the lock is obtained; with seconds a
// second passes between rounds until the time is up. The pauses are outside the engine
// lock, so that other threads go on meanwhile.
int Table::lock(std::optional<int> seconds) {
  const uint32_t started = platform::tick_count_ms();
  for (;;) {
    int rc = impl_->operate([&] { return impl_->lock_round(); });
    if (rc != kFileIsAlreadyLocked) return rc;
    if (!seconds) continue;
    trace_line("Locking failed with error " + std::to_string(kFileIsAlreadyLocked));
    if (platform::tick_count_ms() - started >= uint32_t(std::max(*seconds, 0)) * 1000) return rc;
    platform::sleep_ms(1000);
  }
}
int Table::unlock() {
  return impl_->operate([&] { return impl_->unlock(); });
}

// The start of a transaction keeps every other thread out until its end.
int Table::logout() {
  transaction_gate().enter();
  int rc = impl_->operate([&] { return impl_->logout(); });
  if (rc != kNoError) {
    std::lock_guard<std::recursive_mutex> lock(engine_mutex());
    if (!transaction_open()) transaction_gate().leave();
  }
  return rc;
}
int Table::commit() {
  int rc = impl_->operate([] { return commit_transaction(); });
  transaction_gate().leave();
  return rc;
}
int Table::rollback() {
  int rc = impl_->operate([] { return rollback_transaction(); });
  transaction_gate().leave();
  return rc;
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
int Table::build(int key, const std::vector<KeyComponent>& components,
                 std::function<bool(const uint8_t* image)> filter) {
  return impl_->operate(
      [&] { return impl_->build_dynamic_index(key, &components, std::move(filter)); });
}
int Table::key_properties(int key, KeyProperties* properties) const {
  const TableDecl& decl = impl_->decl();
  if (key < 0 || size_t(key) >= decl.keys.size()) return kInvalidRecordDeclaration;
  const KeyDecl& k = decl.keys[size_t(key)];
  properties->label = k.label;
  properties->external_name = k.external_name;
  properties->is_index = (k.attributes & key_attr::kIndex) != 0;
  properties->dup = properties->is_index || (k.attributes & key_attr::kDup) != 0;
  properties->opt = (k.attributes & key_attr::kOpt) != 0;
  properties->nocase = (k.attributes & key_attr::kNoCase) != 0;
  properties->primary = (k.attributes & key_attr::kPrimary) != 0;
  properties->components = k.components;
  return kNoError;
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
