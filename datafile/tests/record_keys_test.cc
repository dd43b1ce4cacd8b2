#include "datafile/record_keys.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orvel::datafile {
namespace {

KeyView view(const Bytes& b) {
  return KeyView(b.data(), b.size());
}

TEST(RecordKeysTest, KeyBytesOfEveryKind) {
  struct Case {
    const char* kind;
    Bytes key;
    Bytes expected;
  };
  const Case cases[] = {
      {"data", data_key(2, 1), {0, 0, 0, 2, 0xF3, 0, 0, 0, 1}},
      {"statistics of a key", statistics_key(1, 3), {0, 0, 0, 1, 0xF6, 3}},
      {"statistics of the table", statistics_key(1, kTableStatistics), {0, 0, 0, 1, 0xF6, 0xF3}},
      {"definition block 258", definition_key(1, 258), {0, 0, 0, 1, 0xFA, 0x02, 0x01}},
      {"collation", collation_key(1), {0, 0, 0, 1, 0xFB, 0x01}},
      {"memo chunk",
       memo_chunk_key(0x01020304, 0x0A0B0C0D, 2, 0x0102),
       {1, 2, 3, 4, 0xFC, 0x0A, 0x0B, 0x0C, 0x0D, 2, 0x01, 0x02}},
      {"entries of key 3", table_kind_prefix(7, 3), {0, 0, 0, 7, 3}},
      {"table name", table_name_key("UNNAMED"), {0xFE, 'U', 'N', 'N', 'A', 'M', 'E', 'D'}},
      {"transaction marker", transaction_marker_key(), {0xFF}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.key, c.expected) << c.kind;

  Bytes memo = memo_chunk_key(9, 77, 1, 5);
  EXPECT_EQ(table_number_of(view(memo)), 9u);
  EXPECT_EQ(record_number_of(view(memo)), 77u);
  EXPECT_EQ(memo_sequence_of(view(memo)), 5);
  EXPECT_TRUE(has_prefix(view(memo), view(memo_prefix(9, 77, 1))));
  EXPECT_FALSE(has_prefix(view(memo), view(memo_prefix(9, 77, 2))));
  // Every sequence number of the memo, not only the first 256, lies under its prefix.
  EXPECT_TRUE(has_prefix(view(memo_chunk_key(9, 77, 1, 0x0100)), view(memo_prefix(9, 77, 1))));
}

TEST(RecordKeysTest, KindsOfOneTableFollowEachOtherAndNamesComeLast) {
  const uint32_t table = 0x00000100;
  std::vector<Bytes> in_order = {
      {},  // the sentinel
      table_kind_prefix(table, 0),
      table_kind_prefix(table, 1),
      data_key(table, 1),
      data_key(table, 256),
      statistics_key(table, 0),
      statistics_key(table, kTableStatistics),
      definition_key(table, 0),
      definition_key(table, 1),
      collation_key(table),
      memo_chunk_key(table, 1, 0, 0),
      memo_chunk_key(table, 1, 0, 1),
      memo_chunk_key(table, 1, 1, 0),
      memo_chunk_key(table, 2, 0, 0),
      data_key(table + 1, 1),
      data_key(0xFDFFFFFF, 0xFFFFFFFF),  // the largest number ever issued
      table_name_key("ARCHIVE"),
      table_name_key("UNNAMED"),
      transaction_marker_key(),
  };
  for (size_t i = 1; i < in_order.size(); ++i) {
    EXPECT_LT(compare_keys(view(in_order[i - 1]), view(in_order[i])), 0) << i;
  }
}

}  // namespace
}  // namespace orvel::datafile
