#include "app/search_text.h"

#include <gtest/gtest.h>

#include <string>

namespace orvel::app {
namespace {

const datafile::LocaleTables& tables() { return datafile::program_locale(); }

std::string field20(const std::string& value) { return value + std::string(20 - value.size(), ' '); }

TEST(SearchTextTest, NumberTextLosesItsBlanks) {
  EXPECT_EQ(number_search_text("12 34   "), "1234");
  EXPECT_EQ(number_search_text(" 1 2 "), "12");
  EXPECT_EQ(number_search_text("    "), "");
}

TEST(SearchTextTest, NumberMatchesAtMultiplesOfItsLength) {
  struct Case {
    const char* search;
    const char* number;
    bool matches;
  } cases[] = {
      {"12", "12", true},     {"12", "1200", true},  {"12", "1212", true},
      {"12", "1312", true},   // at position 3 = 1 + L
      {"12", "14", false},    {"12", "0120", false},  // position 2 is not a multiple
      {"5", "5", true},       {"5", "51", true},     {"5", "65", true},  // one character: anywhere
      {"5", "70", false},     {"123", "000123", true}, {"123", "00123", false},
      {"123456789012345678901", "12345678901234567890", false},  // longer than the field
  };
  for (const Case& c : cases) {
    EXPECT_EQ(number_matches(field20(c.number), c.search), c.matches) << c.search << " in " << c.number;
  }
}

TEST(SearchTextTest, SeriesGetsABlankAfterTwoCharacters) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"4501", "45 01"},
      {"45 01", "45 01"},            // third character already a blank
      {"IV-\xC0\xC1", "IV-\xC0\xC1"},  // first character a letter
      {"45", "45"},                  // too short
      {"\xC0\xC1\xC2", "\xC0\xC1 \xC2"},  // a Cyrillic letter is no letter to the built-in tables
      {"4501    ", "45 01    "},
  };
  for (const Case& c : cases) EXPECT_EQ(series_search_text(c.text, tables()), c.expected) << c.text;
}

TEST(SearchTextTest, UpperCaseFoldsLatinOnly) {
  EXPECT_EQ(upper_case("ivanov Ivan", tables()), "IVANOV IVAN");
  EXPECT_EQ(upper_case("\xE8\xE2\xE0\xED\xEE\xE2", tables()), "\xE8\xE2\xE0\xED\xEE\xE2");
}

TEST(SearchTextTest, FieldBeginsWithTrimmedTextExactly) {
  EXPECT_TRUE(field_begins_with("IVANOVA ANNA   ", "IVANOV   "));
  EXPECT_FALSE(field_begins_with("Ivanova", "IVANOV"));
  EXPECT_FALSE(field_begins_with("45 01", "45 012"));
  EXPECT_TRUE(field_begins_with("anything", "   "));
}

}  // namespace
}  // namespace orvel::app
