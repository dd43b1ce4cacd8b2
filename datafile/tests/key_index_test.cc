#include "datafile/key_index.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "datafile/byte_order.h"
#include "datafile/tests/map_record_store.h"
#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

// A table of NAME (STRING 8) and NUM (LONG): key 0 NAME with duplicates, case-insensitive;
// key 1 NUM unique; key 2 NAME unique and optional.
constexpr uint32_t kTable = 1;

struct Image {
  uint8_t bytes[12];
};

Image image(const std::string& name, int32_t num) {
  Image img;
  std::memset(img.bytes, ' ', 8);
  std::memcpy(img.bytes, name.data(), std::min<size_t>(name.size(), 8));
  store_u32_le(img.bytes + 8, uint32_t(num));
  return img;
}

class KeyIndexTest : public ::testing::Test {
 protected:
  KeyIndexTest() {
    keys_.push_back({0, key_attr::kDup | key_attr::kNoCase, {{FieldType::kString, 0, 8, false}}, 8});
    keys_.push_back({1, 0, {{FieldType::kLong, 8, 4, false}}, 4});
    keys_.push_back({2, key_attr::kOpt, {{FieldType::kString, 0, 8, false}}, 8});
    for (uint8_t k = 0; k < 3; ++k) write_statistics(store_, kTable, k, {});
  }

  TableKeys table() { return {&store_, kTable, &keys_, {&tables_, false}}; }
  KeyIndex index(int k) { return KeyIndex(store_, kTable, keys_[k], {&tables_, false}); }
  uint32_t count(uint8_t k) { return read_statistics(store_, kTable, k)->count; }
  int add(const Image& img, uint32_t number) {
    return maintain_keys(table(), img.bytes, nullptr, number, false);
  }
  // Record numbers of a key's entries in key order.
  std::vector<uint32_t> walk(int k) {
    std::vector<uint32_t> numbers;
    KeyIndex idx = index(k);
    for (auto e = idx.first(); e; e = idx.next_after(*e)) numbers.push_back(key_entry_record_number(*e));
    return numbers;
  }

  LocaleTables tables_ = LocaleTables::defaults();
  std::vector<KeyDescriptor> keys_;
  MapRecordStore store_;
};

TEST_F(KeyIndexTest, AddKeepsEveryKeyInOrder) {
  ASSERT_EQ(add(image("smith", 30), 5), 0);
  ASSERT_EQ(add(image("ADAMS", 10), 6), 0);
  ASSERT_EQ(add(image("Smith", 20), 7), 0) << "differs from 'smith' in case only: no clash in key 0";
  EXPECT_EQ(walk(0), (std::vector<uint32_t>{6, 5, 7}));
  EXPECT_EQ(walk(1), (std::vector<uint32_t>{6, 7, 5}));
  EXPECT_EQ(count(0), 3u);
  EXPECT_EQ(count(1), 3u);
  Image probe = image("SMITH", 0);
  EXPECT_EQ(key_entry_record_number(*index(0).find_by_value(probe.bytes)), 5u)
      << "the lowest record number among equal values";
  EXPECT_EQ(key_entry_record_number(*index(0).last()), 7u);
}

TEST_F(KeyIndexTest, ClashInALaterKeyUndoesTheEarlierOnes) {
  ASSERT_EQ(add(image("jones", 1), 1), 0);
  auto before = store_.records();
  EXPECT_EQ(add(image("other", 1), 2), kCreatesDuplicateKey) << "key 1 clashes";
  EXPECT_EQ(store_.records(), before);
  EXPECT_EQ(add(image("jones", 2), 3), kCreatesDuplicateKey) << "key 2 clashes after 0 and 1";
  EXPECT_EQ(store_.records(), before);
}

TEST_F(KeyIndexTest, ChangeTouchesOnlyKeysWhoseValueChanged) {
  Image a = image("alpha", 1), b = image("ALPHA", 2);
  ASSERT_EQ(add(a, 1), 0);
  auto key0_before = walk(0);
  ASSERT_EQ(maintain_keys(table(), b.bytes, a.bytes, 1, false), 0);
  EXPECT_EQ(walk(0), key0_before);
  EXPECT_EQ(key_entry_record_number(*index(1).find_by_value(b.bytes)), 1u);
  EXPECT_FALSE(index(1).find_by_value(a.bytes)) << "the old number's entry is gone";
  EXPECT_EQ(count(1), 1u);
}

TEST_F(KeyIndexTest, DeleteRemovesEntries) {
  Image a = image("alpha", 1);
  ASSERT_EQ(add(a, 1), 0);
  ASSERT_EQ(maintain_keys(table(), nullptr, a.bytes, 1, false), 0);
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(walk(k).empty());
    EXPECT_EQ(count(uint8_t(k)), 0u);
  }
}

TEST_F(KeyIndexTest, OptionalKeySkipsBlankValues) {
  ASSERT_EQ(add(image("", 1), 1), 0);
  ASSERT_EQ(add(image("x", 2), 2), 0);
  EXPECT_EQ(walk(2), (std::vector<uint32_t>{2}));
  EXPECT_EQ(count(2), 1u);
  EXPECT_EQ(count(0), 2u);
}

TEST_F(KeyIndexTest, DeferredMaintenanceMarksKeysIncomplete) {
  ASSERT_EQ(maintain_keys(table(), image("a", 1).bytes, nullptr, 9, true), 0);
  ASSERT_EQ(maintain_keys(table(), image("b", 2).bytes, nullptr, 7, true), 0);
  ASSERT_EQ(maintain_keys(table(), image("c", 3).bytes, nullptr, 8, true), 0);
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(walk(k).empty());
    EXPECT_EQ(read_statistics(store_, kTable, uint8_t(k))->mark, 7u) << "lowest unindexed number";
  }
}

TEST_F(KeyIndexTest, PositioningFromAPartialValue) {
  ASSERT_EQ(add(image("abc", 10), 1), 0);
  ASSERT_EQ(add(image("AB", 20), 2), 0);
  ASSERT_EQ(add(image("ab", 30), 3), 0);
  auto forward = [&](int k, const Image& img) {
    auto e = index(k).position_forward(img.bytes);
    return e ? key_entry_record_number(*e) : 0;
  };
  auto backward = [&](int k, const Image& img) {
    auto e = index(k).position_backward(img.bytes);
    return e ? key_entry_record_number(*e) : 0;
  };
  EXPECT_EQ(forward(0, image("a", 0)), 2u) << "first value after a short prefix";
  EXPECT_EQ(forward(0, image("ab", 0)), 2u) << "lowest number of the equal values";
  EXPECT_EQ(forward(0, image("abd", 0)), 0u);
  EXPECT_EQ(backward(0, image("ab", 0)), 3u) << "highest number of the equal values";
  EXPECT_EQ(backward(0, image("a", 0)), 0u);
  EXPECT_EQ(forward(1, image("", 20)), 2u) << "unique key: the exact entry";
  EXPECT_EQ(forward(1, image("", 21)), 3u);
  EXPECT_EQ(backward(1, image("", 21)), 2u);
}

}  // namespace
}  // namespace orvel::datafile
