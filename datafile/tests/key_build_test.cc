#include "datafile/key_build.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "datafile/byte_order.h"
#include "datafile/entry_sorter.h"
#include "datafile/tests/map_record_store.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

constexpr uint32_t kTable = 3;
constexpr uint16_t kImageLength = 12;  // NAME STRING 8, NUM LONG

class MapHost : public KeyBuildHost {
 public:
  size_t cached_pages() override { return pages_; }
  int commit() override {
    ++commits;
    return commit_result;
  }
  void image_of(const Record& record, Bytes* image) override {
    image->assign(record.bytes.begin() + record.key_length, record.bytes.end());
  }
  size_t pages_ = 0;
  int commits = 0;
  int commit_result = 0;
};

class KeyBuildTest : public ::testing::Test {
 protected:
  KeyBuildTest() {
    keys_.push_back({0, key_attr::kDup | key_attr::kNoCase, {{FieldType::kString, 0, 8, false}}, 8});
    keys_.push_back({1, key_attr::kOpt, {{FieldType::kLong, 8, 4, false}}, 4});
    for (uint8_t k = 0; k < 2; ++k) write_statistics(store_, kTable, k, {});
  }

  TableKeys table(MapRecordStore& store) { return {&store, kTable, &keys_, {&tables_, false}}; }

  // Stores a data record and, like an append, only marks the keys.
  void append(MapRecordStore& store, uint32_t number, const std::string& name, int32_t num,
              bool deferred = true) {
    Record record;
    record.bytes.assign(9 + kImageLength, ' ');
    record.key_length = 9;
    store_u32_be(record.bytes.data(), kTable);
    record.bytes[4] = 0xF3;
    store_u32_be(record.bytes.data() + 5, number);
    std::memcpy(record.bytes.data() + 9, name.data(), std::min<size_t>(8, name.size()));
    store_u32_le(record.bytes.data() + 17, uint32_t(num));
    store.insert(record);
    ASSERT_EQ(maintain_keys(table(store), record.bytes.data() + 9, nullptr, number, deferred), 0);
  }

  int build_all(MapRecordStore& store, KeyBuildOptions options = {}) {
    for (const KeyDescriptor& key : keys_) {
      if (int rc = build_key(table(store), key, host_, options); rc != 0) return rc;
    }
    return 0;
  }

  LocaleTables tables_ = LocaleTables::defaults();
  std::vector<KeyDescriptor> keys_;
  MapRecordStore store_;
  MapHost host_;
};

TEST_F(KeyBuildTest, BuildGivesTheEntriesThatImmediateMaintenanceGives) {
  MapRecordStore immediate = store_;
  std::mt19937 rng(11);
  for (uint32_t n = 1; n <= 300; ++n) {
    std::string name(1 + rng() % 7, 'a');
    for (char& c : name) c = char((rng() % 2 ? 'a' : 'A') + rng() % 3);
    int32_t num = int32_t(rng() % 50) == 0 ? 0 : int32_t(n * 7);  // some OPT-empty
    append(store_, n, name, num);
    append(immediate, n, name, num, false);
  }
  KeyBuildOptions small_sort;
  small_sort.sort_memory = 21 * 17;  // a few entries per run: the merge is exercised
  ASSERT_EQ(build_all(store_, small_sort), 0);
  EXPECT_EQ(store_.records(), immediate.records());
}

TEST_F(KeyBuildTest, CompleteKeyNeedsNothing) {
  append(store_, 1, "a", 1, false);
  auto before = store_.records();
  ASSERT_EQ(build_all(store_), 0);
  EXPECT_EQ(store_.records(), before);
  EXPECT_EQ(host_.commits, 0);
}

TEST_F(KeyBuildTest, ClashInAUniqueKeyLeavesItIncompleteFromTheLowestClash) {
  keys_[1].attributes = 0;  // NUM unique, not optional
  append(store_, 1, "a", 5);
  append(store_, 2, "b", 6);
  append(store_, 3, "c", 5);
  append(store_, 4, "d", 6);
  EXPECT_EQ(build_key(table(store_), keys_[1], host_, {}), kCreatesDuplicateKey);
  Statistics stats = *read_statistics(store_, kTable, 1);
  EXPECT_EQ(stats.mark, 3u);
  EXPECT_EQ(stats.count, 2u);
}

TEST_F(KeyBuildTest, FullBuildRedoesAKeyFromRecordOne) {
  append(store_, 1, "a", 1, false);
  append(store_, 2, "b", 2, false);
  // Damage key 0 by removing an entry behind its back.
  KeyIndex index(store_, kTable, keys_[0], {&tables_, false});
  store_.erase(index.first()->key());
  KeyBuildOptions full;
  full.full_build = true;
  ASSERT_EQ(build_key(table(store_), keys_[0], host_, full), 0);
  EXPECT_EQ(read_statistics(store_, kTable, 0)->count, 2u);
  EXPECT_TRUE(index.first());
}

TEST_F(KeyBuildTest, CommitsWhileTheCacheIsLargeAndReportsItsError) {
  append(store_, 1, "a", 1);
  append(store_, 2, "b", 2);
  host_.pages_ = kBuildCommitPages;
  host_.commit_result = kSystemDiskFull;
  EXPECT_EQ(build_key(table(store_), keys_[0], host_, {}), kSystemDiskFull);
  EXPECT_EQ(host_.commits, 1);
}

TEST(EntrySorterTest, SpilledRunsMergeIntoOneOrder) {
  std::mt19937 rng(5);
  EntrySorter sorter(6, 6 * 10);
  std::vector<std::vector<uint8_t>> expected;
  for (int i = 0; i < 1000; ++i) {
    std::vector<uint8_t> e(6);
    for (auto& b : e) b = uint8_t(rng() % 4);  // many equal entries
    expected.push_back(e);
    ASSERT_TRUE(sorter.add(e.data()));
  }
  EXPECT_GT(sorter.runs(), 50u);
  std::sort(expected.begin(), expected.end());
  std::vector<std::vector<uint8_t>> got;
  ASSERT_TRUE(sorter.drain([&](const uint8_t* e) { got.emplace_back(e, e + 6); }));
  EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace orvel::datafile
