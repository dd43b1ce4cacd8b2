// File calls failing in the middle of every operation that writes: the k-th read, write,
// flush or truncation, for every k the operation reaches, failing once or from then on, with
// an I/O error, a full disk, or (for writes) a short write. The operation must end with an
// error number or with success, leave no file open, no lock held and no transaction running,
// and the files must then hold exactly the old or the new state, the new one whenever it
// returned success (or, for a build that commits key by key, the old data with some keys
// built).
//
// A test run tries one kind of failure per call, taking the kinds in turn;
// ORVEL_RELIABILITY=full tries every kind at every call.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "datafile/tests/file_state.h"
#include "datafile/tests/reliability_scenarios.h"
#include "datafile/transaction.h"

namespace orvel::datafile::testing {
namespace {

using platform::Fault;
using platform::FileCall;
using platform::MemFileSystem;

struct Failure {
  const char* name;
  int error;
  bool persistent;
  bool short_write;
};
constexpr Failure kFailures[] = {
    {"I/O error once", kSystemIoError, false, false},
    {"I/O error from then on", kSystemIoError, true, false},
    {"disk full once", kSystemDiskFull, false, false},
    {"disk full from then on", kSystemDiskFull, true, false},
    {"short write once", 0, false, true},
    {"short writes from then on", 0, true, true},
};
constexpr FileCall kCalls[] = {FileCall::kRead, FileCall::kWrite, FileCall::kFlush,
                               FileCall::kTruncate};
constexpr const char* kCallNames[] = {"read", "write", "flush", "truncation"};

// What an operation may end with when its file calls fail: the system's own error, "Access
// Denied" for a short write, "Invalid Data File" for a header that could not be read at
// open, "File System Error" for a read that failed inside an operation.
const std::set<int> kExpectedResults = {kNoError,       kSystemIoError,   kSystemDiskFull,
                                        kAccessDenied,  kInvalidDataFile, kFileSystemError};

class IoErrorMatrix : public ::testing::TestWithParam<size_t> {
 protected:
  const Scenario& scenario() const { return reliability_scenarios()[GetParam()]; }

  void SetUp() override {
    MemFileSystem fs;
    scenario().before(fs);
    ASSERT_FALSE(::testing::Test::HasFailure());
    old_files_ = snapshot_of(fs);
    old_ = state_of(old_files_);

    MemFileSystem clean;
    restore(clean, old_files_);
    uint64_t before[4];
    for (size_t c = 0; c < 4; ++c) before[c] = clean.call_count(kCalls[c]);
    ASSERT_EQ(scenario().operation(clean), kNoError) << "the operation itself fails";
    for (size_t c = 0; c < 4; ++c) counts_[c] = clean.call_count(kCalls[c]) - before[c];
    new_ = state_of(snapshot_of(clean));
  }

  FileState state_of(const Snapshot& files) {
    MemFileSystem fs;
    restore(fs, files);
    FileState seen;
    std::vector<std::string> problems;
    EXPECT_EQ(observe(fs, scenario().files, false, &seen, &problems), kNoError);
    EXPECT_TRUE(problems.empty()) << joined(problems);
    return seen;
  }

  // Runs the operation with the failure at the nth call of kind call; returns its result.
  int run(size_t call, uint64_t nth, const Failure& failure, const std::string& context) {
    MemFileSystem fs;
    restore(fs, old_files_);
    Fault fault;
    fault.call = kCalls[call];
    fault.nth = nth;
    fault.persistent = failure.persistent;
    fault.error = failure.error;
    fault.short_write = failure.short_write;
    fs.inject_fault(fault);
    const int rc = scenario().operation(fs);
    fs.clear_faults();
    EXPECT_TRUE(kExpectedResults.count(rc)) << context << ": ended with " << rc;
    EXPECT_EQ(fs.open_file_count(), 0u) << context << ": files left open";
    EXPECT_EQ(fs.lock_count(), 0u) << context << ": locks left held";
    EXPECT_FALSE(transaction_open()) << context << ": a transaction left running";

    FileState as_reader;
    std::vector<std::string> problems;
    int open_rc = observe(fs, scenario().files, false, &as_reader, &problems);
    if (open_rc == kInvalidDataFile && holds_nothing(old_) && rc != kNoError &&
        fs.contents(scenario().files.front()).size() < 512) {
      // A new file whose header write was cut short: shorter than a header, like any
      // foreign file of a few bytes.
      return rc;
    }
    EXPECT_EQ(open_rc, kNoError) << context << ": does not open as a reader";
    expect_old_or_new(fs, scenario().files, scenario().in_steps, old_, new_, as_reader,
                      std::move(problems), rc, context);
    return rc;
  }

  Snapshot old_files_;
  FileState old_, new_;
  uint64_t counts_[4] = {0, 0, 0, 0};
};

TEST_P(IoErrorMatrix, OldOrNewStateWhateverCallFails) {
  const bool full = full_reliability_run();
  uint64_t runs = 0, points = 0;
  std::map<int, uint64_t> results;
  for (size_t call = 0; call < 4; ++call) {
    const size_t kinds = kCalls[call] == FileCall::kWrite ? std::size(kFailures) : 4;
    for (uint64_t nth = 1; nth <= counts_[call]; ++nth) {
      ++points;
      for (size_t kind = 0; kind < kinds; ++kind) {
        if (!full && kind != (nth + call + GetParam()) % kinds) continue;
        const std::string context = scenario().name + ", " + kCallNames[call] + " " +
                                    std::to_string(nth) + " of " + std::to_string(counts_[call]) +
                                    ": " + kFailures[kind].name;
        ++results[run(call, nth, kFailures[kind], context)];
        ++runs;
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  std::string spread;
  for (const auto& [rc, n] : results) spread += " " + std::to_string(rc) + ":" + std::to_string(n);
  std::printf("%s: %llu points, %llu failures checked; results%s\n", scenario().name.c_str(),
              static_cast<unsigned long long>(points), static_cast<unsigned long long>(runs),
              spread.c_str());
}

INSTANTIATE_TEST_SUITE_P(Operations, IoErrorMatrix,
                         ::testing::Range(size_t{0}, reliability_scenarios().size()),
                         scenario_test_name);

}  // namespace
}  // namespace orvel::datafile::testing
