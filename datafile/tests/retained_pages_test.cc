// Retained pages serve loads only while they match the file: every commit, by this open
// or another, and every discard must make the next read see the file as it now is.
#include <gtest/gtest.h>

#include "datafile/data_file.h"
#include "datafile/retained_pages.h"
#include "datafile/tests/test_file.h"

namespace orvel::datafile {
namespace {

using testing::bytes_of;
using testing::Contents;
using testing::make_record;
using testing::TestFile;

// Enough records of this size that the tree holds far more pages than the page cache keeps.
constexpr int kRecords = 4000;
constexpr size_t kDataLength = 200;

std::string key_at(int i) {
  return "k" + std::to_string(100000 + i);
}

Contents filled_with(uint8_t fill) {
  Contents c;
  for (int i = 0; i < kRecords; ++i) c[bytes_of(key_at(i))] = Bytes(kDataLength, fill);
  return c;
}

void overwrite_all(DataFile& file, uint8_t fill) {
  file.switch_to_writing();
  for (int i = 0; i < kRecords; ++i) {
    ASSERT_TRUE(file.tree().overwrite(make_record(key_at(i), kDataLength, fill)));
  }
}

// Reads every record, one lookup per operation, as a reading program does.
Contents looked_up(DataFile& file) {
  Contents out;
  for (int i = 0; i < kRecords; ++i) {
    Bytes key = bytes_of(key_at(i));
    if (const Record* r = file.tree().find_equal(testing::key_of(key))) {
      KeyView d = r->data();
      out[key] = Bytes(d.begin(), d.end());
    }
    EXPECT_EQ(file.end_operation(), kNoError);
  }
  return out;
}

class RetainedPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(t_.open(), kNoError);
    for (int i = 0; i < kRecords; ++i) t_.insert(make_record(key_at(i), kDataLength, 'a'));
    ASSERT_EQ(t_.file().end_operation(), kNoError);
  }
  TestFile t_;
};

TEST_F(RetainedPagesTest, AnotherProgramsCommitReplacesWhatAReaderRetained) {
  std::unique_ptr<DataFile> reader;
  ASSERT_EQ(t_.open_into(&reader), kNoError);
  EXPECT_EQ(TestFile::contents_of(*reader), filled_with('a'));
  ASSERT_EQ(reader->end_operation(), kNoError);
  ASSERT_GT(reader->retained_page_count(), 0u) << "the reader must hold old pages";

  // Same sizes: every page keeps its address, so only the change counter tells.
  overwrite_all(t_.file(), 'b');
  ASSERT_EQ(t_.file().end_operation(), kNoError);
  EXPECT_EQ(looked_up(*reader), filled_with('b'));
  EXPECT_EQ(TestFile::contents_of(*reader), filled_with('b'));
}

TEST_F(RetainedPagesTest, OwnCommitsAndDiscardsReplaceWhatWasRetained) {
  DataFile& file = t_.file();
  EXPECT_EQ(looked_up(file), filled_with('a'));
  ASSERT_GT(file.retained_page_count(), 0u);

  overwrite_all(file, 'c');
  ASSERT_EQ(file.end_operation(), kNoError);
  EXPECT_EQ(looked_up(file), filled_with('c'));
  ASSERT_GT(file.retained_page_count(), 0u);

  overwrite_all(file, 'd');
  file.discard_changes();
  EXPECT_EQ(looked_up(file), filled_with('c'));

  // Within a transaction, the changes show and retained pages never mask them.
  overwrite_all(file, 'e');
  EXPECT_EQ(TestFile::contents_of(file), filled_with('e'));
  ASSERT_EQ(file.end_operation(), kNoError);
  t_.reopen();
  EXPECT_EQ(t_.contents(), filled_with('e'));
}

TEST(RetainedPages, KeepsWithinItsBudgetDroppingTheOldestFirst) {
  auto contents_with = [](size_t data_length) {
    PageContents c;
    c.records.push_back(make_record("key", data_length));
    return c;
  };
  RetainedPages retained(20000);
  int handed_back = 0;
  for (int32_t address = 0; address < 10; ++address) {
    PageContents c = contents_with(4000);
    retained.keep(address, &c);
    if (!c.records.empty()) {
      ++handed_back;
      EXPECT_GE(c.records[0].bytes.capacity(), 4000u) << "the buffers of a page let go";
    }
  }
  EXPECT_LE(retained.bytes(), 20000u);
  EXPECT_LT(retained.size(), 10u);
  EXPECT_EQ(handed_back, 10 - int(retained.size()));
  PageContents out;
  EXPECT_FALSE(retained.take(0, &out)) << "the oldest went first";
  ASSERT_TRUE(retained.take(9, &out));
  EXPECT_EQ(out.records.at(0).data().size(), 4000u);
  EXPECT_FALSE(retained.take(9, &out)) << "a taken page is no longer kept";
  PageContents again = contents_with(100);
  retained.keep(9, &again);
  ASSERT_TRUE(retained.take(9, &out));
  EXPECT_EQ(out.records.at(0).data().size(), 100u) << "a slot used again holds the new page";

  PageContents large = contents_with(30000);
  retained.keep(20, &large);
  EXPECT_FALSE(retained.take(20, &out)) << "a page above the budget is not kept";
  EXPECT_EQ(large.records.size(), 1u) << "and stays with the caller";
  retained.clear();
  EXPECT_EQ(retained.size(), 0u);
  EXPECT_EQ(retained.bytes(), 0u);
}

}  // namespace
}  // namespace orvel::datafile
