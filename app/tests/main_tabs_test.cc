#include "app/main_tabs.h"

#include <gtest/gtest.h>

namespace orvel::app {
namespace {

TEST(MainTabsTest, SearchTabsShowTheResultListAndSearch) {
  struct Case {
    int tab;
    bool search_tab;
    std::optional<SearchTab> search;
    TabAction selected;
  };
  const Case cases[] = {
      {1, true, SearchTab::kNumber, TabAction::kSearch},
      {2, true, SearchTab::kSeries, TabAction::kSearch},
      {3, true, SearchTab::kName, TabAction::kSearch},
      {4, false, std::nullopt, TabAction::kReapplyBrowseOrder},
      {5, false, std::nullopt, TabAction::kReapplyBrowseOrder},
      {0, false, std::nullopt, TabAction::kNothing},
      {6, false, std::nullopt, TabAction::kNothing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tab);
    EXPECT_EQ(is_search_tab(c.tab), c.search_tab);
    EXPECT_EQ(search_of_tab(c.tab), c.search);
    EXPECT_EQ(action_on_tab_selected(c.tab), c.selected);
  }
}

TEST(MainTabsTest, FindDoesNothingOnABlankTextAndOnTheNameBrowse) {
  for (int tab = 1; tab <= 5; ++tab) {
    SCOPED_TRACE(tab);
    EXPECT_EQ(action_on_find(tab, ""), TabAction::kNothing);
    EXPECT_EQ(action_on_find(tab, "   "), TabAction::kNothing);
  }
  EXPECT_EQ(action_on_find(1, "12"), TabAction::kSearch);
  EXPECT_EQ(action_on_find(2, " 45"), TabAction::kSearch);
  EXPECT_EQ(action_on_find(3, "ivanov  "), TabAction::kSearch);
  EXPECT_EQ(action_on_find(4, "12"), TabAction::kReapplyBrowseOrder);
  EXPECT_EQ(action_on_find(5, "12"), TabAction::kNothing);
}

}  // namespace
}  // namespace orvel::app
