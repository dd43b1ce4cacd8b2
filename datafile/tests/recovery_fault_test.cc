// Recovery while the system fails: a pending journal whose commit was reported done must
// survive a failing read or write of the recovery that meets it, and be rolled forward by
// the next one.
#include <gtest/gtest.h>

#include "datafile/data_file.h"
#include "datafile/tests/test_file.h"

namespace orvel::datafile {
namespace {

using platform::Fault;
using platform::FileCall;
using testing::Contents;
using testing::joined;
using testing::make_record;
using testing::TestFile;

class RecoveryFaultTest : public ::testing::Test {
 protected:
  // A file of 200 records whose commit of 220 more is reported done, and then cut short
  // before phase 2 copied anything.
  void SetUp() override {
    ASSERT_EQ(t_.open(), kNoError);
    for (int i = 0; i < 420; ++i) {
      t_.insert(make_record("r" + std::to_string(1000 + i), 60, uint8_t('a' + i % 26)));
      if (i == 199) {
        ASSERT_EQ(t_.file().commit(), kNoError);
      }
    }
    new_contents_ = t_.contents();
    ASSERT_EQ(t_.file().commit_phase1(), kNoError);
  }

  // The state the next open finds, with no more faults.
  void expect_new_state() {
    std::unique_ptr<DataFile> writer;
    ASSERT_EQ(t_.open_into(&writer), kNoError);
    EXPECT_EQ(TestFile::contents_of(*writer), new_contents_);
    auto problems = check_integrity(writer.get());
    EXPECT_TRUE(problems.empty()) << joined(problems);
  }

  TestFile t_;
  Contents new_contents_;
};

TEST_F(RecoveryFaultTest, AReadFailingWhileTheJournalIsReadLeavesItForTheNextOpen) {
  // Read 1 is the header; the journal walk follows.
  for (uint64_t nth : {2u, 3u, 5u}) {
    SCOPED_TRACE(nth);
    t_.fs().inject_fault({FileCall::kRead, nth});
    std::unique_ptr<DataFile> writer;
    EXPECT_EQ(testing::check_of([&] { t_.open_into(&writer); }), 2277);
    t_.fs().clear_faults();
  }
  expect_new_state();
}

TEST_F(RecoveryFaultTest, ACopyWhoseWritesFailEndsTheOpenWithTheirError) {
  for (bool short_write : {false, true}) {
    SCOPED_TRACE(short_write);
    Fault fault{FileCall::kWrite, 3, /*persistent=*/true, kSystemDiskFull, short_write};
    t_.fs().inject_fault(fault);
    std::unique_ptr<DataFile> writer;
    EXPECT_EQ(t_.open_into(&writer), short_write ? int(kAccessDenied) : int(kSystemDiskFull));
    EXPECT_EQ(writer, nullptr);
    t_.fs().clear_faults();
  }
  expect_new_state();
}

}  // namespace
}  // namespace orvel::datafile
