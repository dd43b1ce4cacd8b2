// A second program for the tests of sharing between programs (sharing_process_test.cc):
// it opens passport files itself and does one job on them, reporting on its standard output
// and waiting for a line on its standard input where the test must act meanwhile.
//
//   hold FILE NUM            hold the record with that number; "held RC"; wait; release
//   lock FILE                lock the table; "locked RC"; wait; unlock
//   put FILE NUM FIO         change that record's name; "put RC"
//   multi DIR STEP           change record "1" of DIR/a.hvk and DIR/b.hvk in one
//                            transaction; STEP "phase1" or "commit-point" kills the program
//                            there at once, "none" commits; "commit RC"
//   writer FILE ID COUNT     add COUNT records of series W<ID>, then change each; "done"
//   reader FILE STOP         read in key order until the file STOP exists, checking every
//                            record; "reads N passes P bad B"
//   crasher FILE             add records until killed; "running" after the first ones
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "datafile/table.h"
#include "datafile/tests/child_process.h"
#include "datafile/tests/passport_declaration.h"
#include "datafile/tests/passport_record.h"
#include "datafile/transaction.h"
#include "platform/clock.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

using namespace testing;
constexpr int kShared = 0x42;

void say(const std::string& line) {
  std::cout << line << std::endl;
}

void wait_for_line() {
  std::string line;
  std::getline(std::cin, line);
}

std::string fio_of(const std::string& ser, const std::string& num, int version) {
  return "NAME " + ser + " " + num + " V" + std::to_string(version);
}
// A comment that depends on every other field, so that a torn record shows.
std::string comment_of(const std::string& fio) {
  std::string c;
  for (int i = 0; i < 8; ++i) c += fio + "|";
  return c;
}

int hold(Table& t, const std::string& num) {
  store_passport(t, {"S", num, ""});
  t.hold();
  say("held " + std::to_string(t.get(kNumSer)));
  wait_for_line();
  t.release();
  return 0;
}

int lock(Table& t) {
  say("locked " + std::to_string(t.lock()));
  wait_for_line();
  t.unlock();
  return 0;
}

int put(Table& t, const std::string& num, const std::string& fio) {
  store_passport(t, {"S", num, ""});
  int rc = t.get(kNumSer);
  if (rc == kNoError) {
    Passport p = loaded_passport(t);
    p.fio = fio;
    store_passport(t, p);
    rc = t.put();
  }
  say("put " + std::to_string(rc));
  return 0;
}

int multi(const std::string& dir, const std::string& step) {
  TableDecl da = passport_declaration(), db = passport_declaration();
  da.file_name = dir + "/a.hvk";
  db.file_name = dir + "/b.hvk";
  Table a(da), b(db);
  if (a.open(kShared) != kNoError || b.open(kShared) != kNoError) return 2;
  set_commit_step_hook([step](CommitStep reached) {
    if ((step == "phase1" && reached == CommitStep::kPhase1Written) ||
        (step == "commit-point" && reached == CommitStep::kCommitPoint)) {
      say("dying");
      orvel::testing::kill_this_process();
    }
  });
  for (Table* t : {&a, &b}) {
    if (t->logout() != kNoError) return 3;
    store_passport(*t, {"S", "1", ""});
    if (t->get(kNumSer) != kNoError) return 4;
    Passport p = loaded_passport(*t);
    p.fio = "NEW";
    store_passport(*t, p);
    if (t->put() != kNoError) return 5;
  }
  say("commit " + std::to_string(a.commit()));
  return 0;
}

int writer(Table& t, const std::string& id, int count) {
  const std::string ser = "W" + id;
  for (int i = 0; i < count; ++i) {
    std::string num = std::to_string(100000 + i);
    std::string fio = fio_of(ser, num, 1);
    store_passport(t, {ser, num, fio, i, 1, comment_of(fio)});
    if (int rc = t.add(); rc != kNoError) {
      say("add " + num + " failed " + std::to_string(rc));
      return 1;
    }
  }
  for (int i = 0; i < count; ++i) {
    std::string num = std::to_string(100000 + i);
    store_passport(t, {ser, num, ""});
    if (int rc = t.get(kSerNum); rc != kNoError) {
      say("get " + num + " failed " + std::to_string(rc));
      return 1;
    }
    Passport p = loaded_passport(t);
    p.fio = fio_of(ser, num, 2);
    p.comment = comment_of(p.fio);
    p.date_imp = 2;
    store_passport(t, p);
    if (int rc = t.put(); rc != kNoError) {
      say("put " + num + " failed " + std::to_string(rc));
      return 1;
    }
  }
  say("done");
  return 0;
}

bool valid(const Passport& p) {
  if (p.ser.empty() || p.ser[0] != 'W') return false;
  if (p.date_imp != 1 && p.date_imp != 2) return false;
  return p.fio == fio_of(p.ser, p.num, p.date_imp) && p.comment == comment_of(p.fio);
}

int reader(Table& t, const std::string& stop) {
  long reads = 0, passes = 0, bad = 0;
  while (!std::filesystem::exists(stop)) {
    if (t.set(kNumSer) != kNoError) return 1;
    std::string last;
    int rc;
    while ((rc = t.next()) == kNoError) {
      Passport p = loaded_passport(t);
      std::string key = p.num + "/" + p.ser;
      if (!valid(p) || (!last.empty() && key <= last)) ++bad;
      last = key;
      ++reads;
      // Room for the writers' commits between two reads.
      platform::sleep_ms(1);
    }
    if (rc != kRecordNotAvailable) ++bad;
    ++passes;
  }
  say("reads " + std::to_string(reads) + " passes " + std::to_string(passes) + " bad " +
      std::to_string(bad));
  return 0;
}

int crasher(Table& t) {
  for (long i = 0;; ++i) {
    std::string num = std::to_string(500000 + i);
    std::string fio = fio_of("WC", num, 1);
    store_passport(t, {"WC", num, fio, 0, 1, comment_of(fio)});
    if (t.add() != kNoError) return 1;
    if (i % 10 == 0 && i > 0) {
      // Changes spread over the tree, so that commits journal pages.
      store_passport(t, {"WC", std::to_string(500000 + i / 2), ""});
      if (t.get(kSerNum) == kNoError) {
        Passport p = loaded_passport(t);
        p.date_imp = 2;
        p.fio = fio_of("WC", p.num, 2);
        p.comment = comment_of(p.fio);
        store_passport(t, p);
        t.put();
      }
    }
    if (i == 20) say("running");
  }
}

int run(int argc, char** argv) {
  if (argc < 3) return 64;
  const std::string command = argv[1];
  if (command == "multi" && argc == 4) return multi(argv[2], argv[3]);
  TableDecl decl = passport_declaration();
  decl.file_name = argv[2];
  Table t(decl);
  int mode = command == "reader" ? 0x40 : kShared;
  if (int rc = t.open(mode); rc != kNoError) {
    say("open failed " + std::to_string(rc));
    return 2;
  }
  if (command == "hold" && argc == 4) return hold(t, argv[3]);
  if (command == "lock") return lock(t);
  if (command == "put" && argc == 5) return put(t, argv[3], argv[4]);
  if (command == "writer" && argc == 5) return writer(t, argv[3], std::stoi(argv[4]));
  if (command == "reader" && argc == 4) return reader(t, argv[3]);
  if (command == "crasher") return crasher(t);
  return 64;
}

}  // namespace
}  // namespace orvel::datafile

int main(int argc, char** argv) {
  return orvel::datafile::run(argc, argv);
}
