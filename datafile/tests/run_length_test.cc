#include "datafile/run_length.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "datafile/corruption.h"
#include "datafile/record.h"

namespace orvel::datafile {
namespace {

Bytes bytes_of(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes encode(const Bytes& in) {
  Bytes out(run_length_bound(in.size()));
  out.resize(run_length_encode(in.data(), in.size(), out.data()));
  return out;
}

Bytes decode(const Bytes& stream, size_t length) {
  Bytes out(length);
  run_length_decode(stream.data(), stream.size(), out.data(), out.size());
  return out;
}

int decode_check(const Bytes& stream, size_t length) {
  try {
    decode(stream, length);
  } catch (const CorruptionError& e) {
    return e.check();
  }
  return 0;
}

TEST(RunLengthTest, EncodesExactly) {
  struct Case {
    const char* name;
    Bytes in;
    Bytes out;  // empty: stored as it is
  };
  const Case cases[] = {
      {"three equal bytes stay literal", bytes_of("xAAAy"), {}},
      {"no run at all", bytes_of("abcdefg"), {}},
      {"four equal bytes repeat three times",
       bytes_of("xAAAAy"),
       {0x02, 'x', 'A', 0x03, 0x01, 'y'}},
      {"area ending in a run has final count 0", bytes_of("xAAAA"), {0x02, 'x', 'A', 0x03, 0x00}},
      {"run at the start", bytes_of("AAAAAb"), {0x01, 'A', 0x04, 0x01, 'b'}},
      {"two runs", bytes_of("AAAAxyBBBB"), {0x01, 'A', 0x03, 0x03, 'x', 'y', 'B', 0x03, 0x00}},
      {"repeat count 200 is C8 01", Bytes(201, 0x20), {0x01, 0x20, 0xC8, 0x01, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(encode(c.in), c.out);
    if (!c.out.empty()) {
      EXPECT_EQ(decode(c.out, c.in.size()), c.in);
    }
  }
}

TEST(RunLengthTest, CountsUseSevenBitsLowGroupFirst) {
  struct Case {
    uint64_t value;
    Bytes bytes;
  };
  const Case cases[] = {{0, {0x00}},         {127, {0x7F}},       {128, {0x80, 0x01}},
                        {200, {0xC8, 0x01}}, {300, {0xAC, 0x02}}, {16384, {0x80, 0x80, 0x01}}};
  for (const Case& c : cases) {
    uint8_t out[10];
    size_t length = put_count(out, c.value);
    EXPECT_EQ(Bytes(out, out + length), c.bytes) << c.value;
  }
  // A literal count of 130 needs two bytes.
  Bytes area(130, 0);
  for (size_t i = 0; i < area.size(); ++i) area[i] = uint8_t(i);
  area.insert(area.end(), 5, 0xEE);
  Bytes stream = encode(area);
  ASSERT_GE(stream.size(), 2u);
  EXPECT_EQ(stream[0], 0x83);  // 131 literal bytes, the first of the run included
  EXPECT_EQ(stream[1], 0x01);
  EXPECT_EQ(decode(stream, area.size()), area);
}

TEST(RunLengthTest, DecoderAcceptsStreamsTheEncoderWouldNotWrite) {
  // Repeats of 0, a run split over two blocks, and a stream ending in a repeat.
  Bytes stream = {0x01, 'A', 0x00, 0x01, 'A', 0x02, 0x02, 'b', 'c', 0x03};
  EXPECT_EQ(decode(stream, 9), bytes_of("AAAAbcccc"));
  // Bytes after the complete output are ignored.
  EXPECT_EQ(decode({0x02, 'x', 'y', 0x55, 0x66}, 2), bytes_of("xy"));
}

TEST(RunLengthTest, DamagedStreamsAreCorruption) {
  struct Case {
    const char* name;
    Bytes stream;
    size_t length;
    int check;
  };
  const Case cases[] = {
      {"literal count beyond the output", {0x05, 'a', 'b', 'c', 'd', 'e'}, 3, 522},
      {"literal bytes beyond the stream", {0x03, 'a'}, 3, 522},
      {"stream ends before a literal count", {0x01, 'a', 0x01}, 4, 522},
      {"literal count that never ends", {0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, 4, 522},
      {"huge literal count", {0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, 4, 522},
      {"empty stream", {}, 1, 522},
      {"repeat count beyond the output", {0x01, 'a', 0x09}, 4, 530},
      {"stream ends before a repeat count", {0x01, 'a'}, 4, 530},
      {"repeat with no byte before it", {0x00, 0x02}, 2, 530},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(decode_check(c.stream, c.length), c.check);
  }
}

TEST(RunLengthTest, RandomAreasRoundTrip) {
  std::random_device device;
  unsigned seed = device();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  for (int round = 0; round < 500; ++round) {
    Bytes area;
    size_t length = rng() % 3000;
    while (area.size() < length) {
      uint8_t byte = uint8_t(rng() % 4 == 0 ? 0x20 : rng());
      size_t run = rng() % 3 == 0 ? 1 + rng() % 300 : 1;
      area.insert(area.end(), std::min(run, length - area.size()), byte);
    }
    Bytes stream = encode(area);
    ASSERT_LE(stream.size(), run_length_bound(area.size()));
    if (stream.empty()) continue;
    ASSERT_EQ(decode(stream, area.size()), area);
  }
}

}  // namespace
}  // namespace orvel::datafile
