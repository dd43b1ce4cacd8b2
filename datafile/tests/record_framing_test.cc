#include "datafile/record_framing.h"

#include <gtest/gtest.h>

#include <string>

#include "datafile/corruption.h"

namespace orvel::datafile {
namespace {

Record record_of(const std::string& key, const std::string& data) {
  Bytes k(key.begin(), key.end()), d(data.begin(), data.end());
  return make_record(KeyView(k.data(), k.size()), KeyView(d.data(), d.size()));
}

int parse_check(const Bytes& area, size_t count) {
  std::vector<Record> records;
  try {
    parse_records(area.data(), area.size(), count, &records);
  } catch (const CorruptionError& e) {
    return e.check();
  }
  return 0;
}

TEST(RecordFramingTest, EqualLengthsAreWrittenOnlyForTheFirstRecord) {
  std::vector<Record> records = {record_of("ka", "111"), record_of("kb", "222"),
                                 record_of("kc", "233")};
  Bytes framed;
  frame_records(records, &framed);
  const Bytes expected = {0xC0, 0x05, 0x00, 0x02, 0x00, 'k', 'a', '1', '1', '1',  // first
                          0x01, 'b',  '2',  '2',  '2',                            // s = 1
                          0x01, 'c',  '2',  '3',  '3'};
  EXPECT_EQ(framed, expected);
  std::vector<Record> parsed;
  parse_records(framed.data(), framed.size(), records.size(), &parsed);
  EXPECT_EQ(parsed, records);
}

TEST(RecordFramingTest, ChangedLengthsCarryTheirFlags) {
  std::vector<Record> records = {record_of("a", "xy"), record_of("ab", "x"),
                                 record_of("ab", "xyz")};
  Bytes framed;
  frame_records(records, &framed);
  // Second: same total (3), new key length 2, shares "a"; third: new total 5, shares "abx".
  const Bytes expected = {0xC0, 0x03, 0x00, 0x01, 0x00, 'a',  'x',  'y', 0x41,
                          0x02, 0x00, 'b',  'x',  0x83, 0x05, 0x00, 'y', 'z'};
  EXPECT_EQ(framed, expected);
  std::vector<Record> parsed;
  parse_records(framed.data(), framed.size(), records.size(), &parsed);
  EXPECT_EQ(parsed, records);
}

TEST(RecordFramingTest, SharedPrefixStopsAt63AndAtTheShorterRecord) {
  std::string common(100, 'p');
  std::vector<Record> records = {record_of(common, "1"), record_of(common, "2"),
                                 record_of("pp", ""), record_of("pp", "")};
  Bytes framed;
  frame_records(records, &framed);
  size_t second = 5 + 101;
  EXPECT_EQ(framed[second], 63);  // shares 100 bytes, keeps 63
  size_t third = second + 1 + 101 - 63;
  EXPECT_EQ(framed[third], 0xC0 | 2);  // both lengths change, shares its whole 2 bytes
  size_t fourth = third + 5;
  EXPECT_EQ(framed[fourth], 2);  // a copy of the previous record writes no bytes
  EXPECT_EQ(framed.size(), fourth + 1);
  std::vector<Record> parsed;
  parse_records(framed.data(), framed.size(), records.size(), &parsed);
  EXPECT_EQ(parsed, records);
}

TEST(RecordFramingTest, MalformedAreasAreCorruption) {
  Bytes good;
  frame_records({record_of("ka", "111"), record_of("kb", "222")}, &good);
  EXPECT_EQ(parse_check(good, 2), 0);

  struct Case {
    const char* name;
    Bytes area;
    size_t count;
  };
  Bytes extra = good;
  extra.push_back(0);
  Bytes shared_too_long = good;
  shared_too_long[10] = 0x06;  // the second record shares more than the first one has
  Bytes key_too_long = good;
  key_too_long[3] = 0x09;  // key longer than the record
  Bytes first_shares = good;
  first_shares[0] = 0xC1;
  Bytes first_without_length = good;
  first_without_length[0] = 0x40;
  Bytes over_limit = {0xC0, 0xF6, 0x3A, 0x00, 0x00};  // total 15094
  const Case cases[] = {
      {"records end before the area", extra, 2},
      {"one record too many", good, 3},
      {"count above the area length", good, 100},
      {"one record too few", good, 1},
      {"truncated length", Bytes(good.begin(), good.begin() + 2), 1},
      {"truncated bytes", Bytes(good.begin(), good.begin() + 8), 1},
      {"shared prefix beyond the previous record", shared_too_long, 2},
      {"key longer than the record", key_too_long, 2},
      {"first record shares bytes", first_shares, 2},
      {"first record without its total length", first_without_length, 2},
      {"record over the length limit", over_limit, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(parse_check(c.area, c.count), 1602);
  }
}

TEST(RecordFramingTest, RecordOverTheLengthLimitCannotBeBuilt) {
  Bytes data(kMaxRecordLength - 9, 0);
  Bytes key(9, 0);
  EXPECT_NO_THROW(make_record(KeyView(key.data(), 9), KeyView(data.data(), data.size())));
  data.push_back(0);
  try {
    make_record(KeyView(key.data(), 9), KeyView(data.data(), data.size()));
    FAIL() << "a record of 15094 bytes was built";
  } catch (const CorruptionError& e) {
    EXPECT_EQ(e.check(), 824);
  }
  Record oversized;
  oversized.bytes.assign(kMaxRecordLength + 1, 0);
  Bytes out;
  try {
    frame_records({oversized}, &out);
    FAIL() << "an oversized record was framed";
  } catch (const CorruptionError& e) {
    EXPECT_EQ(e.check(), 824);
  }
}

}  // namespace
}  // namespace orvel::datafile
