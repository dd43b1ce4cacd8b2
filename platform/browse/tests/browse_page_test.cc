// The browse page over a key: the rows each move shows, the locator, the thumb, and the
// table's own state left as the caller had it.
#include "platform/browse/browse_page.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/browse/key_rows.h"
#include "platform/browse/tests/passport_table.h"

namespace orvel::browse {
namespace {

using testing::nums;
using testing::PassportTable;

std::string three_digits(int i) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03d", i);
  return buf;
}

std::vector<std::string> range(int from, int to) {
  std::vector<std::string> out;
  for (int i = from; i < to; ++i) out.push_back(three_digits(i));
  return out;
}

// Numbers 000 to 099, added out of order so that file order is not key order.
class HundredPassports : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 100; ++i) file.add("45 01", three_digits((i * 37) % 100));
    page.set_size(10);
  }
  std::string selected() const { return testing::num(*page.selected_row()); }

  PassportTable file;
  KeyRows rows{file.table(), app::kKeyNumSer, app::kPspNum};
  BrowsePage page{&rows};
};

TEST_F(HundredPassports, HomePagingAndEndReadTheRowsOfTheKeyOrder) {
  ASSERT_EQ(page.home(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(0, 10));
  EXPECT_EQ(page.selected(), 0);
  EXPECT_EQ(page.thumb(), 0);

  ASSERT_EQ(page.page_down(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(10, 20));
  EXPECT_EQ(selected(), "010");

  page.select(3);
  ASSERT_EQ(page.page_down(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(20, 30));
  EXPECT_EQ(selected(), "023");

  ASSERT_EQ(page.page_up(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(10, 20));
  EXPECT_EQ(selected(), "013");

  ASSERT_EQ(page.end(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(90, 100));
  EXPECT_EQ(selected(), "099");
  EXPECT_EQ(page.thumb(), kThumbRange);

  // At the end a page down only moves the highlight to the last row.
  page.select(2);
  ASSERT_EQ(page.page_down(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(90, 100));
  EXPECT_EQ(selected(), "099");
}

TEST_F(HundredPassports, PagesNearTheEndsStopAtTheEnds) {
  ASSERT_EQ(page.locate("095"), kNoError);
  page.select(8);  // "098"
  ASSERT_EQ(page.page_down(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(90, 100));
  EXPECT_EQ(selected(), "099");

  ASSERT_EQ(page.locate("004"), kNoError);
  EXPECT_EQ(nums(page.rows()), range(4, 14));
  page.select(5);  // "009"
  ASSERT_EQ(page.page_up(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(0, 10));
  EXPECT_EQ(selected(), "000");
}

TEST_F(HundredPassports, LinesMoveTheHighlightThenScrollByOneRow) {
  ASSERT_EQ(page.home(), kNoError);
  for (int i = 0; i < 9; ++i) ASSERT_EQ(page.line_down(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(0, 10));
  EXPECT_EQ(selected(), "009");
  ASSERT_EQ(page.line_down(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(1, 11));
  EXPECT_EQ(selected(), "010");

  page.select(0);
  ASSERT_EQ(page.line_up(), kNoError);
  EXPECT_EQ(nums(page.rows()), range(0, 10));
  EXPECT_EQ(selected(), "000");
  ASSERT_EQ(page.line_up(), kNoError);  // nothing above the first row
  EXPECT_EQ(nums(page.rows()), range(0, 10));

  page.select(4);
  ASSERT_EQ(page.scroll(3), kNoError);
  EXPECT_EQ(nums(page.rows()), range(3, 13));
  EXPECT_EQ(selected(), "004");
}

TEST_F(HundredPassports, LocatorHighlightsTheFirstEntryNotLower) {
  struct Case {
    const char* text;
    const char* highlighted;
    std::vector<std::string> page;
  };
  const Case cases[] = {
      {"050", "050", range(50, 60)},
      {"05", "050", range(50, 60)},    // a shorter text: the first number it begins
      {"0505", "051", range(51, 61)},  // between two numbers: the higher one
      {"", "000", range(0, 10)},       // an empty text: the top
      {"095", "095", range(90, 100)},  // near the end: the page fills from above
      {"A", "099", range(90, 100)},    // beyond the last: the last one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_EQ(page.locate(c.text), kNoError);
    EXPECT_EQ(selected(), c.highlighted);
    EXPECT_EQ(nums(page.rows()), c.page);
  }
}

TEST_F(HundredPassports, ResizingKeepsTheHighlightedRowOnThePage) {
  ASSERT_EQ(page.locate("050"), kNoError);
  page.select(8);  // "058"
  ASSERT_EQ(page.set_size(4), kNoError);
  EXPECT_EQ(nums(page.rows()), range(55, 59));
  EXPECT_EQ(selected(), "058");
  ASSERT_EQ(page.set_size(12), kNoError);
  EXPECT_EQ(nums(page.rows()), range(55, 67));
  EXPECT_EQ(selected(), "058");
  ASSERT_EQ(page.end(), kNoError);
  ASSERT_EQ(page.set_size(15), kNoError);  // no rows below: the page grows upwards
  EXPECT_EQ(nums(page.rows()), range(85, 100));
  EXPECT_EQ(selected(), "099");
}

TEST_F(HundredPassports, ThumbFollowsThePageAndJumpsToAFraction) {
  ASSERT_EQ(page.home(), kNoError);
  int last = page.thumb();
  for (int i = 0; i < 9; ++i) {
    ASSERT_EQ(page.page_down(), kNoError);
    EXPECT_GT(page.thumb(), last) << "page " << i;
    last = page.thumb();
  }
  EXPECT_EQ(last, kThumbRange);

  // Numbers written as digits are not spread evenly over the byte values; the estimate still
  // lands in the right part of the list and in order.
  ASSERT_EQ(page.to_thumb(250), kNoError);
  const std::string quarter = testing::num(page.rows().front());
  ASSERT_EQ(page.to_thumb(750), kNoError);
  const std::string three_quarters = testing::num(page.rows().front());
  EXPECT_LT(quarter, three_quarters);
  EXPECT_GT(quarter, "000");
  EXPECT_LT(three_quarters, "090");
  ASSERT_EQ(page.to_thumb(kThumbRange), kNoError);
  EXPECT_EQ(nums(page.rows()), range(90, 100));
}

TEST_F(HundredPassports, RefreshShowsChangesAndKeepsTheHighlightedRecord) {
  ASSERT_EQ(page.locate("020"), kNoError);
  page.select(3);
  file.add("45 01", "0215");  // between 021 and 022
  ASSERT_EQ(page.refresh(), kNoError);
  EXPECT_EQ(nums(page.rows()), (std::vector<std::string>{"020", "021", "0215", "022", "023", "024",
                                                         "025", "026", "027", "028"}));
  EXPECT_EQ(selected(), "023");
}

TEST_F(HundredPassports, ReadingLeavesTheCallersBufferAndPositionAlone) {
  datafile::Table& table = file.table();
  ASSERT_EQ(table.set(app::kKeyNumSer), kNoError);
  ASSERT_EQ(table.next(), kNoError);
  ASSERT_EQ(table.next(), kNoError);  // the caller stands on "001"
  const std::vector<uint8_t> buffer(table.record(), table.record() + app::kPassportRecordLength);

  ASSERT_EQ(page.locate("060"), kNoError);
  ASSERT_EQ(page.page_down(), kNoError);
  ASSERT_EQ(page.end(), kNoError);
  ASSERT_EQ(page.to_thumb(400), kNoError);

  EXPECT_EQ(std::vector<uint8_t>(table.record(), table.record() + app::kPassportRecordLength),
            buffer);
  ASSERT_EQ(table.next(), kNoError);
  EXPECT_EQ(app::trimmed_string(app::read_record<app::PSP>(table).NUM), "002");
}

TEST(BrowsePage, EqualNumbersAreListedInSeriesOrderAndAnEmptyFileShowsNothing) {
  PassportTable file;
  KeyRows rows(file.table(), app::kKeyNumSer, app::kPspNum);
  BrowsePage page(&rows);
  page.set_size(5);
  ASSERT_EQ(page.home(), kNoError);
  EXPECT_TRUE(page.rows().empty());
  EXPECT_EQ(page.selected(), -1);
  ASSERT_EQ(page.page_down(), kNoError);
  ASSERT_EQ(page.locate("1"), kNoError);
  EXPECT_EQ(page.selected_row(), nullptr);

  file.add("45 02", "123");
  file.add("", "123");
  file.add("45 01", "123");
  file.add("45 01", "122");
  ASSERT_EQ(page.locate("123"), kNoError);
  std::vector<std::string> series;
  for (const BrowseRecord& row : page.rows()) {
    series.push_back(app::trimmed_string(testing::passport(row).SER));
  }
  // The page fills from above: "122" first, then every series of "123", blank first.
  EXPECT_EQ(series, (std::vector<std::string>{"45 01", "", "45 01", "45 02"}));
  EXPECT_EQ(page.selected(), 1);
}

TEST(BrowsePage, NameLocatorIsUpperCased) {
  PassportTable file;
  for (const char* name : {"ABRAMOV", "IVANOV IVAN", "IVANOVA ANNA", "PETROV"}) {
    file.add("45 01", "1", name);
  }
  KeyRows rows(file.table(), app::kKeyFio, app::kPspFio);
  BrowsePage page(&rows);
  page.set_size(2);
  ASSERT_EQ(page.locate("ivanova"), kNoError);
  EXPECT_EQ(app::trimmed_string(testing::passport(*page.selected_row()).FIO), "IVANOVA ANNA");
}

}  // namespace
}  // namespace orvel::browse
