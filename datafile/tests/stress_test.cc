// The stress run: many programs (stress_helper.cc) change two shared passport files at once
// while readers check every record they read, and one worker after another is killed with
// SIGKILL and started again. The test keeps a model of every change a worker acknowledged
// (stress_helper.cc tells the protocol). After each kill the worker's records must be the
// model's, except the one change that was under way, which must show entirely or not at
// all, in both files for a transaction. Workers also kill themselves inside the commit of
// a transaction, just before or just after its commit point, and the transaction must then
// be absent or present accordingly. At the end both files must hold the model exactly,
// keys and counts included, and pass the check of "hvk check".
//
// The size comes from ORVEL_RELIABILITY: by default 4 workers × 1,000 operations, three
// kills and a death in one commit of a transaction in 20; "full" 8 workers × 10,000
// operations with a kill every 1.5 to 3.5 seconds and a death in one commit in 100.
// ORVEL_STRESS_SEED replays a run; every failure names the seed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "datafile/data_file.h"
#include "datafile/integrity_check.h"
#include "datafile/table.h"
#include "datafile/table_check.h"
#include "datafile/tests/child_process.h"
#include "datafile/tests/passport_declaration.h"
#include "datafile/tests/reader_report.h"
#include "datafile/tests/reliability_scenarios.h"
#include "datafile/tests/stress_record.h"
#include "datafile/transaction.h"
#include "platform/error_codes.h"
#include "platform/tests/temp_dir.h"

namespace orvel::datafile {
namespace {

using orvel::testing::ChildProcess;
using namespace testing;
namespace om = platform::open_mode;
using Clock = std::chrono::steady_clock;

struct StressSize {
  int workers;
  int operations;  // of each worker
  int readers;
  int kills;        // spread over the run by the operations done; 0 for kills by time
  double kill_min;  // seconds between two kills when by time
  double kill_max;
  int die;  // one in that many commits of a transaction kills its worker inside
};

StressSize stress_size() {
  if (full_reliability_run()) return {8, 10000, 2, 0, 1.5, 3.5, 100};
  return {4, 1000, 1, 3, 0, 0, 20};
}

uint32_t stress_seed() {
  if (const char* seed = std::getenv("ORVEL_STRESS_SEED")) return uint32_t(std::stoul(seed));
  return std::random_device{}();
}

// Records by "series/number", holding their version.
using FileModel = std::map<std::string, int32_t>;

std::string model_key(const std::string& ser, const std::string& num) {
  return ser + "/" + num;
}

// The change a worker announced and has not yet acknowledged.
struct Change {
  int32_t seq = 0;
  std::string kind;  // add, put, del, txn-add, txn-put, txn-del
  int file = 0;      // for a transaction: both
  std::string num;

  bool in_transaction() const { return kind.rfind("txn-", 0) == 0; }
  bool deletes() const { return kind == "del" || kind == "txn-del"; }
};

struct WorkerState {
  int id = 0;
  std::unique_ptr<ChildProcess> child;
  int32_t next_seq = 1;
  int done = 0;  // operations finished
  int starts = 0;
  bool ended = false;
  bool dying = false;  // it said it kills itself inside a commit
  bool dying_decided = false;  // after the commit point: the transaction must show
  std::optional<Change> under_way;
  Clock::time_point last_heard;
};

struct Tally {
  std::map<std::string, long> kinds;  // changes acknowledged, by kind
  long held_reads = 0, rolled_back = 0, kills = 0, deaths = 0, uncertain_applied = 0,
       uncertain_lost = 0;
};

class StressRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int f = 0; f < kStressFileCount; ++f) {
      TableDecl d = decl(f);
      Table t(d);
      ASSERT_EQ(t.create(), kNoError);
    }
  }

  std::string path(int f) const { return dir_ + "/" + kStressFiles[f]; }
  TableDecl decl(int f) const {
    TableDecl d = passport_declaration();
    d.file_name = path(f);
    return d;
  }

  void start(WorkerState& w) {
    uint32_t seed = seed_ + uint32_t(w.id) * 1000003u + uint32_t(w.starts) * 7919u;
    w.child = std::make_unique<ChildProcess>(
        std::vector<std::string>{STRESS_HELPER_PATH, "worker", dir_, std::to_string(w.id),
                                 std::to_string(seed), std::to_string(w.next_seq),
                                 std::to_string(size_.operations - w.done),
                                 std::to_string(size_.die)},
        true);
    ASSERT_TRUE(w.child->started());
    ++w.starts;
    w.dying = false;
    w.last_heard = Clock::now();
  }

  FileModel& model(int f) { return models_[f]; }

  void apply(const Change& c, int worker) {
    for (int f = 0; f < kStressFileCount; ++f) {
      if (!c.in_transaction() && f != c.file) continue;
      std::string ser = c.in_transaction() ? pair_series(worker) : single_series(worker);
      std::string key = model_key(ser, c.num);
      if (c.deletes()) {
        model(f).erase(key);
      } else {
        model(f)[key] = c.seq;
      }
    }
  }

  // Takes one line of worker w; false for a line that breaks the protocol.
  bool heard(WorkerState& w, const std::string& line) {
    w.last_heard = Clock::now();
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "B") {
      Change c;
      std::string file;
      words >> c.seq >> c.kind >> file >> c.num;
      if (!words || w.under_way || c.seq < w.next_seq) return false;
      c.file = file == "b" ? 1 : 0;
      w.under_way = c;
      w.next_seq = c.seq + 1;
      return true;
    }
    if (word == "D" || word == "R") {
      int32_t seq = 0;
      words >> seq;
      if (!w.under_way || w.under_way->seq != seq) return false;
      if (word == "D") {
        apply(*w.under_way, w.id);
        ++tally_.kinds[w.under_way->kind];
      } else {
        ++tally_.rolled_back;
      }
      w.under_way.reset();
      ++w.done;
      return true;
    }
    if (word == "H") {
      int32_t seq = 0;
      words >> seq;
      if (w.under_way || seq < w.next_seq) return false;
      w.next_seq = seq + 1;
      ++tally_.held_reads;
      ++w.done;
      return true;
    }
    if (word == "dying" && !w.dying && w.under_way && w.under_way->in_transaction()) {
      words >> word;
      if (word != "before" && word != "after") return false;
      w.dying = true;
      w.dying_decided = word == "after";
      return true;
    }
    if (word == "end" && !w.ended) {
      w.ended = true;
      return true;
    }
    return false;
  }

  // Takes the lines worker w has written; waits a few milliseconds at most for more (a
  // wait below two milliseconds may end before it looks at the pipe).
  void listen(WorkerState& w) {
    for (std::string line; !(line = w.child->read_line(3)).empty();) {
      ASSERT_TRUE(heard(w, line)) << "worker " << w.id << ": " << line;
    }
  }

  // The records of a series in file f as another program reads them now.
  FileModel read_series(int f, const std::string& ser) {
    TableDecl d = decl(f);
    Table t(d);
    FileModel out;
    EXPECT_EQ(t.open(om::kReadOnly | om::kDenyNone), kNoError);
    store_passport(t, {ser, "", ""});
    EXPECT_EQ(t.set_at(kSerNum), kNoError);
    while (t.next() == kNoError) {
      Passport p = loaded_passport(t);
      if (p.ser != ser) break;
      EXPECT_TRUE(stress_record_sound(p)) << p.ser << " " << p.num << " in " << kStressFiles[f];
      out[model_key(p.ser, p.num)] = p.date_pas;
    }
    return out;
  }

  FileModel series_of(const FileModel& all, const std::string& ser) {
    FileModel out;
    for (const auto& [key, version] : all) {
      if (key.substr(0, key.find('/')) == ser) out[key] = version;
    }
    return out;
  }

  // The records of file whose version now is neither the old nor the new one, as
  // "\n  file key: now N, old O, new W" (a dash for a missing record).
  static std::string difference(const std::string& file, const FileModel& now,
                                const FileModel& was, const FileModel& will) {
    auto version = [](const FileModel& m, const std::string& key) {
      auto it = m.find(key);
      return it == m.end() ? std::string("-") : std::to_string(it->second);
    };
    std::set<std::string> keys;
    for (const FileModel* m : {&now, &was, &will}) {
      for (const auto& entry : *m) keys.insert(entry.first);
    }
    std::string out;
    for (const std::string& key : keys) {
      std::string n = version(now, key), o = version(was, key), w = version(will, key);
      if (n != o || n != w) out += "\n  " + file + " " + key + ": now " + n + ", old " + o + ", new " + w;
    }
    return out;
  }

  // Kills w at once, takes what it wrote before dying, and compares its records with the
  // model: the change under way may show or not, as a whole.
  void kill(WorkerState& w) {
    w.child->kill_now();
    for (std::istringstream rest(w.child->read_all(10000)); !rest.eof();) {
      std::string line;
      std::getline(rest, line);
      if (!line.empty()) {
        ASSERT_TRUE(heard(w, line)) << "worker " << w.id << ": " << line;
      }
    }
    int status = w.child->wait();
    if (w.ended) {
      ASSERT_EQ(status, 0);
      return;
    }
    ASSERT_EQ(status, ChildProcess::kKilled);
    ++(w.dying ? tally_.deaths : tally_.kills);

    FileModel before[kStressFileCount], after[kStressFileCount];
    for (int f = 0; f < kStressFileCount; ++f) before[f] = model(f);
    if (w.under_way) apply(*w.under_way, w.id);
    for (int f = 0; f < kStressFileCount; ++f) {
      after[f] = model(f);
      model(f) = before[f];
    }
    bool old_state = true, new_state = true;
    std::string differences;
    for (int f = 0; f < kStressFileCount; ++f) {
      for (const std::string& ser : {single_series(w.id), pair_series(w.id)}) {
        FileModel now = read_series(f, ser);
        FileModel was = series_of(before[f], ser), will = series_of(after[f], ser);
        old_state = old_state && now == was;
        new_state = new_state && now == will;
        differences += difference(kStressFiles[f], now, was, will);
      }
    }
    const std::string change =
        w.under_way ? " (" + w.under_way->kind + " " + w.under_way->num + ")" : "";
    ASSERT_TRUE(old_state || new_state)
        << "worker " << w.id << " killed: its records are neither the acknowledged state nor "
        << "that state with its change under way" << change << differences;
    if (w.dying) {
      ASSERT_TRUE(w.dying_decided ? new_state : old_state)
          << "worker " << w.id << " died " << (w.dying_decided ? "after" : "before")
          << " the commit point of its transaction" << change << differences;
    }
    if (w.under_way) {
      if (new_state && !old_state) {
        for (int f = 0; f < kStressFileCount; ++f) model(f) = after[f];
        ++tally_.kinds[w.under_way->kind];
        ++tally_.uncertain_applied;
        ++w.done;
      } else {
        ++tally_.uncertain_lost;
      }
      w.under_way.reset();
    }
    start(w);
  }

  std::unique_ptr<ChildProcess> start_reader(int r) {
    auto reader = std::make_unique<ChildProcess>(
        std::vector<std::string>{STRESS_HELPER_PATH, "reader", dir_, stop_file()}, true);
    EXPECT_TRUE(reader->started()) << "reader " << r;
    return reader;
  }
  std::string stop_file() const { return dir_ + "/stop"; }

  // Both files as they end: recovered by a writer, equal to the model, sound.
  void check_files() {
    for (int f = 0; f < kStressFileCount; ++f) {
      SCOPED_TRACE(kStressFiles[f]);
      TableDecl d = decl(f);
      Table t(d);
      ASSERT_EQ(t.open(om::kReadWrite | om::kDenyNone), kNoError);
      FileModel found;
      ASSERT_EQ(t.set(kSerNum), kNoError);
      while (t.next() == kNoError) {
        Passport p = loaded_passport(t);
        EXPECT_TRUE(stress_record_sound(p)) << p.ser << " " << p.num;
        EXPECT_TRUE(found.emplace(model_key(p.ser, p.num), p.date_pas).second)
            << "twice: " << p.ser << " " << p.num;
      }
      EXPECT_EQ(found, model(f)) << "records differ from the acknowledged changes";
      uint32_t count = 0;
      ASSERT_EQ(t.records(&count), kNoError);
      EXPECT_EQ(count, model(f).size());
      for (int key = 0; key < 4; ++key) {
        ASSERT_EQ(t.records(key, &count), kNoError);
        EXPECT_EQ(count, model(f).size()) << "key " << key;
      }
      // Closing as a writer finishes any journal a killed program left.
      ASSERT_EQ(t.close(), kNoError);
      EXPECT_EQ(checked(path(f), true), std::vector<std::string>{});
    }
    std::string control = dir_ + "/" + kDefaultControlFile;
    if (std::filesystem::exists(control)) {
      EXPECT_EQ(checked(control, false), std::vector<std::string>{}) << "the control file";
    }
    ChildProcess hvk({HVK_PATH, "check", path(0)}, true);
    EXPECT_EQ(hvk.read_all(), "ok\n");
    EXPECT_EQ(hvk.wait(), 0);
  }

  std::vector<std::string> checked(const std::string& file_path, bool with_tables) {
    std::unique_ptr<platform::File> file;
    int mode = om::kReadWrite | om::kDenyAll;
    EXPECT_EQ(platform::system_file_system().open(file_path, mode,
                                                  platform::Disposition::kOpenExisting, &file),
              kNoError);
    std::unique_ptr<DataFile> data;
    EXPECT_EQ(DataFile::open(std::move(file), mode, {}, &data), kNoError);
    if (!data) return {"does not open"};
    return with_tables ? check_file(data.get()) : check_integrity(data.get());
  }

  // Thousands of commits: a file system whose flushes cost nothing when there is one.
  platform::testing::TempDir scratch_{"orvel-stress", platform::testing::memory_backed_base()};
  const std::string dir_ = scratch_.path();
  StressSize size_ = stress_size();
  uint32_t seed_ = stress_seed();
  FileModel models_[kStressFileCount];
  Tally tally_;
};

TEST_F(StressRunTest, ManyProgramsKilledAndRestartedKeepEveryCommittedChange) {
  SCOPED_TRACE("ORVEL_STRESS_SEED=" + std::to_string(seed_) + ", files in " + dir_);
  std::cout << "stress seed " << seed_ << "\n";
  std::mt19937 random(seed_);
  const auto began = Clock::now();
  const auto give_up = began + std::chrono::minutes(full_reliability_run() ? 40 : 5);

  std::vector<std::unique_ptr<ChildProcess>> readers;
  for (int r = 0; r < size_.readers; ++r) readers.push_back(start_reader(r));
  std::vector<WorkerState> workers(size_t(size_.workers));
  for (int i = 0; i < size_.workers; ++i) {
    workers[size_t(i)].id = i + 1;
    ASSERT_NO_FATAL_FAILURE(start(workers[size_t(i)]));
  }

  const long total = long(size_.workers) * size_.operations;
  int kills_left = size_.kills;
  auto seconds = [&](double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
  };
  auto random_gap = [&] {
    return seconds(size_.kill_min +
                   (size_.kill_max - size_.kill_min) * double(random() % 1000) / 1000.0);
  };
  auto next_kill = Clock::now() + random_gap();
  for (;;) {
    long done = 0;
    std::vector<WorkerState*> running;
    for (WorkerState& w : workers) {
      ASSERT_NO_FATAL_FAILURE(listen(w));
      if (w.dying) {
        ASSERT_NO_FATAL_FAILURE(kill(w));
      }
      done += w.done;
      if (w.ended) continue;
      ASSERT_LT(Clock::now() - w.last_heard, std::chrono::seconds(90))
          << "worker " << w.id << " fell silent";
      running.push_back(&w);
    }
    if (running.empty()) break;
    ASSERT_LT(Clock::now(), give_up) << "the run takes too long: " << done << " of " << total;

    bool kill_now =
        size_.kills > 0
            ? kills_left > 0 && done >= total * (size_.kills - kills_left + 1) / (size_.kills + 1)
            : Clock::now() >= next_kill;
    if (kill_now) {
      // A moment later, so that the kill falls anywhere inside an operation.
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
      ASSERT_NO_FATAL_FAILURE(kill(*running[random() % running.size()]));
      --kills_left;
      next_kill = Clock::now() + random_gap();
    }
  }
  for (WorkerState& w : workers) EXPECT_EQ(w.child->wait(), 0) << "worker " << w.id;
  const double run_seconds = std::chrono::duration<double>(Clock::now() - began).count();

  std::ofstream(stop_file()).put('x');
  for (auto& reader : readers) {
    std::string report = reader->read_line(120000);
    EXPECT_EQ(reader->wait(), 0);
    ReaderReport counts = parse_reader_report(report);
    EXPECT_EQ(counts.bad, 0) << report;
    EXPECT_GT(counts.reads, 0) << report;
    std::cout << "reader: " << report << "\n";
  }
  ASSERT_NO_FATAL_FAILURE(check_files());

  long changes = 0;
  std::cout << "stress: " << size_.workers << " workers x " << size_.operations << " operations in "
            << run_seconds << " s, " << tally_.kills << " kills, " << tally_.deaths
            << " killed inside a commit; ";
  for (const auto& [kind, count] : tally_.kinds) {
    std::cout << kind << " " << count << ", ";
    changes += count;
  }
  std::cout << "held reads " << tally_.held_reads << ", rolled back " << tally_.rolled_back
            << "; under way at a kill: " << tally_.uncertain_applied << " kept, "
            << tally_.uncertain_lost << " gone; records " << model(0).size() << " + "
            << model(1).size() << "\n";
  EXPECT_GT(changes, 0);
}

}  // namespace
}  // namespace orvel::datafile
