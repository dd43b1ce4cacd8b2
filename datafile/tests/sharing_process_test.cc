// Sharing a passport file between real separate programs: this test program is one, the
// helper program (sharing_helper.cc) started as a child process is the other. Each opens
// the file itself, so their byte-range locks conflict as those of two programs do.
//
// Timing is checked only as generous bounds around the waits the operations promise.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "datafile/data_file.h"
#include "datafile/table.h"
#include "datafile/table_check.h"
#include "datafile/tests/child_process.h"
#include "datafile/tests/passport_declaration.h"
#include "datafile/tests/reader_report.h"
#include "datafile/tests/passport_record.h"
#include "platform/error_codes.h"
#include "platform/tests/temp_dir.h"

namespace orvel::datafile {
namespace {

using orvel::testing::ChildProcess;
using namespace testing;
namespace om = platform::open_mode;
constexpr int kShared = om::kReadWrite | om::kDenyNone;

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class SharingProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = dir_ + "/passport.hvk"; }

  TableDecl decl(const std::string& path) const {
    TableDecl d = passport_declaration();
    d.file_name = path;
    return d;
  }

  // Creates the passport table at path with one record per number, name "OLD".
  void create_with(const std::string& path, const std::vector<std::string>& numbers) {
    TableDecl d = decl(path);
    Table t(d);
    ASSERT_EQ(t.create(), kNoError);
    ASSERT_EQ(t.open(kShared), kNoError);
    for (const std::string& num : numbers) {
      store_passport(t, {"S", num, "OLD"});
      ASSERT_EQ(t.add(), kNoError);
    }
    ASSERT_EQ(t.close(), kNoError);
  }

  std::unique_ptr<ChildProcess> helper(std::vector<std::string> args) {
    args.insert(args.begin(), SHARING_HELPER_PATH);
    auto child = std::make_unique<ChildProcess>(args);
    EXPECT_TRUE(child->started());
    return child;
  }

  // The name of record num, read by a fresh open as another program would.
  std::string name_of(const std::string& path, const std::string& num) {
    TableDecl d = decl(path);
    Table t(d);
    EXPECT_EQ(t.open(kShared), kNoError);
    store_passport(t, {"S", num, ""});
    int rc = t.get(kNumSer);
    EXPECT_EQ(rc, kNoError);
    return rc == kNoError ? loaded_passport(t).fio : "";
  }

  // The structural and table check of the file, with nobody else using it.
  std::vector<std::string> checked(const std::string& path) {
    std::unique_ptr<platform::File> file;
    int mode = om::kReadWrite | om::kDenyAll;
    EXPECT_EQ(platform::system_file_system().open(path, mode, platform::Disposition::kOpenExisting,
                                                  &file),
              kNoError);
    std::unique_ptr<DataFile> data;
    EXPECT_EQ(DataFile::open(std::move(file), mode, {}, &data), kNoError);
    if (!data) return {"does not open"};
    return check_file(data.get());
  }

  // The load test commits thousands of times.
  platform::testing::TempDir scratch_{"orvel-sharing", platform::testing::memory_backed_base()};
  const std::string dir_ = scratch_.path();
  std::string path_;
};

TEST_F(SharingProcessTest, ARecordHeldByAnotherProgram) {
  create_with(path_, {"100", "200"});
  auto holder = helper({"hold", path_, "100"});
  ASSERT_EQ(holder->read_line(), "held 0");

  TableDecl d = decl(path_);
  Table t(d);
  ASSERT_EQ(t.open(kShared), kNoError);
  store_passport(t, {"S", "100", ""});
  ASSERT_EQ(t.hold(2), kNoError);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(t.get(kNumSer), kRecordIsAlreadyHeld);
  double waited = seconds_since(start);
  EXPECT_GE(waited, 2.0);
  EXPECT_LT(waited, 10.0);
  EXPECT_EQ(t.pointer(), 0u);

  // Without a hold request it reads at once; a change of it is refused.
  store_passport(t, {"S", "100", ""});
  ASSERT_EQ(t.get(kNumSer), kNoError);
  EXPECT_EQ(loaded_passport(t).fio, "OLD");
  Passport changed = loaded_passport(t);
  changed.fio = "MINE";
  store_passport(t, changed);
  EXPECT_EQ(t.put(), kAccessDenied);
  EXPECT_EQ(t.erase(), kRecordNotAvailable);
  // Other records are free.
  store_passport(t, {"S", "200", ""});
  ASSERT_EQ(t.hold(2), kNoError);
  EXPECT_EQ(t.get(kNumSer), kNoError);
  EXPECT_EQ(t.release(), kNoError);

  holder->write_line("go");
  EXPECT_EQ(holder->wait(), 0);
  store_passport(t, {"S", "100", ""});
  ASSERT_EQ(t.hold(), kNoError);
  ASSERT_EQ(t.get(kNumSer), kNoError) << "released when the holder let go";
  store_passport(t, changed);
  EXPECT_EQ(t.put(), kNoError);
  t.close();
  EXPECT_EQ(name_of(path_, "100"), "MINE");
}

TEST_F(SharingProcessTest, AWaitWithoutTimeoutEndsWhenTheHolderLetsGo) {
  create_with(path_, {"100"});
  auto holder = helper({"hold", path_, "100"});
  ASSERT_EQ(holder->read_line(), "held 0");
  std::thread release_later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    holder->write_line("go");
  });
  TableDecl d = decl(path_);
  Table t(d);
  ASSERT_EQ(t.open(kShared), kNoError);
  store_passport(t, {"S", "100", ""});
  ASSERT_EQ(t.hold(), kNoError);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(t.get(kNumSer), kNoError);
  EXPECT_GE(seconds_since(start), 0.4);
  release_later.join();
  EXPECT_EQ(holder->wait(), 0);
}

TEST_F(SharingProcessTest, AWatchedRecordChangedByAnotherProgramIsNotOverwritten) {
  create_with(path_, {"100"});
  TableDecl d = decl(path_);
  Table t(d);
  ASSERT_EQ(t.open(kShared), kNoError);
  ASSERT_EQ(t.watch(), kNoError);
  store_passport(t, {"S", "100", ""});
  ASSERT_EQ(t.get(kNumSer), kNoError);

  auto other = helper({"put", path_, "100", "THEIRS"});
  EXPECT_EQ(other->read_line(), "put 0");
  EXPECT_EQ(other->wait(), 0);

  Passport mine = loaded_passport(t);
  mine.fio = "MINE";
  store_passport(t, mine);
  EXPECT_EQ(t.put(), kRecordChangedByAnotherStation);
  t.close();
  EXPECT_EQ(name_of(path_, "100"), "THEIRS");
}

TEST_F(SharingProcessTest, ALockedTableAndTheTraceLog) {
  create_with(path_, {"100"});
  auto locker = helper({"lock", path_});
  ASSERT_EQ(locker->read_line(), "locked 0");

  std::string log = dir_ + "/trace.log";
  ASSERT_EQ(setenv("ORVEL_TRACE_LOG", log.c_str(), 1), 0);
  TableDecl d = decl(path_);
  Table t(d);
  ASSERT_EQ(t.open(kShared), kNoError);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(t.lock(3), kFileIsAlreadyLocked);
  double waited = seconds_since(start);
  unsetenv("ORVEL_TRACE_LOG");
  EXPECT_GE(waited, 3.0);
  EXPECT_LT(waited, 10.0);
  std::ifstream in(log);
  std::map<std::string, int> lines;
  for (std::string line; std::getline(in, line);) ++lines[line];
  EXPECT_GE(lines["Locking failed with error 32"], 3);
  EXPECT_EQ(lines["LockFile failed with error 33"], 3 * lines["Locking failed with error 32"]);
  EXPECT_EQ(lines.size(), 2u);

  // Records stay free for reading and changing while the table is locked.
  store_passport(t, {"S", "100", ""});
  ASSERT_EQ(t.get(kNumSer), kNoError);

  locker->write_line("go");
  EXPECT_EQ(locker->wait(), 0);
  EXPECT_EQ(t.lock(), kNoError);
  EXPECT_EQ(t.unlock(), kNoError);
}

TEST_F(SharingProcessTest, AMultiFileCommitCutShortLeavesBothFilesOldOrBothNew) {
  struct Case {
    const char* step;
    bool killed;
    const char* expected;
  } cases[] = {
      {"phase1", true, "OLD"},
      {"commit-point", true, "NEW"},
      {"none", false, "NEW"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    std::string a = dir_ + "/a.hvk", b = dir_ + "/b.hvk";
    std::filesystem::remove(a);
    std::filesystem::remove(b);
    create_with(a, {"1", "2"});
    create_with(b, {"1", "2"});
    // A program that read a before the commit keeps that header in memory: the journal the
    // dead committer left must still count for it, for reading and for writing.
    TableDecl da = decl(a);
    Table watcher(da);
    ASSERT_EQ(watcher.open(kShared), kNoError);
    store_passport(watcher, {"S", "1", ""});
    ASSERT_EQ(watcher.get(kNumSer), kNoError);
    auto committer = helper({"multi", dir_, c.step});
    if (c.killed) {
      EXPECT_EQ(committer->read_line(), "dying");
      EXPECT_EQ(committer->wait(), ChildProcess::kKilled);
    } else {
      EXPECT_EQ(committer->read_line(), "commit 0");
      EXPECT_EQ(committer->wait(), 0);
    }
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/halvik.tcf"));
    store_passport(watcher, {"S", "1", ""});
    ASSERT_EQ(watcher.get(kNumSer), kNoError);
    EXPECT_EQ(loaded_passport(watcher).fio, c.expected) << "read by a program that had a open";
    watcher.close();
    // Read first (a reader leaves the journal on disk), then write, then read again.
    EXPECT_EQ(name_of(a, "1"), c.expected);
    EXPECT_EQ(name_of(b, "1"), c.expected);
    for (const std::string& path : {a, b}) {
      TableDecl d = decl(path);
      Table t(d);
      ASSERT_EQ(t.open(kShared), kNoError);
      store_passport(t, {"S", "2", ""});
      ASSERT_EQ(t.get(kNumSer), kNoError);
      Passport p = loaded_passport(t);
      p.fio = "LATER";
      store_passport(t, p);
      EXPECT_EQ(t.put(), kNoError);
      t.close();
      EXPECT_EQ(name_of(path, "1"), c.expected);
      EXPECT_EQ(name_of(path, "2"), "LATER");
      EXPECT_EQ(checked(path), std::vector<std::string>{});
    }
  }
}

TEST_F(SharingProcessTest, FourWritersAndAReaderShareOneFile) {
  create_with(path_, {});
  constexpr int kWriters = 4, kEach = 1000;
  const std::string stop = dir_ + "/stop";
  auto start = std::chrono::steady_clock::now();
  auto reader = helper({"reader", path_, stop});
  std::vector<std::unique_ptr<ChildProcess>> writers;
  for (int w = 1; w <= kWriters; ++w) {
    writers.push_back(helper({"writer", path_, std::to_string(w), std::to_string(kEach)}));
  }
  for (auto& w : writers) {
    EXPECT_EQ(w->read_line(120000), "done");
    EXPECT_EQ(w->wait(), 0);
  }
  std::ofstream(stop).put('x');
  std::string report = reader->read_line();
  EXPECT_EQ(reader->wait(), 0);
  ReaderReport counts = parse_reader_report(report);
  EXPECT_EQ(counts.bad, 0) << report;
  EXPECT_GT(counts.reads, 0) << report;
  std::cout << "load: " << kWriters << " x " << kEach << " adds and changes in "
            << seconds_since(start) << " s; reader: " << report << "\n";

  TableDecl d = decl(path_);
  Table t(d);
  ASSERT_EQ(t.open(kShared), kNoError);
  uint32_t count = 0;
  ASSERT_EQ(t.records(&count), kNoError);
  EXPECT_EQ(count, uint32_t(kWriters * kEach));
  for (int key = 0; key < 4; ++key) {
    ASSERT_EQ(t.records(key, &count), kNoError);
    EXPECT_EQ(count, uint32_t(kWriters * kEach)) << "key " << key;
  }
  std::set<std::string> seen;
  ASSERT_EQ(t.set(), kNoError);
  while (t.next() == kNoError) {
    Passport p = loaded_passport(t);
    EXPECT_TRUE(seen.insert(p.ser + "/" + p.num).second) << "twice: " << p.ser << " " << p.num;
    EXPECT_EQ(p.date_imp, 2) << "every record was changed";
  }
  EXPECT_EQ(seen.size(), size_t(kWriters * kEach));
  t.close();
  EXPECT_EQ(checked(path_), std::vector<std::string>{});
}

TEST_F(SharingProcessTest, AWriterKilledInTheMiddleOfCommitsLeavesAUsableFile) {
  create_with(path_, {});
  std::mt19937 random(20261211);
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    auto writer = helper({"crasher", path_});
    ASSERT_EQ(writer->read_line(), "running");
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 200));
    writer->kill_now();
    EXPECT_EQ(writer->wait(), ChildProcess::kKilled);

    TableDecl d = decl(path_);
    Table t(d);
    ASSERT_EQ(t.open(kShared), kNoError);
    uint32_t count = 0, read = 0;
    ASSERT_EQ(t.records(&count), kNoError);
    ASSERT_EQ(t.set(kNumSer), kNoError);
    while (t.next() == kNoError) ++read;
    EXPECT_EQ(read, count);
    store_passport(t, {"AFTER", std::to_string(round), "X"});
    EXPECT_EQ(t.add(), kNoError);
    t.close();
    EXPECT_EQ(checked(path_), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace orvel::datafile
