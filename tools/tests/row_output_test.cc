#include "tools/row_output.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/dates.h"

namespace orvel::tools {
namespace {

TEST(RowOutputTest, TsvTextAndDates) {
  EXPECT_EQ(tsv_text("a\\b\tc\rd\ne   "), "a\\\\b\\tc\\rd\\ne");
  EXPECT_EQ(tsv_text("\xC8\xE2 "), "Ив");
  EXPECT_EQ(tsv_date(0), "");
  EXPECT_EQ(tsv_date(74883), "2006-01-05");
  EXPECT_EQ(tsv_date(-1), "    -  -");
  EXPECT_EQ(tsv_date(app::kLastDayNumber + 1), "    -  -");
}

TEST(RowOutputTest, TableAlignsCyrillicByCharactersAndEscapesControls) {
  app::RQ row;
  app::clear(row);
  app::assign(row.SER, "\xC0\xC1");  // АБ
  app::assign(row.NUM, "1");
  app::assign(row.FIO, "X\x1B[2J");
  row.DATE_PAS.set(74883);
  std::ostringstream out;
  write_table(out, {row});
  EXPECT_EQ(out.str(),
            "Серия  Номер  ФИО       Дата        Дата имп.   Причина\n"
            "АБ     1      X\\x1B[2J  05-01-2006    -  -\n");
}

}  // namespace
}  // namespace orvel::tools
