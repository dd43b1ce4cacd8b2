// The programs of the stress run (stress_test.cc), many at once on the shared files
// DIR/a.hvk and DIR/b.hvk (stress_record.h), any of them killed at any moment:
//
//   worker DIR ID SEED FIRST COUNT DIE
//                                    COUNT operations of a seeded random mix, numbered from
//                                    FIRST: adds, changes (half of them under a hold) and
//                                    deletes of its series W<ID> in one file, held reads of
//                                    anyone's records, and transactions that add, change or
//                                    delete a pair T<ID> in both files, one in five rolled
//                                    back. It learns its records from the files first. One
//                                    in DIE commits of a transaction (none for 0) kills the
//                                    program inside itself, after phase 1 of both files or
//                                    after the commit point, saying "dying before" or
//                                    "dying after" (the commit point) first.
//   reader DIR STOP                  reads both files in key order and in record order until
//                                    the file STOP exists, checking every record it reads
//
// A worker writes "B SEQ KIND FILE NUM" before it changes anything (KIND add, put, del,
// txn-add, txn-put or txn-del; FILE a, b or ab), "D SEQ" once the change is committed,
// "R SEQ" once it is rolled back, "H SEQ" after a held read, and "end" after closing. Each
// line is flushed before the program goes on, so that after a kill the test knows every
// acknowledged change and the one at most that was under way.
//
// Waits for another program (43 on a held read, 5 on a change and 33 on a delete of a record
// someone holds) are repeated as a real program would; any other error, or a wait longer
// than a minute, ends the program with "F TEXT" and exit 1. A reader ends with "reads N
// passes P bad B" followed by the first bad read, if any.
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "datafile/table.h"
#include "datafile/tests/child_process.h"
#include "datafile/tests/passport_declaration.h"
#include "datafile/tests/stress_record.h"
#include "datafile/transaction.h"
#include "platform/clock.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

using namespace testing;
constexpr int kShared = 0x42;
constexpr int kReadShared = 0x40;
constexpr int kSingleNumbers = 200;
constexpr int kPairNumbers = 100;
constexpr auto kLongestWait = std::chrono::seconds(60);

void say(const std::string& line) {
  std::cout << line << std::endl;
}

struct Failure {
  std::string text;
};

[[noreturn]] void fail(const std::string& what, int rc) {
  throw Failure{what + " failed " + std::to_string(rc)};
}

// The passport tables of the shared files, open in one mode.
struct StressTables {
  StressTables(const std::string& dir, int mode) {
    for (int f = 0; f < kStressFileCount; ++f) {
      decls[f] = passport_declaration();
      decls[f].file_name = dir + "/" + kStressFiles[f];
      tables[f] = std::make_unique<Table>(decls[f]);
      if (int rc = tables[f]->open(mode); rc != kNoError) fail("open", rc);
    }
  }
  ~StressTables() {
    for (auto& t : tables) t->close();
  }
  Table& operator[](int f) { return *tables[f]; }

  TableDecl decls[kStressFileCount];
  std::unique_ptr<Table> tables[kStressFileCount];
};

// Repeats attempt while it returns busy (the code of another program's hold), for at most
// a minute; returns its last result.
template <typename Attempt>
int retried(int busy, Attempt attempt) {
  auto give_up = std::chrono::steady_clock::now() + kLongestWait;
  int rc;
  while ((rc = attempt()) == busy) {
    if (std::chrono::steady_clock::now() > give_up) break;
    platform::sleep_ms(1);
  }
  return rc;
}

// The versions of one series in one file, by number.
using Versions = std::map<int, int32_t>;

Versions versions_in(Table& t, const std::string& ser) {
  Versions out;
  store_passport(t, {ser, "", ""});
  if (int rc = t.set_at(kSerNum); rc != kNoError) fail("set", rc);
  int rc;
  while ((rc = t.next()) == kNoError) {
    Passport p = loaded_passport(t);
    if (p.ser != ser) break;
    if (!stress_record_sound(p)) throw Failure{"unsound record " + p.ser + " " + p.num};
    out[std::stoi(p.num)] = p.date_pas;
  }
  if (rc != kNoError && rc != kRecordNotAvailable) fail("next", rc);
  return out;
}

class Worker {
 public:
  Worker(const std::string& dir, int id, uint32_t seed, int32_t first, int die)
      : tables_(dir, kShared),
        single_(single_series(id)),
        pair_(pair_series(id)),
        random_(seed),
        seq_(first),
        die_(die) {
    for (int f = 0; f < kStressFileCount; ++f) singles_[f] = versions_in(tables_[f], single_);
    pairs_ = versions_in(tables_[0], pair_);
    // Kills from outside mostly find a program waiting for a lock; these fall into the two
    // moments of a transaction's commit that decide its outcome.
    set_commit_step_hook([this](CommitStep reached) {
      if (die_at_ && *die_at_ == reached) {
        say(reached == CommitStep::kCommitPoint ? "dying after" : "dying before");
        orvel::testing::kill_this_process();
      }
    });
  }
  ~Worker() { set_commit_step_hook({}); }

  void run(int count) {
    for (int i = 0; i < count; ++i, ++seq_) {
      int choice = pick(100);
      if (choice < 55) {
        write_single();
      } else if (choice < 75) {
        held_read();
      } else {
        transaction();
      }
    }
  }

 private:
  int pick(int n) { return int(random_() % uint32_t(n)); }
  std::string tag() const { return std::to_string(seq_); }

  // Adds an absent number, else changes or deletes it.
  void write_single() {
    int f = pick(kStressFileCount);
    int n = pick(kSingleNumbers);
    Table& t = tables_[f];
    Versions& mine = singles_[f];
    const std::string where = std::string(1, char('a' + f)) + " " + stress_number(n);
    if (!mine.count(n)) {
      say("B " + tag() + " add " + where);
      add(t, single_, n);
      mine[n] = seq_;
    } else if (pick(3) < 2) {
      say("B " + tag() + " put " + where);
      change(t, single_, n, pick(2) == 0);
      mine[n] = seq_;
    } else {
      say("B " + tag() + " del " + where);
      erase(t, single_, n);
      mine.erase(n);
    }
    say("D " + tag());
  }

  void add(Table& t, const std::string& ser, int n) {
    store_passport(t, stress_record(ser, stress_number(n), seq_));
    if (int rc = t.add(); rc != kNoError) fail("add " + ser + " " + stress_number(n), rc);
  }

  // Reads the record, under a hold when asked (as a program that is about to change it
  // does), and writes its next version.
  void change(Table& t, const std::string& ser, int n, bool under_hold) {
    const std::string num = stress_number(n);
    int rc = retried(kRecordIsAlreadyHeld, [&] {
      if (under_hold) t.hold(1);
      store_passport(t, {ser, num, ""});
      return t.get(kSerNum);
    });
    if (rc != kNoError) fail("get " + ser + " " + num, rc);
    if (!stress_record_sound(loaded_passport(t))) throw Failure{"unsound " + ser + " " + num};
    store_passport(t, stress_record(ser, num, seq_));
    // Unheld, the change takes the record's lock byte for itself, and meets other
    // programs' holds.
    rc = retried(kAccessDenied, [&] { return t.put(); });
    if (rc != kNoError) fail("put " + ser + " " + num, rc);
  }

  void erase(Table& t, const std::string& ser, int n) {
    const std::string num = stress_number(n);
    store_passport(t, {ser, num, ""});
    if (int rc = t.get(kSerNum); rc != kNoError) fail("get " + ser + " " + num, rc);
    int rc = retried(kRecordNotAvailable, [&] { return t.erase(); });
    if (rc != kNoError) fail("delete " + ser + " " + num, rc);
  }

  // Holds a record of anyone's for a moment: the first one at or after a random place.
  void held_read() {
    Table& t = tables_[pick(kStressFileCount)];
    std::string ser = (pick(2) ? "W" : "T") + std::to_string(1 + pick(8));
    store_passport(t, {ser, stress_number(pick(kSingleNumbers)), ""});
    if (int rc = t.set_at(kSerNum); rc != kNoError) fail("set", rc);
    t.hold(1);
    int rc = t.next();
    if (rc == kNoError) {
      if (!stress_record_sound(loaded_passport(t))) throw Failure{"unsound held record"};
      platform::sleep_ms(pick(3));
      if (int r = t.release(); r != kNoError) fail("release", r);
    } else if (rc != kRecordNotAvailable && rc != kRecordIsAlreadyHeld) {
      fail("held read", rc);
    }
    say("H " + tag());
  }

  // One pair in both files: added when absent, else changed or deleted; committed, or one
  // time in five rolled back.
  void transaction() {
    int n = pick(kPairNumbers);
    bool present = pairs_.count(n) > 0;
    bool deleting = present && pick(3) == 0;
    const char* kind = !present ? "txn-add" : deleting ? "txn-del" : "txn-put";
    bool roll_back = pick(5) == 0;
    say("B " + tag() + " " + kind + " ab " + stress_number(n));
    for (int f = 0; f < kStressFileCount; ++f) {
      if (int rc = tables_[f].logout(); rc != kNoError) fail("logout", rc);
    }
    for (int f = 0; f < kStressFileCount; ++f) {
      if (!present) {
        add(tables_[f], pair_, n);
      } else if (deleting) {
        erase(tables_[f], pair_, n);
      } else {
        change(tables_[f], pair_, n, false);
      }
    }
    if (roll_back) {
      if (int rc = tables_[0].rollback(); rc != kNoError) fail("rollback", rc);
      say("R " + tag());
      return;
    }
    die_at_.reset();
    if (die_ > 0 && pick(die_) == 0) {
      die_at_ = pick(2) ? CommitStep::kPhase1Written : CommitStep::kCommitPoint;
    }
    if (int rc = tables_[0].commit(); rc != kNoError) fail("commit", rc);
    if (deleting) {
      pairs_.erase(n);
    } else {
      pairs_[n] = seq_;
    }
    say("D " + tag());
  }

  StressTables tables_;
  const std::string single_, pair_;
  Versions singles_[kStressFileCount];
  Versions pairs_;
  std::mt19937 random_;
  int32_t seq_;
  const int die_;
  std::optional<CommitStep> die_at_;
};

int worker(const std::string& dir, int id, uint32_t seed, int32_t first, int count, int die) {
  {
    Worker w(dir, id, seed, first, die);
    w.run(count);
  }
  say("end");
  return 0;
}

// What a reader checks of every pass over the files.
class Reader {
 public:
  explicit Reader(const std::string& dir) : tables_(dir, kReadShared) {}

  void run(const std::string& stop) {
    while (!std::filesystem::exists(stop)) {
      for (int f = 0; f < kStressFileCount; ++f) {
        in_key_order(f);
        in_record_order(f);
      }
      ++passes_;
    }
    say("reads " + std::to_string(reads_) + " passes " + std::to_string(passes_) + " bad " +
        std::to_string(bad_) + first_bad_);
  }

 private:
  void bad(const std::string& what) {
    if (bad_++ == 0) first_bad_ = ": " + what;
  }

  void check(const Passport& p, int f) {
    ++reads_;
    if (!stress_record_sound(p)) bad("unsound record " + p.ser + " " + p.num);
    if (!p.ser.empty() && p.ser[0] == 'T') check_pair(p, f);
  }

  // A transaction's changes are all-or-nothing from its commit point on: once one file shows
  // a pair's version, the other file, read later, shows that version or a later one (or no
  // record, when a later transaction deleted the pair).
  void check_pair(const Passport& p, int f) {
    Table& other = tables_[1 - f];
    store_passport(other, {p.ser, p.num, ""});
    int rc = other.get(kSerNum);
    if (rc == kRecordNotFound) return;
    if (rc != kNoError) return bad("get of the pair failed " + std::to_string(rc));
    Passport q = loaded_passport(other);
    if (!stress_record_sound(q)) return bad("unsound pair record " + q.ser + " " + q.num);
    if (q.date_pas < p.date_pas) {
      bad("half a transaction: " + p.ser + " " + p.num + " V" + std::to_string(p.date_pas) +
          " in " + kStressFiles[f] + ", V" + std::to_string(q.date_pas) + " in the other file");
    }
  }

  void in_key_order(int f) {
    Table& t = tables_[f];
    if (int rc = t.set(kSerNum); rc != kNoError) return bad("set failed " + std::to_string(rc));
    std::string last;
    int rc;
    while ((rc = t.next()) == kNoError) {
      Passport p = loaded_passport(t);
      std::string key = padded(p.ser, 20) + padded(p.num, 20);
      if (key <= last) bad("keys out of order at " + p.ser + " " + p.num);
      last = key;
      check(p, f);
      // Room for the writers' commits between two reads.
      platform::sleep_ms(1);
    }
    if (rc != kRecordNotAvailable) bad("key order read failed " + std::to_string(rc));
  }

  void in_record_order(int f) {
    Table& t = tables_[f];
    if (int rc = t.set(); rc != kNoError) return bad("set failed " + std::to_string(rc));
    uint32_t last = 0;
    int rc;
    while ((rc = t.next()) == kNoError) {
      if (t.pointer() <= last) bad("record numbers out of order at " + std::to_string(last));
      last = t.pointer();
      check(loaded_passport(t), f);
      platform::sleep_ms(1);
    }
    if (rc != kRecordNotAvailable) bad("record order read failed " + std::to_string(rc));
  }

  StressTables tables_;
  long reads_ = 0, passes_ = 0, bad_ = 0;
  std::string first_bad_;
};

int run(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  try {
    if (command == "worker" && argc == 8) {
      return worker(argv[2], std::stoi(argv[3]), uint32_t(std::stoul(argv[4])), std::stoi(argv[5]),
                    std::stoi(argv[6]), std::stoi(argv[7]));
    }
    if (command == "reader" && argc == 4) {
      Reader(argv[2]).run(argv[3]);
      return 0;
    }
  } catch (const Failure& f) {
    say("F " + f.text);
    return 1;
  }
  return 64;
}

}  // namespace
}  // namespace orvel::datafile

int main(int argc, char** argv) {
  return orvel::datafile::run(argc, argv);
}
