// Header clicks and the order they stand for.
#include "platform/browse/header_sort.h"

#include <gtest/gtest.h>

#include "platform/browse/tests/passport_table.h"

namespace orvel::browse {
namespace {

struct Click {
  int column;
  bool extend;
};

std::string suffixes(const HeaderSort& sort) {
  std::string out;
  for (int c = 0; c < 6; ++c) out += sort.suffix(c).empty() ? "." : sort.suffix(c);
  return out;
}

TEST(HeaderSort, ClicksChooseReverseAndExtendTheOrder) {
  struct Case {
    std::vector<Click> clicks;
    const char* suffixes;  // the suffix of each of six columns, "." for none
  };
  const Case cases[] = {
      {{{3, false}}, "...[+].."},
      {{{3, false}, {3, false}}, "...[-].."},
      {{{3, false}, {3, false}, {3, false}}, "...[+].."},
      {{{3, false}, {1, false}}, ".[+]...."},
      {{{3, false}, {1, true}}, ".[+2].[+1].."},
      {{{3, false}, {1, true}, {3, true}}, ".[+2].[-1].."},
      // A plain click on a column of a longer order starts a new order with it alone.
      {{{3, false}, {1, true}, {1, false}}, ".[+]...."},
      {{{0, true}, {5, true}, {2, true}}, "[+1].[+3]..[+2]"},
  };
  for (const Case& c : cases) {
    HeaderSort sort;
    for (const Click& click : c.clicks) sort.click(click.column, click.extend);
    EXPECT_EQ(suffixes(sort), c.suffixes);
  }
  HeaderSort sort;
  sort.click(2, false);
  sort.clear();
  EXPECT_TRUE(sort.empty());
  EXPECT_EQ(suffixes(sort), "......");
}

TEST(HeaderSort, OrderIsTheColumnsThenTheKeyComponentsNotYetInIt) {
  const datafile::TableDecl decl = testing::passport_decl();
  std::vector<ColumnFormat> columns(6);
  const uint16_t fields[] = {app::kPspSer,     app::kPspNum,     app::kPspFio,
                             app::kPspDatePas, app::kPspDateImp, app::kPspComment};
  for (size_t i = 0; i < 6; ++i) columns[i].field = fields[i];

  HeaderSort sort;
  sort.click(3, false);  // "Дата"
  sort.click(3, false);
  sort.click(0, true);  // then "Серия"
  const std::vector<SortComponent> order = header_order(sort, columns, decl, app::kKeyNumSer);
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0].field, app::kPspDatePas);
  EXPECT_TRUE(order[0].descending);
  EXPECT_FALSE(order[0].upper_case);  // a number
  EXPECT_EQ(order[1].field, app::kPspSer);
  EXPECT_TRUE(order[1].upper_case);
  EXPECT_EQ(order[2].field, app::kPspNum);  // KL_NUM_SER's SER is already in it
  EXPECT_FALSE(order[2].descending);
  EXPECT_TRUE(order[2].upper_case);  // the key ignores case

  sort.clear();
  const std::vector<SortComponent> key_only = header_order(sort, columns, decl, app::kKeyFio);
  ASSERT_EQ(key_only.size(), 1u);
  EXPECT_EQ(key_only[0].field, app::kPspFio);
}

}  // namespace
}  // namespace orvel::browse
