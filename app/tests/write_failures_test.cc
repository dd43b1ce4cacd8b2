#include "app/write_failures.h"

#include <gtest/gtest.h>

namespace orvel::app {
namespace {

TEST(WriteFailuresTest, KeepsTheFirstErrorAndCountsEveryFailure) {
  WriteFailures failures;
  EXPECT_EQ(failure_summary(failures, Operation::kImport), "");
  EXPECT_EQ(failures.note(0), 0);
  EXPECT_EQ(failures.note(5), 5);
  failures.note(0);
  failures.note(112);
  EXPECT_EQ(failures.count, 2u);
  EXPECT_EQ(failures.first_error, 5);
  EXPECT_EQ(failure_summary(failures, Operation::kExport),
            "2 lines could not be exported.  Error: Access Denied.");
  WriteFailures one;
  one.note(35);
  EXPECT_EQ(failure_summary(one, Operation::kImport),
            "1 line could not be imported.  Error: Record Not Found.");
}

}  // namespace
}  // namespace orvel::app
