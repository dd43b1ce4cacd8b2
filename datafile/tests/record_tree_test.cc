#include "datafile/record_tree.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "datafile/byte_order.h"
#include "datafile/memo_store.h"
#include "datafile/tests/test_file.h"

namespace orvel::datafile {
namespace {

using testing::bytes_of;
using testing::check_of;
using testing::joined;
using testing::key_of;
using testing::make_record;
using testing::TestFile;

std::string key_n(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "k%05d", i);
  return buf;
}

class RecordTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(t_.open(), kNoError); }

  Page* root() { return t_.file().load_page(t_.file().root_address()); }
  Page* child(Page* inner, size_t k) { return t_.file().load_page(inner->contents.children[k]); }
  void commit_and_check() {
    ASSERT_EQ(t_.file().commit(), kNoError);
    auto problems = t_.check();
    ASSERT_TRUE(problems.empty()) << joined(problems);
  }

  TestFile t_;
};

TEST_F(RecordTreeTest, NewFileHasARootLeafWithTheSentinelAtAddressZero) {
  Page* r = root();
  ASSERT_EQ(r->contents.records.size(), 1u);
  EXPECT_TRUE(r->contents.records[0].bytes.empty());
  EXPECT_LT(r->address, 0) << "placed only by the first commit";
  t_.insert(make_record("a", 3));
  commit_and_check();
  EXPECT_EQ(t_.file().header().root(), 0);
  Bytes file = t_.bytes();
  ASSERT_GE(file.size(), 0x300u);
  EXPECT_EQ(std::string(file.begin() + 0x0E, file.begin() + 0x12), "hLvK");
  EXPECT_EQ(load_u32_le(file.data() + 0x200), 0x200u) << "the root leaf at file offset 0x200";
}

TEST_F(RecordTreeTest, FindsEqualBelowAndAbove) {
  for (const char* k : {"b", "d", "f"}) t_.insert(make_record(k, 2));
  auto k = [](const char* s) { return bytes_of(s); };
  Bytes d = k("d"), c = k("c"), b = k("b"), f = k("f"), empty;
  ASSERT_NE(t_.tree().find_equal(key_of(d)), nullptr);
  EXPECT_EQ(t_.tree().find_equal(key_of(c)), nullptr);
  EXPECT_EQ(t_.tree().find_last_below(key_of(d))->key(), key_of(b));
  EXPECT_EQ(t_.tree().find_last_below(key_of(c))->key(), key_of(b));
  EXPECT_EQ(t_.tree().find_last_below(key_of(b)), nullptr) << "the sentinel is no record";
  EXPECT_EQ(t_.tree().find_first_above(key_of(d))->key(), key_of(f));
  EXPECT_EQ(t_.tree().find_first_above(key_of(f)), nullptr);
  EXPECT_EQ(t_.tree().find_first_above(key_of(empty))->key(), key_of(b));
}

TEST_F(RecordTreeTest, DuplicateMissingAndReadOnlyAreCorruptionChecks) {
  t_.insert(make_record("a", 1));
  EXPECT_EQ(check_of([&] { t_.insert(make_record("a", 5)); }), 706);
  EXPECT_EQ(check_of([&] { t_.erase("zz"); }), 780);
  t_.close();
  ASSERT_EQ(t_.open(platform::open_mode::kReadOnly | platform::open_mode::kDenyNone), kNoError);
  EXPECT_EQ(check_of([&] { t_.insert(make_record("b", 1)); }), 1194);
  EXPECT_EQ(check_of([&] { t_.erase("a"); }), 1203);
  EXPECT_EQ(check_of([&] { t_.file().issue_number(); }), 1163);
}

// Overwriting is a change in place for a record of the same lengths only; the store's
// replace falls back to erase and insert for anything else, and adds a missing record.
TEST_F(RecordTreeTest, OverwriteAndReplace) {
  for (int i = 0; i < 300; ++i) t_.insert(make_record(key_n(i), 40));
  commit_and_check();
  RecordTree& tree = t_.file().tree();
  TreeRecordStore store(&tree);
  const Bytes k150 = bytes_of(key_n(150)), k151 = bytes_of(key_n(151)), missing = bytes_of("m");
  const uint16_t estimate = root()->contents.size_estimate;
  EXPECT_TRUE(tree.overwrite(make_record(key_n(150), 40, 'y')));
  EXPECT_EQ(tree.find_equal(key_of(k150))->data(), key_of(Bytes(40, 'y')));
  EXPECT_EQ(root()->contents.size_estimate, estimate);
  EXPECT_FALSE(tree.overwrite(make_record(key_n(151), 41, 'y')));
  EXPECT_FALSE(tree.overwrite(make_record("m", 40)));
  EXPECT_EQ(tree.find_equal(key_of(k151))->data().size(), 40u);
  EXPECT_EQ(tree.find_equal(key_of(missing)), nullptr);

  store.replace(make_record(key_n(151), 41, 'z'));
  store.replace(make_record("m", 3, 'z'));
  EXPECT_EQ(store.find_equal(key_of(k151))->data().size(), 41u);
  EXPECT_EQ(store.find_equal(key_of(missing))->data().size(), 3u);
  commit_and_check();
  t_.close();
  ASSERT_EQ(t_.open(platform::open_mode::kReadOnly | platform::open_mode::kDenyNone), kNoError);
  EXPECT_EQ(check_of([&] { t_.file().tree().overwrite(make_record(key_n(1), 40)); }), 1194);
}

TEST_F(RecordTreeTest, SmallRecordsSplitOnlyWhenTheEstimatePasses4096) {
  // 21 records of 100 bytes: estimate 18 + 21 x 105 = 2223, still one leaf.
  for (int i = 0; i < 21; ++i) t_.insert(make_record(key_n(i), 94));
  EXPECT_EQ(root()->contents.level, 0);
  EXPECT_EQ(root()->contents.records.size(), 22u);
  EXPECT_EQ(root()->contents.size_estimate, 13 + 5 + 21 * 105);
  int i = 21;
  while (root()->contents.level == 0) {
    ASSERT_LE(root()->contents.size_estimate, kSplitWhenCrowded);
    t_.insert(make_record(key_n(i++), 94));
  }
  EXPECT_EQ(i, 39) << "the 39th record takes the estimate to 4113";
  commit_and_check();
}

TEST_F(RecordTreeTest, RootSplitKeepsTheAddressAndStartsWithTheEmptyKey) {
  t_.insert(make_record("a", 1));
  commit_and_check();
  int32_t root_address = t_.file().header().root();
  for (int i = 0; root()->contents.level == 0; ++i) t_.insert(make_record(key_n(i), 94));
  Page* r = root();
  EXPECT_EQ(r->address, root_address);
  EXPECT_EQ(r->contents.level, 1);
  ASSERT_EQ(r->contents.records.size(), 2u);
  EXPECT_TRUE(r->contents.records[0].bytes.empty());
  EXPECT_EQ(r->contents.records[1].total_length(), r->contents.records[1].key_length)
      << "separators are bare keys";
  commit_and_check();
  EXPECT_EQ(t_.file().header().root(), root_address);
  EXPECT_EQ(t_.contents().size(), 40u);
}

TEST_F(RecordTreeTest, TwoLargeRecordsSplitIntoOnePageEach) {
  t_.insert(make_record("a", 8000, 'a'));
  t_.insert(make_record("b", 8000, 'b'));
  Page* r = root();
  ASSERT_EQ(r->contents.level, 1);
  ASSERT_EQ(r->contents.records.size(), 3u) << "the sentinel's page, a's page and b's page";
  EXPECT_EQ(child(r, 2)->contents.records.size(), 1u);
  EXPECT_EQ(child(r, 2)->contents.records[0].key(), key_of(bytes_of("b")));
  commit_and_check();
  // Records as long as fit a page alone.
  t_.insert(make_record("c", kSplitAlways - 13 - 5 - 1, 'c'));
  commit_and_check();
}

TEST_F(RecordTreeTest, DeletingTheFirstRecordOfALeafReplacesItsSeparator) {
  for (int i = 0; i < 60; ++i) t_.insert(make_record(key_n(i), 94));
  Page* r = root();
  ASSERT_EQ(r->contents.level, 1);
  Bytes second_first(r->contents.records[1].key().begin(), r->contents.records[1].key().end());
  std::string first_key(second_first.begin(), second_first.end());
  t_.erase(first_key);
  r = root();
  EXPECT_GT(compare_keys(r->contents.records[1].key(), key_of(second_first)), 0);
  EXPECT_EQ(r->contents.records[1].key(), child(root(), 1)->contents.records[0].key());
  commit_and_check();
}

TEST_F(RecordTreeTest, EmptiedLeavesAndInnerPagesLeaveTheTree) {
  // Enough records for three levels (long keys fill the inner pages); then delete all but a
  // few, which empties leaves and inner pages.
  const int n = 3000;
  auto long_key = [](int i) { return key_n(i) + std::string(94, 'p'); };
  for (int i = 0; i < n; ++i) t_.insert(make_record(long_key(i), 120));
  ASSERT_GE(root()->contents.level, 2);
  commit_and_check();
  uint32_t full_end = t_.file().header().computed_data_end();
  for (int i = 5; i < n; ++i) {
    t_.erase(long_key(i));
    if (i % 500 == 0) commit_and_check();
  }
  commit_and_check();
  EXPECT_EQ(t_.contents().size(), 5u);
  EXPECT_LT(t_.file().header().computed_data_end(), full_end / 10)
      << "freed slots are given back to the regions";
  Page* r = root();
  while (r->contents.level > 0) {
    EXPECT_EQ(r->contents.records.size(), 1u) << "only the left edge is left";
    r = child(r, 0);
  }
}

TEST_F(RecordTreeTest, PositionsFollowTheirRecordThroughChanges) {
  for (int i = 0; i < 10; ++i) t_.insert(make_record(key_n(i * 2), 10));
  TreePosition pos;
  Bytes k4 = bytes_of(key_n(4));
  ASSERT_NE(t_.tree().seek(&pos, key_of(k4)), nullptr);
  ASSERT_EQ(t_.tree().next(&pos)->key(), key_of(bytes_of(key_n(6))));
  t_.insert(make_record(key_n(7), 10));  // changes the page under the position
  EXPECT_EQ(t_.tree().current(&pos)->key(), key_of(bytes_of(key_n(6))));
  EXPECT_EQ(t_.tree().next(&pos)->key(), key_of(bytes_of(key_n(7))));
  for (int i = 100; i < 400; ++i) t_.insert(make_record(key_n(i), 40));  // splits
  ASSERT_EQ(t_.file().commit(), kNoError);
  t_.file().cache().drop_all();  // the position's page is no longer in memory
  EXPECT_EQ(t_.tree().previous(&pos)->key(), key_of(bytes_of(key_n(6))));
  t_.erase(key_n(6));
  EXPECT_EQ(t_.tree().current(&pos), nullptr) << "the record has gone";
  EXPECT_EQ(t_.tree().next(&pos)->key(), key_of(bytes_of(key_n(7))));
  Bytes k0 = bytes_of(key_n(0));
  ASSERT_NE(t_.tree().seek(&pos, key_of(k0)), nullptr);
  EXPECT_EQ(t_.tree().previous(&pos), nullptr) << "the sentinel is no record";
  EXPECT_EQ(pos.key(), key_of(k0));
}

TEST_F(RecordTreeTest, RecordStoreGivesCopies) {
  TreeRecordStore store(&t_.tree());
  store.insert(make_record("m", 4, 'q'));
  auto r = store.find_equal(key_of(bytes_of("m")));
  ASSERT_TRUE(r.has_value());
  store.erase(key_of(bytes_of("m")));
  EXPECT_EQ(r->data(), key_of(Bytes(4, 'q')));
  EXPECT_FALSE(store.find_equal(key_of(bytes_of("m"))).has_value());
  EXPECT_FALSE(store.find_last_below(key_of(bytes_of("z"))).has_value());
  EXPECT_FALSE(store.find_first_above(key_of(Bytes())).has_value());
}

// The record kinds built over a RecordStore work over the tree, across a reopening.
TEST_F(RecordTreeTest, MemoChunksRoundTripThroughTheTree) {
  TreeRecordStore store(&t_.tree());
  MemoDecl blob;
  blob.flags = memo_flag::kBlob;
  Bytes value(50000);
  for (size_t i = 0; i < value.size(); ++i) value[i] = uint8_t(i * 7 / 3);
  MemoSlot slot{t_.file().issue_number(), t_.file().issue_number(), 0};
  store_memo(store, slot, blob, false, key_of(value));
  commit_and_check();
  t_.reopen();
  TreeRecordStore reopened(&t_.tree());
  EXPECT_EQ(read_memo(reopened, slot, blob, false), value);
  delete_memos(reopened, slot.table, slot.record_number);
  commit_and_check();
  EXPECT_TRUE(t_.contents().empty());
}

}  // namespace
}  // namespace orvel::datafile
