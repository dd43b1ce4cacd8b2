// The five tabs of the main window, what each one shows, and what a change of tab and a
// press of "Найти" do on it.
//
// Tabs 1 to 3 search (by number, series and name) and show the search entry over the
// search-result list; tabs 4 and 5 browse the whole file (by number and by name) and show
// the locator entry over the browse list. Selecting a search tab runs the search; selecting
// a browse tab re-applies the browse order. "Найти" with a blank search text does nothing
// on any tab; otherwise it searches on tabs 1 to 3, re-applies the browse order on tab 4
// and does nothing on tab 5.
#pragma once

#include <optional>
#include <string_view>

#include "app/passport_search.h"

namespace orvel::app {

inline constexpr int kFirstTab = 1;
inline constexpr int kLastTab = 5;
inline constexpr int kBrowseByNumberTab = 4;
inline constexpr int kBrowseByNameTab = 5;

enum class TabAction { kNothing, kSearch, kReapplyBrowseOrder };

// Whether the tab shows the search-result list and the search entry (else the browse list
// and the locator entry).
bool is_search_tab(int tab);

// The search a tab runs; nothing for the browse tabs and for numbers outside 1 to 5.
std::optional<SearchTab> search_of_tab(int tab);

TabAction action_on_tab_selected(int tab);
// search_text as the search entry holds it now.
TabAction action_on_find(int tab, std::string_view search_text);

}  // namespace orvel::app
