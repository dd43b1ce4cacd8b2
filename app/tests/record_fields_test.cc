#include "app/record_fields.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace orvel::app {
namespace {

struct Sample {
  char TEXT[5];
};

std::string full(const Sample& s) {
  return std::string(text_of(s.TEXT));
}

TEST(RecordFieldsTest, AssignTruncatesOrPads) {
  struct Case {
    const char* value;
    const char* stored;
  };
  const Case cases[] = {
      {"", "     "},       {"a", "a    "},     {"abcd", "abcd "}, {"abcde", "abcde"},
      {"abcdef", "abcde"}, {"ab   ", "ab   "}, {" a", " a   "},   {"\xC0\xC1", "\xC0\xC1   "},
  };
  for (const Case& c : cases) {
    Sample s;
    std::memset(&s, 'x', sizeof s);
    assign(s.TEXT, c.value);
    EXPECT_EQ(full(s), c.stored) << "\"" << c.value << "\"";
  }
}

TEST(RecordFieldsTest, TwentyOneCharactersKeepTheFirstTwenty) {
  char field[20];
  assign(field, "123456789012345678901");
  EXPECT_EQ(trimmed(field), "12345678901234567890");
}

TEST(RecordFieldsTest, TrimmedDropsOnlyTrailingBlanks) {
  struct Case {
    const char* stored;
    const char* trimmed;
  };
  const Case cases[] = {
      {"     ", ""}, {"a    ", "a"}, {" a   ", " a"}, {"a b  ", "a b"}, {"abcde", "abcde"},
  };
  for (const Case& c : cases) {
    Sample s;
    std::memcpy(s.TEXT, c.stored, 5);
    EXPECT_EQ(trimmed(s.TEXT), c.trimmed) << "\"" << c.stored << "\"";
    EXPECT_EQ(trimmed_string(s.TEXT), c.trimmed);
  }
  EXPECT_EQ(trimmed_text("ab\0  ", 5), std::string_view("ab\0", 3)) << "a NUL is no blank";
}

TEST(RecordFieldsTest, CompareIgnoresTrailingBlanks) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"", "", 0},         {"", "   ", 0},    {"ab", "ab   ", 0}, {"ab  ", "ab", 0},
      {"ab", "abc", -1},   {"abc", "ab", 1},  {"ab", "ac", -1},   {" ab", "ab", -1},
      {"ab", "ab\x01", 1}, {"a", "\xC0", -1}, {"\xFF", "a", 1},   {"A", "a", -1},
  };
  for (const Case& c : cases) {
    const int r = compare_text(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << "\"" << c.a << "\" vs \"" << c.b << "\"";
  }
  Sample s;
  assign(s.TEXT, "ab");
  EXPECT_EQ(compare(s.TEXT, "ab"), 0);
  EXPECT_TRUE(equals(s.TEXT, "ab "));
  EXPECT_FALSE(equals(s.TEXT, "abc"));
  EXPECT_LT(compare(s.TEXT, "b"), 0);
}

TEST(RecordFieldsTest, IntegerFieldsKeepTheirValues) {
  for (int32_t v : {0, 1, -1, 74883, INT_MIN, INT_MAX}) {
    Int32Field f;
    f.set(v);
    EXPECT_EQ(f.get(), v);
  }
  for (int16_t v : {int16_t(0), int16_t(1), int16_t(-1), int16_t(SHRT_MIN), int16_t(SHRT_MAX)}) {
    Int16Field f;
    f.set(v);
    EXPECT_EQ(f.get(), v);
  }
}

TEST(RecordFieldsTest, FieldDeclarations) {
  const datafile::FieldDecl text = text_field("X:NAME", 10, 30);
  EXPECT_EQ(text.label, "X:NAME");
  EXPECT_EQ(text.type, datafile::FieldType::kString);
  EXPECT_EQ(text.offset, 10);
  EXPECT_EQ(text.size, 30);
  EXPECT_EQ(text.elements, 1);
  EXPECT_EQ(text.picture, "@s30");
  const datafile::FieldDecl number = integer_field("X:N", datafile::FieldType::kLong, 40, 4);
  EXPECT_EQ(number.type, datafile::FieldType::kLong);
  EXPECT_EQ(number.offset, 40);
  EXPECT_EQ(number.size, 4);
  EXPECT_EQ(number.picture, "");
}

}  // namespace
}  // namespace orvel::app
