#include "app/screen_text.h"

#include <gtest/gtest.h>

#include "app/dates.h"

namespace orvel::app {
namespace {

TEST(ScreenTextTest, PassportCountIsGroupedAndRightAligned) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "             0"},           {7, "             7"},      {999, "           999"},
      {1000, "         1 000"},        {123456, "       123 456"}, {1234567, "     1 234 567"},
      {4294967295u, " 4 294 967 295"},
  };
  for (const auto& [count, text] : cases) {
    EXPECT_EQ(passport_count_text(count), text) << count;
  }
}

TEST(ScreenTextTest, ScreenDatesAreD06AndEmptyForNoDate) {
  EXPECT_EQ(screen_date(day_number(2001, 5, 17)), "17-05-2001");
  EXPECT_EQ(screen_date(kNoDate), "");
  // An unreadable date taken in by import shows as the blank picture.
  EXPECT_EQ(screen_date(kInvalidDate), "  -  -    ");
}

TEST(ScreenTextTest, CellsAreTrimmedAndTheReasonIsCutTo255) {
  RQ row;
  clear(row);
  assign(row.SER, "45 01");
  assign(row.NUM, "123456");
  assign(row.FIO, "\xC8\xC2\xC0\xCD\xCE\xC2 \xC8\xC2\xC0\xCD");
  row.DATE_PAS.set(day_number(2006, 1, 5));
  row.DATE_IMP.set(kNoDate);
  std::string reason(300, 'x');
  reason[254] = 'y';
  reason[255] = 'z';
  assign(row.COMMENT, reason);

  EXPECT_EQ(result_cell(row, 0), "45 01");
  EXPECT_EQ(result_cell(row, 1), "123456");
  EXPECT_EQ(result_cell(row, 2), "\xC8\xC2\xC0\xCD\xCE\xC2 \xC8\xC2\xC0\xCD");
  EXPECT_EQ(result_cell(row, 3), "05-01-2006");
  EXPECT_EQ(result_cell(row, 4), "");
  std::string shown = result_cell(row, 5);
  EXPECT_EQ(shown.size(), kReasonShown);
  EXPECT_EQ(shown.back(), 'y');
  EXPECT_EQ(result_cell(row, 6), "");

  // Blanks inside the first 255 characters stay, those at the cut go.
  assign(row.COMMENT, std::string(250, 'a') + std::string(10, ' ') + "tail");
  EXPECT_EQ(result_cell(row, 5), std::string(250, 'a'));
}

}  // namespace
}  // namespace orvel::app
