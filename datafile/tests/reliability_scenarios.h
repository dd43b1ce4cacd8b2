// The operations that write keyed data files, as scenarios for the reliability tests: power
// lost at every write, flush and truncation (power_loss_matrix_test.cc) and failing file
// calls at every point (io_error_matrix_test.cc).
//
// A scenario makes its old state on an empty in-memory file system (before), then makes one
// change to it (operation): it opens its tables, runs the operation under test, closes them
// and returns the first non-zero result, 0 when everything succeeded. A clean operation takes
// the files from the old state to the new one in a single step (one commit, or one
// transaction over several files), so that a crash can only leave one or the other. The
// state of a scenario is the records of its files; a transaction's control file is not part
// of it. Both functions leave no table open and no transaction running.
//
// A build commits key by key; its scenarios are marked in_steps: between the old and the new
// state their files may also hold the old data records with only some keys built.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/mem_file_system.h"

namespace orvel::datafile::testing {

struct Scenario {
  std::string name;
  std::vector<std::string> files;
  std::function<void(platform::MemFileSystem&)> before;
  std::function<int(platform::MemFileSystem&)> operation;
  bool in_steps = false;
};

const std::vector<Scenario>& reliability_scenarios();

// The name of scenario info.param as a test name: its words joined by underscores.
std::string scenario_test_name(const ::testing::TestParamInfo<size_t>& info);

// Whether the full matrix was asked for (ORVEL_RELIABILITY=full), rather than the reduced
// set that every test run takes.
bool full_reliability_run();

}  // namespace orvel::datafile::testing
