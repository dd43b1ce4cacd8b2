// Power lost in the middle of every operation that writes: after each of its writes, flushes
// and truncations in turn, with the unflushed changes of that moment reaching the disk in
// each way a disk may leave them (dropped, written, torn at a 512-byte boundary, written in
// another order, the file extended over garbage, or a random mixture). Afterwards the files
// open as a reader and as a writer, pass the integrity check and hold exactly the old or the
// new state, the new one whenever the operation had returned success (or, for a build that
// commits key by key, the old data with some keys built).
//
// A test run tries one outcome per point, taking the outcomes in turn; ORVEL_RELIABILITY=full
// tries every outcome at every point.
#include <gtest/gtest.h>

#include <cstdio>

#include "datafile/tests/file_state.h"
#include "datafile/tests/reliability_scenarios.h"
#include "datafile/transaction.h"

namespace orvel::datafile::testing {
namespace {

using platform::MemFileSystem;
using platform::PowerLossMode;

constexpr PowerLossMode kOutcomes[] = {
    PowerLossMode::kDropUnflushed, PowerLossMode::kKeepUnflushed, PowerLossMode::kTornUnflushed,
    PowerLossMode::kReordered,     PowerLossMode::kGarbageExtended, PowerLossMode::kRandom,
};
constexpr const char* kOutcomeNames[] = {"dropped",   "written",             "torn",
                                         "reordered", "extended by garbage", "mixed"};

class PowerLossMatrix : public ::testing::TestWithParam<size_t> {
 protected:
  const Scenario& scenario() const { return reliability_scenarios()[GetParam()]; }

  void SetUp() override {
    MemFileSystem fs;
    scenario().before(fs);
    ASSERT_FALSE(::testing::Test::HasFailure());
    old_files_ = snapshot_of(fs);
    old_ = state_after(old_files_, "the old state");

    MemFileSystem clean;
    restore(clean, old_files_);
    ASSERT_EQ(scenario().operation(clean), kNoError) << "the operation itself fails";
    calls_ = clean.change_call_count();
    new_ = state_after(snapshot_of(clean), "the new state");
  }

  // The state found in files (as a reader, then as a writer, which must agree).
  FileState state_after(const Snapshot& files, const std::string& context) {
    MemFileSystem fs;
    restore(fs, files);
    FileState seen;
    std::vector<std::string> problems;
    EXPECT_EQ(observe(fs, scenario().files, false, &seen, &problems), kNoError) << context;
    EXPECT_TRUE(problems.empty()) << context << ":\n" << joined(problems);
    return seen;
  }

  // Runs the operation with the power failing after `cut` changes, then lets the disk keep
  // what outcome says; true when the files show the new state.
  bool run(uint64_t cut, size_t outcome, const std::string& context) {
    MemFileSystem fs;
    restore(fs, old_files_);
    fs.cut_power_after(cut);
    const int rc = scenario().operation(fs);
    EXPECT_EQ(fs.open_file_count(), 0u) << context << ": files left open";
    EXPECT_FALSE(transaction_open()) << context << ": a transaction left running";
    fs.power_loss(cut * 7919 + outcome, kOutcomes[outcome]);

    FileState as_reader;
    std::vector<std::string> problems;
    int open_rc = observe(fs, scenario().files, false, &as_reader, &problems);
    if (open_rc == kInvalidDataFile && holds_nothing(old_) && rc != kNoError) {
      // A new file whose first bytes never reached the disk may hold garbage the size of a
      // header: no format can tell that from a foreign file.
      return false;
    }
    EXPECT_EQ(open_rc, kNoError) << context << ": does not open as a reader";
    return expect_old_or_new(fs, scenario().files, scenario().in_steps, old_, new_, as_reader,
                             std::move(problems), rc, context);
  }

  Snapshot old_files_;
  FileState old_, new_;
  uint64_t calls_ = 0;
};

TEST_P(PowerLossMatrix, OldOrNewStateAfterPowerLossAtEveryPoint) {
  const bool full = full_reliability_run();
  uint64_t runs = 0, found_new = 0;
  for (uint64_t cut = 0; cut <= calls_; ++cut) {
    for (size_t outcome = 0; outcome < std::size(kOutcomes); ++outcome) {
      if (!full && outcome != (cut + GetParam()) % std::size(kOutcomes)) continue;
      const std::string context = scenario().name + ", power lost after " + std::to_string(cut) +
                                  " of " + std::to_string(calls_) + " changes, unflushed " +
                                  kOutcomeNames[outcome];
      found_new += run(cut, outcome, context);
      ++runs;
      if (::testing::Test::HasFailure()) return;
    }
  }
  std::printf("%s: %llu points, %llu outcomes checked, %llu of them in the new state\n",
              scenario().name.c_str(), static_cast<unsigned long long>(calls_ + 1),
              static_cast<unsigned long long>(runs), static_cast<unsigned long long>(found_new));
  EXPECT_GT(found_new, 0u);
}

INSTANTIATE_TEST_SUITE_P(Operations, PowerLossMatrix,
                         ::testing::Range(size_t{0}, reliability_scenarios().size()),
                         scenario_test_name);

}  // namespace
}  // namespace orvel::datafile::testing
