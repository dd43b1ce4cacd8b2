#include "app/main_tabs.h"

#include "app/search_text.h"

namespace orvel::app {

bool is_search_tab(int tab) {
  return search_of_tab(tab).has_value();
}

std::optional<SearchTab> search_of_tab(int tab) {
  switch (tab) {
    case 1:
      return SearchTab::kNumber;
    case 2:
      return SearchTab::kSeries;
    case 3:
      return SearchTab::kName;
  }
  return std::nullopt;
}

TabAction action_on_tab_selected(int tab) {
  if (is_search_tab(tab)) return TabAction::kSearch;
  if (tab == kBrowseByNumberTab || tab == kBrowseByNameTab) return TabAction::kReapplyBrowseOrder;
  return TabAction::kNothing;
}

TabAction action_on_find(int tab, std::string_view search_text) {
  if (trim_right(search_text).empty()) return TabAction::kNothing;
  if (is_search_tab(tab)) return TabAction::kSearch;
  if (tab == kBrowseByNumberTab) return TabAction::kReapplyBrowseOrder;
  return TabAction::kNothing;
}

}  // namespace orvel::app
