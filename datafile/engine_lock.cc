#include "datafile/engine_lock.h"

namespace orvel::datafile {

TransactionGate& transaction_gate() {
  static TransactionGate gate;
  return gate;
}

void TransactionGate::pass_shared() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return depth_ == 0 && waiting_ == 0; });
  ++shared_;
}

void TransactionGate::end_shared() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--shared_ == 0) changed_.notify_all();
}

void TransactionGate::enter() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (depth_ > 0 && owner_ == std::this_thread::get_id()) {
    ++depth_;
    return;
  }
  ++waiting_;
  changed_.wait(lock, [&] { return depth_ == 0 && shared_ == 0; });
  --waiting_;
  owner_ = std::this_thread::get_id();
  depth_ = 1;
}

void TransactionGate::leave() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (depth_ == 0 || owner_ != std::this_thread::get_id()) return;
  depth_ = 0;
  owner_ = std::thread::id();
  changed_.notify_all();
}

bool TransactionGate::entered_by_this_thread() {
  std::lock_guard<std::mutex> lock(mutex_);
  return depth_ > 0 && owner_ == std::this_thread::get_id();
}

}  // namespace orvel::datafile
