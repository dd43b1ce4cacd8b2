// The reader/writer gate around the engine's process-wide mutex, which keeps every other
// thread's operations out of a thread's transaction.
//
// Ordinary operations pass it shared, before they take the engine mutex. The start of a
// transaction (LOGOUT) enters it exclusively for the calling thread, re-entrantly, and the
// end (COMMIT or ROLLBACK) leaves it; meanwhile that thread's own operations pass freely and
// other threads wait. A thread waiting to enter blocks new shared passes, so it cannot be
// starved. Thread-safe.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace orvel::datafile {

class TransactionGate {
 public:
  void pass_shared();
  void end_shared();
  // Exclusive for the calling thread; nests.
  void enter();
  // Ends every enter() of the calling thread; nothing when it has not entered.
  void leave();
  bool entered_by_this_thread();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int shared_ = 0;
  int waiting_ = 0;
  int depth_ = 0;
  std::thread::id owner_;
};

TransactionGate& transaction_gate();

// RAII pass of an ordinary operation; free for the thread inside a transaction.
class SharedPass {
 public:
  SharedPass() : owned_(!transaction_gate().entered_by_this_thread()) {
    if (owned_) transaction_gate().pass_shared();
  }
  ~SharedPass() {
    if (owned_) transaction_gate().end_shared();
  }
  SharedPass(const SharedPass&) = delete;
  SharedPass& operator=(const SharedPass&) = delete;

 private:
  bool owned_;
};

}  // namespace orvel::datafile
