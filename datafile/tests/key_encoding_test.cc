#include "datafile/key_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "datafile/byte_order.h"

namespace orvel::datafile {
namespace {

const LocaleTables kDefaults = LocaleTables::defaults();
const TextCollation kPlain{&kDefaults, false};

// A one-component key over a field at offset 0 of the given size.
KeyDescriptor single(FieldType type, uint16_t size, bool descending = false, uint8_t attr = 0) {
  KeyDescriptor key;
  key.attributes = attr;
  key.components.push_back({type, 0, size, descending});
  key.value_length = size;
  return key;
}

Bytes encode(const KeyDescriptor& key, const void* image, const TextCollation& text = kPlain) {
  Bytes out(key.value_length);
  encode_key_value(key, static_cast<const uint8_t*>(image), text, out.data());
  return out;
}

template <typename T>
Bytes encode_number(FieldType type, T value, bool descending = false) {
  return encode(single(type, sizeof(T), descending), &value);
}

TEST(KeyEncodingTest, LongsEncodeBigEndianWithTheSignBitInverted) {
  EXPECT_EQ(encode_number<int32_t>(FieldType::kLong, -1), (Bytes{0x7F, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(encode_number<int32_t>(FieldType::kLong, 0), (Bytes{0x80, 0x00, 0x00, 0x00}));
  EXPECT_EQ(encode_number<int32_t>(FieldType::kLong, 1), (Bytes{0x80, 0x00, 0x00, 0x01}));
  EXPECT_EQ(encode_number<uint32_t>(FieldType::kULong, 0x01020304u), (Bytes{1, 2, 3, 4}));
}

// For every numeric type, byte order of the encoding is the numeric order, and a descending
// component reverses it.
template <typename T>
void expect_order_preserved(FieldType type, std::vector<T> values) {
  std::sort(values.begin(), values.end());
  for (bool descending : {false, true}) {
    for (size_t i = 1; i < values.size(); ++i) {
      Bytes a = encode_number(type, values[i - 1], descending);
      Bytes b = encode_number(type, values[i], descending);
      if (values[i - 1] == values[i]) continue;
      EXPECT_EQ(a < b, !descending) << "type " << int(type) << " " << values[i - 1] << " vs "
                                    << values[i] << (descending ? " descending" : "");
    }
  }
}

TEST(KeyEncodingTest, NumericOrderIsByteOrder) {
  std::mt19937 rng(7);
  std::vector<int32_t> longs{INT32_MIN, -2, -1, 0, 1, 2, INT32_MAX};
  std::vector<int16_t> shorts{INT16_MIN, -1, 0, 1, INT16_MAX};
  std::vector<uint16_t> ushorts{0, 1, 255, 256, 65535};
  std::vector<float> floats{-1e30f, -2.0f, -1.0f, -0.5f, 0.0f, 0.25f, 1.0f, 2.0f, 1e30f};
  std::vector<double> doubles{-1e300, -2.0, -1.0, -1e-300, 0.0, 1e-300, 1.0, 2.0, 1e300};
  for (int i = 0; i < 200; ++i) {
    longs.push_back(int32_t(rng()));
    shorts.push_back(int16_t(rng()));
    floats.push_back(float(int32_t(rng())) / 1000.0f);
    doubles.push_back(double(int32_t(rng())) * 1e-3);
  }
  expect_order_preserved(FieldType::kLong, longs);
  expect_order_preserved(FieldType::kShort, shorts);
  expect_order_preserved(FieldType::kUShort, ushorts);
  expect_order_preserved(FieldType::kSReal, floats);
  expect_order_preserved(FieldType::kReal, doubles);
}

TEST(KeyEncodingTest, DecimalsOrderBySign) {
  // Packed decimal of 3 bytes: sign nibble first (non-zero for negative), then digits.
  struct Case {
    Bytes stored;
    double value;
  } cases[] = {{{0xF0, 0x02, 0x00}, -2.0}, {{0xF0, 0x01, 0x00}, -1.0}, {{0x00, 0x00, 0x00}, 0.0},
               {{0x00, 0x01, 0x00}, 1.0},  {{0x00, 0x02, 0x50}, 2.5}};
  KeyDescriptor key = single(FieldType::kDecimal, 3);
  EXPECT_EQ(encode(key, cases[1].stored.data()), (Bytes{0x7F, 0xFE, 0xFF}));
  for (size_t i = 1; i < std::size(cases); ++i) {
    EXPECT_LT(encode(key, cases[i - 1].stored.data()), encode(key, cases[i].stored.data()))
        << cases[i - 1].value << " before " << cases[i].value;
  }
}

TEST(KeyEncodingTest, NoCaseFoldsLatinLettersOnly) {
  KeyDescriptor key = single(FieldType::kString, 8, false, key_attr::kNoCase);
  EXPECT_EQ(encode(key, "IVANOV  "), encode(key, "Ivanov  "));
  // Cyrillic capitals and small letters stay apart under the built-in tables.
  EXPECT_NE(encode(key, "\xC8\xC2\xC0\xCD\xCE\xC2  "), encode(key, "\xE8\xE2\xE0\xED\xEE\xE2  "));
  KeyDescriptor exact = single(FieldType::kString, 8);
  EXPECT_NE(encode(exact, "IVANOV  "), encode(exact, "Ivanov  "));
}

TEST(KeyEncodingTest, TextVariants) {
  const char cstring[6] = {'a', 'b', 0, 'x', 'y', 'z'};
  EXPECT_EQ(encode(single(FieldType::kCString, 6), cstring), (Bytes{'a', 'b', 0, 0, 0, 0}));
  const char pstring[6] = {2, 'a', 'b', 'x', 'y', 'z'};
  EXPECT_EQ(encode(single(FieldType::kPString, 6), pstring), (Bytes{'a', 'b', 0, 0, 0, 0}));
  const char too_long[3] = {9, 'a', 'b'};  // a length byte beyond the field reads the field only
  EXPECT_EQ(encode(single(FieldType::kPString, 3), too_long), (Bytes{'a', 'b', 0}));
  EXPECT_EQ(encode(single(FieldType::kString, 2, true), "AB"), (Bytes{255 - 'A', 255 - 'B'}));
}

TEST(KeyEncodingTest, WeightsAndExpansionsOfALocale) {
  LocaleTables tables = LocaleTables::defaults();
  tables.weights['b'] = 'z' + 1;  // b sorts after z
  const uint8_t expansion[4] = {'x', 'k', 's', 0};
  std::memcpy(tables.expansions.data(), expansion, 4);
  TextCollation text{&tables, false};
  KeyDescriptor key = single(FieldType::kString, 4);
  EXPECT_GT(encode(key, "b   ", text), encode(key, "z   ", text));
  EXPECT_EQ(encode(key, "axy ", text), (Bytes{'a', 'k', 's', 'y'})) << "expansion cut at size";
}

TEST(KeyEncodingTest, OemTablesWeighTheOemCode) {
  LocaleTables tables = LocaleTables::defaults();
  tables.oem_weights[0x80] = 0x01;  // OEM capital A first of all
  TextCollation oem{&tables, true};
  KeyDescriptor key = single(FieldType::kString, 2);
  EXPECT_EQ(encode(key, "\xC0" "a", oem), (Bytes{0x01, 'a'})) << "ANSI capital A is OEM 0x80";
}

TEST(KeyEncodingTest, OptEmptiness) {
  KeyDescriptor key;
  key.components = {{FieldType::kString, 0, 3, false}, {FieldType::kLong, 3, 4, false}};
  uint8_t image[7] = {' ', ' ', ' ', 0, 0, 0, 0};
  EXPECT_TRUE(is_empty_for_opt(key, image));
  image[5] = 1;
  EXPECT_FALSE(is_empty_for_opt(key, image));
  image[5] = 0;
  image[0] = 'a';
  EXPECT_FALSE(is_empty_for_opt(key, image));
}

TEST(KeyEncodingTest, KeyEntryLayout) {
  KeyDescriptor key = single(FieldType::kString, 3, false, key_attr::kDup);
  key.number = 2;
  Record entry = make_key_entry(7, key, reinterpret_cast<const uint8_t*>("abc"), kPlain, 0x0102);
  EXPECT_EQ(entry.bytes, (Bytes{0, 0, 0, 7, 2, 'a', 'b', 'c', 0, 0, 1, 2}));
  EXPECT_EQ(entry.key_length, 12) << "a duplicate key orders by record number too";
  EXPECT_EQ(key_entry_record_number(entry), 0x0102u);
  key.attributes = 0;
  EXPECT_EQ(make_key_entry(7, key, nullptr, kPlain, 1).key_length, 8) << "unique: number is data";
}

}  // namespace
}  // namespace orvel::datafile
