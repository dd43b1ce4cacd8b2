#include "app/passport_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/passport_browse.h"
#include "app/tests/passport_fixture.h"

namespace orvel::app {
namespace {

using testing::Entry;

class PassportSearchTest : public testing::PassportFixture {
 protected:
  std::vector<std::string> numbers(const std::vector<RQ>& rows) {
    std::vector<std::string> out;
    for (const RQ& row : rows) out.push_back(trimmed_string(row.NUM));
    return out;
  }
  std::vector<std::string> series(const std::vector<RQ>& rows) {
    std::vector<std::string> out;
    for (const RQ& row : rows) out.push_back(trimmed_string(row.SER));
    return out;
  }
  std::vector<std::string> names(const std::vector<RQ>& rows) {
    std::vector<std::string> out;
    for (const RQ& row : rows) out.push_back(trimmed_string(row.FIO));
    return out;
  }
};

TEST_F(PassportSearchTest, NumberSearchListsPrefixAndStepMatchesUntilTheFirstMiss) {
  for (const char* num : {"11", "12", "1200", "1212", "1312", "14", "1512"}) {
    add({"45 01", num, "X"});
  }
  SearchResult result = search_passports(table(), SearchTab::kNumber, "12");
  EXPECT_TRUE(result.ran);
  // 1312 holds "12" at position 1 + L; 14 ends the reading, so 1512 is never reached.
  EXPECT_EQ(numbers(result.rows), (std::vector<std::string>{"12", "1200", "1212", "1312"}));
  EXPECT_FALSE(result.not_found());
}

TEST_F(PassportSearchTest, OneCharacterNumberMatchesAnywhere) {
  for (const char* num : {"5", "51", "65", "70", "75"}) add({"", num, ""});
  SearchResult result = search_passports(table(), SearchTab::kNumber, "5");
  EXPECT_EQ(numbers(result.rows), (std::vector<std::string>{"5", "51", "65"}));
}

TEST_F(PassportSearchTest, NumberTextLosesItsBlanks) {
  add({"45 01", "1234", "A"});
  add({"45 02", "123456", "B"});
  SearchResult result = search_passports(table(), SearchTab::kNumber, " 12 34  ");
  EXPECT_EQ(result.text, "1234");
  EXPECT_EQ(numbers(result.rows), (std::vector<std::string>{"1234", "123456"}));
  EXPECT_EQ(series(result.rows), (std::vector<std::string>{"45 01", "45 02"}));
}

TEST_F(PassportSearchTest, SeriesTextAndPrefixRule) {
  add({"45 01", "1", ""});
  add({"45 01", "2", ""});
  add({"45 012", "3", ""});
  add({"45 02", "4", ""});
  add({"4501", "5", ""});
  add({"IV-\xC0\xC1", "6", ""});

  struct Case {
    std::string text, prepared;
    std::vector<std::string> numbers;
  };
  const std::vector<Case> cases = {
      {"4501", "45 01", {"1", "2", "3"}},
      {"45 01", "45 01", {"1", "2", "3"}},      // third character a blank: nothing inserted
      {"45", "45", {"1", "2", "3", "4", "5"}},  // two characters: nothing inserted
      {"IV-\xC0\xC1", "IV-\xC0\xC1", {"6"}},    // first character a letter
      {"iv-\xC0\xC1", "iv-\xC0\xC1", {}},  // positions on IV (case folded) but compares exactly
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SearchResult result = search_passports(table(), SearchTab::kSeries, c.text);
    EXPECT_EQ(result.text, c.prepared);
    EXPECT_EQ(numbers(result.rows), c.numbers);
    EXPECT_EQ(result.not_found(), c.numbers.empty());
  }
}

TEST_F(PassportSearchTest, NameIsUpperCasedAndFoundAsPrefix) {
  add({"1", "1", "IVANOV IVAN", 74883, 74883, "lost"});
  add({"2", "2", "IVANOVA ANNA"});
  add({"3", "3", "IVANOVSKAYA"});
  add({"4", "4", "IVANOW"});
  add({"5", "5", "\xE8\xE2\xE0\xED"});  // Cyrillic lower case stays as it is
  SearchResult result = search_passports(table(), SearchTab::kName, "ivanov");
  EXPECT_EQ(result.text, "IVANOV");
  EXPECT_EQ(names(result.rows),
            (std::vector<std::string>{"IVANOV IVAN", "IVANOVA ANNA", "IVANOVSKAYA"}));
  // Rows carry all six fields.
  EXPECT_EQ(result.rows[0].DATE_PAS.get(), 74883);
  EXPECT_EQ(trimmed(result.rows[0].COMMENT), "lost");

  result = search_passports(table(), SearchTab::kName, "\xE8\xE2\xE0\xED");
  EXPECT_EQ(names(result.rows), (std::vector<std::string>{"\xE8\xE2\xE0\xED"}));
  result = search_passports(table(), SearchTab::kName, "\xC8\xC2\xC0\xCD");
  EXPECT_TRUE(result.not_found());
}

TEST_F(PassportSearchTest, TextLongerThanTheFieldFindsNothing) {
  const std::string number(20, '7');
  const std::string series(20, 'A');  // a letter first: no blank inserted
  add({series, number, ""});
  EXPECT_EQ(search_passports(table(), SearchTab::kNumber, number).rows.size(), 1u);
  EXPECT_EQ(search_passports(table(), SearchTab::kSeries, series).rows.size(), 1u);
  EXPECT_TRUE(search_passports(table(), SearchTab::kNumber, number + "7").not_found());
  EXPECT_TRUE(search_passports(table(), SearchTab::kSeries, series + "A").not_found());
}

TEST_F(PassportSearchTest, BlankTextDoesNothing) {
  add({"1", "1", ""});
  for (const char* text : {"", "   "}) {
    for (SearchTab tab : {SearchTab::kNumber, SearchTab::kSeries, SearchTab::kName}) {
      SearchResult result = search_passports(table(), tab, text);
      EXPECT_FALSE(result.ran);
      EXPECT_FALSE(result.not_found());
      EXPECT_TRUE(result.rows.empty());
      EXPECT_EQ(result.text, text);
    }
  }
}

TEST_F(PassportSearchTest, EmptyDirectoryFindsNothing) {
  SearchResult result = search_passports(table(), SearchTab::kNumber, "1");
  EXPECT_TRUE(result.not_found());
  EXPECT_EQ(result.error, 0);
  EXPECT_EQ(kNotFoundMessage, "\xC4\xE0\xED\xED\xFB\xE5 \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED\xFB.");
}

TEST_F(PassportSearchTest, ClosedFileEndsTheSearchWithItsError) {
  ASSERT_EQ(passports.release(), kNoError);
  SearchResult result = search_passports(table(), SearchTab::kNumber, "1");
  EXPECT_TRUE(result.not_found());
  EXPECT_EQ(result.error, kFileNotOpen);
  ASSERT_TRUE(passports.use(reporter));
}

class PassportBrowseTest : public PassportSearchTest {};

TEST_F(PassportBrowseTest, ByNumberFromTheLocatorWithEverySeries) {
  add({"45 02", "123", "B"});
  add({"\x01Z", "123", "A"});  // below a blank series: still listed from "123" on
  add({"45 01", "122", "C"});
  add({"45 01", "124", "D"});
  add({"45 01", "13", "E"});

  BrowseResult result = browse_passports(table(), BrowseOrder::kByNumber, "123", 10);
  EXPECT_EQ(result.error, 0);
  EXPECT_EQ(names(result.rows), (std::vector<std::string>{"A", "B", "D", "E"}));

  result = browse_passports(table(), BrowseOrder::kByNumber, "", 2);
  EXPECT_EQ(names(result.rows), (std::vector<std::string>{"C", "A"}));
  result = browse_passports(table(), BrowseOrder::kByNumber, "2", 10);
  EXPECT_TRUE(result.rows.empty());
  EXPECT_EQ(result.error, 0);
}

TEST_F(PassportBrowseTest, ByNameUpperCasesAndCutsTheLocator) {
  add({"1", "1", "PETROV"});
  add({"2", "2", "IVANOV"});
  add({"3", "3", std::string(40, 'K') + "A"});
  add({"4", "4", std::string(40, 'K')});
  EXPECT_EQ(names(browse_passports(table(), BrowseOrder::kByName, "p", 10).rows),
            (std::vector<std::string>{"PETROV"}));
  // Forty characters of the locator count; the rest is cut off.
  EXPECT_EQ(
      browse_passports(table(), BrowseOrder::kByName, std::string(40, 'k') + "B", 10).rows.size(),
      3u);
  EXPECT_EQ(browse_passports(table(), BrowseOrder::kByName, "", 0).rows.size(), 0u);
}

TEST_F(PassportBrowseTest, FetchTakesTheLowestRecordNumberOfEqualEntries) {
  add({"ab 01", "77", "FIRST"});
  add({"AB 01", "77", "SECOND"});
  add({"ab 01", "78", "OTHER"});
  PSP record;
  ASSERT_EQ(fetch_passport(table(), "AB 01", "77", &record), kNoError);
  EXPECT_EQ(trimmed(record.FIO), "FIRST");
  EXPECT_EQ(fetch_passport(table(), "ab 01", "79", &record), kRecordNotFound);
  EXPECT_EQ(fetch_passport(table(), "ab 01", "7", &record), kRecordNotFound);
}

}  // namespace
}  // namespace orvel::app
