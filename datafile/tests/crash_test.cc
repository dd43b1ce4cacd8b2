// Commits cut short: by a loss of power after every single write or flush of a commit, and
// by a failing write or flush at every point. The file must always open, pass the integrity
// check and show exactly the old or the new records; the new ones whenever phase 1 of the
// commit had returned success, the old ones whenever it returned an error.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>

#include "datafile/tests/test_file.h"

namespace orvel::datafile {
namespace {

using platform::Disposition;
using platform::Fault;
using platform::FileCall;
using platform::MemFileSystem;
using platform::PowerLossMode;
using testing::bytes_of;
using testing::Contents;
using testing::joined;
using testing::key_of;
using testing::make_record;
using testing::TestFile;
namespace om = platform::open_mode;

constexpr const char* kPath = "crash.hvk";
constexpr int kMode = om::kReadWrite | om::kDenyNone;

int open_file(MemFileSystem& fs, std::unique_ptr<DataFile>* df) {
  std::unique_ptr<platform::File> f;
  if (int rc = fs.open(kPath, kMode, Disposition::kOpenOrCreate, &f); rc != kNoError) return rc;
  return DataFile::open(std::move(f), kMode, {}, df);
}

std::unique_ptr<DataFile> open_file(MemFileSystem& fs) {
  std::unique_ptr<DataFile> df;
  EXPECT_EQ(open_file(fs, &df), kNoError);
  return df;
}

void add(DataFile& f, int from, int to, size_t length, uint32_t seed = 0) {
  std::mt19937 rng(seed);
  for (int i = from; i < to; ++i) {
    Bytes data(length);
    for (auto& b : data) b = seed ? uint8_t(rng()) : uint8_t('a' + i % 26);
    f.tree().insert(make_record(bytes_of("k" + std::to_string(10000 + i)), data));
  }
}

// Records of sizes from a few bytes to a few thousand, partly compressible.
void add_mixed(DataFile& f, int from, int to, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int i = from; i < to; ++i) {
    Bytes data(rng() % 8 == 0 ? rng() % 3000 : rng() % 120);
    uint8_t fill = uint8_t(rng());
    for (auto& b : data) b = rng() % 3 == 0 ? uint8_t(rng()) : fill;
    f.tree().insert(make_record(bytes_of("k" + std::to_string(10000 + i)), data));
  }
}

void remove(DataFile& f, int from, int to, int step = 1) {
  for (int i = from; i < to; i += step) {
    Bytes k = bytes_of("k" + std::to_string(10000 + i));
    f.tree().erase(key_of(k));
  }
}

struct Scenario {
  const char* name;
  std::function<void(DataFile&)> before;  // committed: the old state
  std::function<void(DataFile&)> change;  // the commit under test
};

const Scenario kScenarios[] = {
    {"first commit of a new file", [](DataFile&) {}, [](DataFile& f) { add(f, 0, 60, 50); }},
    {"new pages past the old data end", [](DataFile& f) { add(f, 0, 5, 20); },
     [](DataFile& f) { add(f, 5, 400, 80); }},
    {"rewriting live pages", [](DataFile& f) { add(f, 0, 300, 60); },
     [](DataFile& f) {
       remove(f, 100, 130);
       add(f, 1000, 1030, 60);
     }},
    {"root split", [](DataFile& f) { add(f, 0, 30, 100); },
     [](DataFile& f) { add(f, 30, 45, 100); }},
    {"pages changing size class", [](DataFile& f) { add(f, 0, 200, 30); },
     [](DataFile& f) {
       add(f, 1000, 1012, 300, 7);  // incompressible records grow the pages they join
       remove(f, 0, 20);            // and the first pages shrink
     }},
    {"issued numbers only", [](DataFile& f) { add(f, 0, 10, 10); },
     [](DataFile& f) { f.issue_number(); }},
    {"many pages of many classes moving", [](DataFile& f) { add_mixed(f, 0, 600, 1); },
     [](DataFile& f) {
       remove(f, 0, 600, 3);
       add_mixed(f, 600, 700, 2);
     }},
};

class CrashTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    const Scenario& s = kScenarios[GetParam()];
    MemFileSystem fs;
    auto f = open_file(fs);
    s.before(*f);
    ASSERT_EQ(f->commit(), kNoError);
    old_contents_ = TestFile::contents_of(*f);
    old_issued_ = f->header().last_issued();
    ASSERT_EQ(f->close(), kNoError);
    f.reset();
    old_bytes_ = fs.contents(kPath);

    // A clean run: the new state and the number of writes, flushes and truncations.
    MemFileSystem clean;
    clean.set_contents(kPath, old_bytes_);
    auto g = open_file(clean);
    s.change(*g);
    new_contents_ = TestFile::contents_of(*g);
    new_issued_ = g->header().last_issued();
    uint64_t calls = clean.change_call_count();
    uint64_t writes = clean.call_count(FileCall::kWrite);
    uint64_t flushes = clean.call_count(FileCall::kFlush);
    ASSERT_EQ(g->commit(), kNoError);
    commit_calls_ = clean.change_call_count() - calls;
    commit_writes_ = clean.call_count(FileCall::kWrite) - writes;
    commit_flushes_ = clean.call_count(FileCall::kFlush) - flushes;
    ASSERT_TRUE(new_contents_ != old_contents_ || new_issued_ != old_issued_);
    std::printf("%s: %llu writes, %llu flushes\n", s.name,
                static_cast<unsigned long long>(commit_writes_),
                static_cast<unsigned long long>(commit_flushes_));
  }

  // Opens the file as the next program would and checks it; returns true for the new state.
  // unflushed_new_file: the file had no bytes and the power went before anything was
  // flushed, so the file system may have left garbage of a header's size, which no format
  // can tell from a foreign file.
  bool reopen_and_check(MemFileSystem& fs, const std::string& context,
                        bool unflushed_new_file = false) {
    std::unique_ptr<DataFile> f;
    int rc = open_file(fs, &f);
    if (rc == kInvalidDataFile && unflushed_new_file && fs.contents(kPath).size() <= 512) {
      return false;
    }
    if (rc != kNoError) {
      ADD_FAILURE() << context << ": does not open (" << rc << ")";
      return false;
    }
    Contents contents;
    try {
      contents = TestFile::contents_of(*f);
      auto problems = check_integrity(f.get());
      EXPECT_TRUE(problems.empty()) << context << ":\n" << joined(problems);
    } catch (const CorruptionError& e) {
      ADD_FAILURE() << context << ": corruption check " << e.check();
      return false;
    }
    bool is_new = contents == new_contents_ && f->header().last_issued() == new_issued_;
    bool is_old = contents == old_contents_ && f->header().last_issued() == old_issued_;
    EXPECT_TRUE(is_new || is_old) << context << ": neither the old nor the new state";
    return is_new;
  }

  Contents old_contents_, new_contents_;
  uint32_t old_issued_ = 0, new_issued_ = 0;
  Bytes old_bytes_;
  uint64_t commit_calls_ = 0, commit_writes_ = 0, commit_flushes_ = 0;
};

TEST_P(CrashTest, PowerLossAfterEveryWriteAndFlush) {
  const Scenario& s = kScenarios[GetParam()];
  int outcomes_new = 0, outcomes_old = 0;
  for (uint64_t cut = 0; cut <= commit_calls_; ++cut) {
    for (int variant = 0; variant < 5; ++variant) {
      MemFileSystem fs;
      fs.set_contents(kPath, old_bytes_);
      int rc;
      {
        auto f = open_file(fs);
        s.change(*f);
        fs.cut_power_after(cut);
        rc = f->commit_phase1();
        if (rc == kNoError) f->commit_phase2();
      }
      PowerLossMode mode = variant == 0   ? PowerLossMode::kDropUnflushed
                           : variant == 1 ? PowerLossMode::kKeepUnflushed
                                          : PowerLossMode::kRandom;
      fs.power_loss(cut * 10 + uint64_t(variant), mode);
      std::string context = std::string(s.name) + ", power lost after " + std::to_string(cut) +
                            " of " + std::to_string(commit_calls_) + " calls, variant " +
                            std::to_string(variant);
      bool is_new = reopen_and_check(fs, context, old_bytes_.empty() && cut < 2);
      if (rc == kNoError) {
        EXPECT_TRUE(is_new) << context << ": the commit had succeeded";
      }
      (is_new ? outcomes_new : outcomes_old)++;
    }
  }
  EXPECT_GT(outcomes_old, 0);
  EXPECT_GT(outcomes_new, 0);
}

TEST_P(CrashTest, AFailedWriteOrFlushAtEveryPoint) {
  const Scenario& s = kScenarios[GetParam()];
  struct Case {
    FileCall call;
    uint64_t count;
    bool short_write;
  } cases[] = {{FileCall::kWrite, commit_writes_, false},
               {FileCall::kWrite, commit_writes_, true},
               {FileCall::kFlush, commit_flushes_, false}};
  for (const Case& c : cases) {
    for (uint64_t nth = 1; nth <= c.count; ++nth) {
      MemFileSystem fs;
      fs.set_contents(kPath, old_bytes_);
      auto f = open_file(fs);
      s.change(*f);
      Fault fault;
      fault.call = c.call;
      fault.nth = nth;
      fault.error = kSystemDiskFull;
      fault.short_write = c.short_write;
      fs.inject_fault(fault);
      bool phase1_ok = false;
      int rc = f->commit_phase1();
      if (rc == kNoError) {
        phase1_ok = true;
        f->commit_phase2();
      } else {
        EXPECT_EQ(rc, c.short_write ? int(kAccessDenied) : int(kSystemDiskFull));
      }
      std::string context = std::string(s.name) +
                            (c.call == FileCall::kFlush ? ", flush " : ", write ") +
                            std::to_string(nth) + (c.short_write ? " short" : " failed");
      // The same object reads what the file holds now.
      Contents seen = TestFile::contents_of(*f);
      EXPECT_EQ(seen, phase1_ok ? new_contents_ : old_contents_) << context;
      f.reset();
      fs.clear_faults();
      bool is_new = reopen_and_check(fs, context);
      EXPECT_EQ(is_new, phase1_ok) << context;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Commits, CrashTest, ::testing::Range(0, int(std::size(kScenarios))));

}  // namespace
}  // namespace orvel::datafile
